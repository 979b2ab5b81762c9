#include "client/shell/buzzer.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QThread>
#include <QUrl>

#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "client/shell/settings_keys.h"
#include "client/shell/ui_thread.h"
#include "platform/registry.h"
#include "platform/trace.h"

namespace shell {
namespace {

std::mutex g_lock;
ToneHook g_tone_hook;                  // guarded by g_lock
std::optional<bool> g_audio_override;  // guarded by g_lock
std::vector<QSoundEffect*> g_playing;  // user-interface thread only

// A mono 16-bit wave file of one sine tone, written once per tone.
QString ToneFile(int hz, int duration_ms) {
  const QString path = QDir::temp().filePath(QString("kaviro-tone-%1-%2.wav").arg(hz).arg(duration_ms));
  if (QFile::exists(path)) return path;
  constexpr int kRate = 22050;
  const int samples = kRate * duration_ms / 1000;
  QByteArray data;
  auto put16 = [&](uint16_t v) { data.append(char(v & 0xFF)).append(char(v >> 8)); };
  auto put32 = [&](uint32_t v) {
    put16(uint16_t(v & 0xFFFF));
    put16(uint16_t(v >> 16));
  };
  data.append("RIFF");
  put32(36 + samples * 2);
  data.append("WAVEfmt ");
  put32(16);
  put16(1);
  put16(1);
  put32(kRate);
  put32(kRate * 2);
  put16(2);
  put16(16);
  data.append("data");
  put32(samples * 2);
  for (int i = 0; i < samples; ++i) {
    put16(static_cast<uint16_t>(static_cast<int16_t>(9000 * std::sin(2 * M_PI * hz * i / kRate))));
  }
  QFile file(path);
  if (file.open(QIODevice::WriteOnly)) file.write(data);
  return path;
}

void PlayWave(const QString& path, bool loop) {
  RunOnUiThread([path, loop] {
    auto* effect = new QSoundEffect(QCoreApplication::instance());
    effect->setSource(QUrl::fromLocalFile(path));
    effect->setLoopCount(loop ? QSoundEffect::Infinite : 1);
    g_playing.push_back(effect);
    effect->play();
  });
}

// The one thread that sounds every warning sequence of the process. A
// request while a sequence sounds starts it afresh after the current tone,
// as overlapping sequences would have been heard, instead of queueing
// another thread behind it.
class WarningBeeper {
 public:
  static WarningBeeper& Instance() {
    static WarningBeeper beeper;
    return beeper;
  }

  void Request() {
    std::lock_guard guard(lock_);
    tones_left_ = kTones;
    if (running_) {
      wake_.notify_one();
      return;
    }
    if (thread_.joinable()) thread_.join();  // ended, or ending without the lock
    try {
      thread_ = std::thread([this] { Run(); });
      running_ = true;
    } catch (const std::system_error& error) {
      tones_left_ = 0;
      Trace("Warning beeps not sounded: %s", error.what());
    }
  }

  // Waits until the requested tones have sounded, then ends the thread.
  void Finish() {
    std::thread ending;
    {
      std::lock_guard guard(lock_);
      finishing_ = true;
      wake_.notify_one();
      ending.swap(thread_);
    }
    if (ending.joinable()) ending.join();
    std::lock_guard guard(lock_);
    finishing_ = false;
  }

  ~WarningBeeper() {
    {
      std::lock_guard guard(lock_);
      tones_left_ = 0;  // at exit nobody listens any more
    }
    Finish();
  }

 private:
  static constexpr int kTones = 6;  // 3000 Hz and 2000 Hz, three times over

  void Run() {
    std::unique_lock guard(lock_);
    for (;;) {
      wake_.wait(guard, [this] { return tones_left_ > 0 || finishing_; });
      if (tones_left_ == 0) break;
      const int hz = tones_left_ % 2 == 0 ? 3000 : 2000;
      --tones_left_;
      guard.unlock();
      PlayTone(hz, 500);
      guard.lock();
    }
    running_ = false;
  }

  std::mutex lock_;
  std::condition_variable wake_;
  std::thread thread_;      // guarded by lock_
  bool running_ = false;    // guarded by lock_; the thread has not left Run
  bool finishing_ = false;  // guarded by lock_
  int tones_left_ = 0;      // guarded by lock_
};

}  // namespace

void SetToneHook(ToneHook hook) {
  std::lock_guard guard(g_lock);
  g_tone_hook = std::move(hook);
}

void SetAudioOutputOverride(std::optional<bool> present) {
  std::lock_guard guard(g_lock);
  g_audio_override = present;
}

bool HasAudioOutput() {
  {
    std::lock_guard guard(g_lock);
    if (g_audio_override) return *g_audio_override;
  }
  bool present = false;
  RunOnUiThread([&present] { present = !QMediaDevices::audioOutputs().isEmpty(); });
  return present;
}

void PlayTone(int hz, int duration_ms) {
  ToneHook hook;
  {
    std::lock_guard guard(g_lock);
    hook = g_tone_hook;
  }
  if (hook) {
    hook(hz, duration_ms);
    return;
  }
  if (HasAudioOutput()) PlayWave(ToneFile(hz, duration_ms), false);
  // Without a device the tone is silent but keeps its length, so the
  // sequence takes its three seconds either way.
  std::this_thread::sleep_for(std::chrono::milliseconds(duration_ms));
}

void StartWarningBeeps() { WarningBeeper::Instance().Request(); }

void JoinBeepThreads() { WarningBeeper::Instance().Finish(); }

void StopAllSound() {
  RunOnUiThread([] {
    for (QSoundEffect* effect : g_playing) {
      effect->stop();
      effect->deleteLater();
    }
    g_playing.clear();
  });
}

int PlayingWaveCount() {
  int count = 0;
  RunOnUiThread([&count] { count = static_cast<int>(g_playing.size()); });
  return count;
}

void CBuzzer::Start(bool allow_wave) {
  if (allow_wave && HasAudioOutput()) {
    std::string path;
    if (const auto key = platform::RegistryKey::Open(kLocalSettingKey)) {
      path = key->ReadString(kBuzzerPathValue).value_or("");
    }
    // An empty or missing wave file is heard as the beeps instead of silence.
    if (!path.empty() && QFile::exists(QString::fromStdString(path))) {
      PlayWave(QString::fromStdString(path), true);
      playing_ = true;
      return;
    }
    Trace("Buzzer wave file not found: \"%s\", beeping instead.", path.c_str());
  }
  playing_ = false;
  if (!beep_started_) {
    beep_started_ = true;
    StartWarningBeeps();
  }
}

void CBuzzer::Stop() {
  if (playing_) StopAllSound();
  playing_ = false;
}

}  // namespace shell
