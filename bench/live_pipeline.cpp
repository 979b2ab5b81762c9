// The live pipeline's cost: four stream sessions fed by four emulated DVRs of
// four channels each (separate processes, so that their encoding and sending
// are not counted), through reassembly, dispatch and decoding; against it, the
// same emulated cameras' pictures decoded by libavcodec alone, in this run.
// Prints CPU time per picture for both (unpaced emulators), the CPU share and
// resident memory at 16 channels x 30 fps, and last "ratio <engine / bare>"
// for 352x240, the bare decoder decoding the very channels the engine
// receives, in one thread. Neither includes decoder set-up (the engine is
// timed once every slot has shown pictures).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "tools/dvremu/video_source.h"
#include "viewer_control/engine/vistrel_engine.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
}

namespace {

using Clock = std::chrono::steady_clock;

struct Dvr {
  pid_t pid = -1;
  uint16_t stream_port = 0;
};

// Starts `dvremu` on ephemeral ports and reads its stream port from its banner.
Dvr SpawnDvr(int width, int height, bool unpaced) {
  int out[2];
  if (pipe(out) != 0) return {};
  const std::string size = std::to_string(width) + "x" + std::to_string(height);
  std::vector<std::string> args = {DVREMU_PATH, "--port", "0", "--channels", "4", "--size", size, "--no-stdin"};
  if (unpaced) args.push_back("--unpaced");
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  Dvr dvr{pid, 0};
  std::string banner;
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  while (banner.find('\n') == std::string::npos && Clock::now() < deadline) {
    pollfd wait{out[0], POLLIN, 0};
    if (poll(&wait, 1, 200) <= 0) continue;
    char chunk[256];
    const ssize_t n = read(out[0], chunk, sizeof chunk);
    if (n <= 0) break;
    banner.append(chunk, static_cast<size_t>(n));
  }
  close(out[0]);
  const size_t at = banner.find("stream ");
  if (at != std::string::npos) dvr.stream_port = static_cast<uint16_t>(std::stoi(banner.substr(at + 7)));
  return dvr;
}

void StopDvr(const Dvr& dvr) {
  if (dvr.pid <= 0) return;
  kill(dvr.pid, SIGTERM);
  waitpid(dvr.pid, nullptr, 0);
}

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long ResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return 0;
}

class CountingSink : public vistrel::IFrameSink {
 public:
  int32_t DrawPicture(int slot, const vistrel::PlanarPicture&, std::string_view) override {
    per_slot[slot].fetch_add(1, std::memory_order_relaxed);
    total.fetch_add(1, std::memory_order_relaxed);
    return 0;
  }
  std::array<std::atomic<long>, 16> per_slot{};
  std::atomic<long> total{0};
};

class NoEvents : public vistrel::IVistrelEvents {
 public:
  void Connect(int, int) override {}
  void Close(int, int) override {}
  void AuthenticationResult(int, int) override {}
};

void Pump(std::chrono::milliseconds duration) {
  const auto end = Clock::now() + duration;
  while (Clock::now() < end) {
    QCoreApplication::processEvents();
    QThread::msleep(10);
  }
}

struct EngineRun {
  long pictures = 0;
  double cpu_seconds = 0;
  double wall_seconds = 0;
  long resident_kb = 0;
  bool ok = false;
};

EngineRun RunEngine(int width, int height, bool unpaced, std::chrono::milliseconds measured) {
  EngineRun run;
  std::vector<Dvr> dvrs;
  for (int i = 0; i < 4; ++i) dvrs.push_back(SpawnDvr(width, height, unpaced));
  {
    NoEvents events;
    CountingSink sink;
    vistrel::VistrelEngine engine(&events, &sink);
    bool started = true;
    for (int s = 0; s < 4; ++s) {
      const uint8_t map[16] = {uint8_t(s * 4), uint8_t(s * 4 + 1), uint8_t(s * 4 + 2), uint8_t(s * 4 + 3)};
      engine.SetStreamSessionInfo(s, map, 4, 1);
      started = started && dvrs[s].stream_port != 0 &&
                engine.ConnectStreamPort(s, "127.0.0.1", static_cast<short>(dvrs[s].stream_port), "admin", "1234") ==
                    vistrel::ControlResult::kDone;
    }
    // Warm up until every slot has shown pictures.
    const auto deadline = Clock::now() + std::chrono::seconds(15);
    auto all_slots = [&] {
      for (auto& count : sink.per_slot) {
        if (count.load() < 30) return false;
      }
      return true;
    };
    while (started && !all_slots() && Clock::now() < deadline) Pump(std::chrono::milliseconds(20));
    if (started && all_slots()) {
      Pump(std::chrono::milliseconds(300));
      const long pictures0 = sink.total.load();
      const double cpu0 = ProcessCpuSeconds();
      const auto wall0 = Clock::now();
      Pump(measured);
      run.cpu_seconds = ProcessCpuSeconds() - cpu0;
      run.pictures = sink.total.load() - pictures0;
      run.wall_seconds = std::chrono::duration<double>(Clock::now() - wall0).count();
      run.resident_kb = ResidentKilobytes();
      run.ok = run.pictures > 0;
    }
    engine.DisconnectAllStreamPort();
  }
  for (auto& dvr : dvrs) StopDvr(dvr);
  return run;
}

struct BareRun {
  long pictures = 0;
  double cpu_seconds = 0;
};

// One decoder per channel, as the engine has, fed the emulator's loop of
// pictures `rounds` times over: decoder i gets camera cameras[i].
class BareChannels {
 public:
  BareChannels(const dvremu::VideoSource& video, std::vector<int> cameras)
      : video_(video), cameras_(std::move(cameras)) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MPEG4);
    for (size_t i = 0; i < cameras_.size(); ++i) {
      AVCodecContext* context = avcodec_alloc_context3(codec);
      const auto& vol = video.vol_header();
      context->extradata = static_cast<uint8_t*>(av_mallocz(vol.size() + AV_INPUT_BUFFER_PADDING_SIZE));
      std::memcpy(context->extradata, vol.data(), vol.size());
      context->extradata_size = static_cast<int>(vol.size());
      context->thread_count = 1;
      avcodec_open2(context, codec, nullptr);
      contexts_.push_back(context);
    }
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
  }
  ~BareChannels() {
    av_packet_free(&packet_);
    av_frame_free(&frame_);
    for (auto* context : contexts_) avcodec_free_context(&context);
  }
  // Interleaved: picture i of every channel, then picture i + 1.
  long Decode(int rounds) {
    long pictures = 0;
    for (int round = 0; round < rounds; ++round) {
      for (int index = 0; index < dvremu::kGroupLength; ++index) {
        for (size_t i = 0; i < contexts_.size(); ++i) {
          const auto picture = video_.picture(cameras_[i], index);
          input_.assign(picture.begin(), picture.end());
          input_.resize(picture.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
          packet_->data = input_.data();
          packet_->size = static_cast<int>(picture.size());
          if (avcodec_send_packet(contexts_[i], packet_) < 0) continue;
          if (avcodec_receive_frame(contexts_[i], frame_) == 0) ++pictures;
          av_frame_unref(frame_);
        }
      }
    }
    return pictures;
  }

 private:
  const dvremu::VideoSource& video_;
  const std::vector<int> cameras_;
  std::vector<AVCodecContext*> contexts_;
  AVFrame* frame_;
  AVPacket* packet_;
  std::vector<uint8_t> input_;
};

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// libavcodec alone on what the engine receives: each of the four DVRs sends
// its cameras 1-4, so cameras 1-4 four times over, one thread (the machine
// has no spare cores to lend it), pictures interleaved as they arrive. Set-up
// outside the timed region; the median of five repetitions.
BareRun RunBare(const dvremu::VideoSource& video, int rounds) {
  std::vector<int> cameras;
  for (int dvr = 0; dvr < 4; ++dvr) {
    for (int camera = 1; camera <= 4; ++camera) cameras.push_back(camera);
  }
  BareChannels channels(video, cameras);
  channels.Decode(1);  // warm: decoders past their first key picture
  std::vector<double> samples;
  BareRun run;
  for (int repetition = 0; repetition < 5; ++repetition) {
    const double cpu0 = ThreadCpuSeconds();
    run.pictures = channels.Decode(rounds);
    samples.push_back(ThreadCpuSeconds() - cpu0);
  }
  std::sort(samples.begin(), samples.end());
  run.cpu_seconds = samples[samples.size() / 2];
  return run;
}

double Micros(double seconds, long pictures) { return pictures > 0 ? seconds * 1e6 / pictures : 0; }

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  av_log_set_level(AV_LOG_FATAL);
  signal(SIGPIPE, SIG_IGN);
  const auto measured = std::chrono::milliseconds(4000);

  std::printf("live_pipeline: 4 sessions x 4 channels from 4 emulated DVRs, %lld ms measured per run\n",
              static_cast<long long>(measured.count()));
  const EngineRun paced = RunEngine(352, 240, false, measured);
  if (!paced.ok) {
    std::fprintf(stderr, "live_pipeline: the paced run delivered no pictures\n");
    return 1;
  }
  std::printf("paced 16 x 30 fps 352x240: %ld pictures/s, CPU %.1f %% of one core, resident %.1f MB\n",
              static_cast<long>(paced.pictures / paced.wall_seconds), 100.0 * paced.cpu_seconds / paced.wall_seconds,
              paced.resident_kb / 1024.0);

  double ratio_352 = 0;
  for (auto [width, height] : {std::pair{704, 480}, {352, 240}}) {
    const EngineRun engine = RunEngine(width, height, true, measured);
    dvremu::VideoSource video;
    std::string error;
    if (!video.Encode({width, height, 30, 16}, "16:35:33", &error)) {
      std::fprintf(stderr, "live_pipeline: %s\n", error.c_str());
      return 1;
    }
    const int rounds = width == 352 ? 20 : 6;
    const BareRun bare = RunBare(video, rounds);
    if (!engine.ok || bare.pictures == 0) {
      std::fprintf(stderr, "live_pipeline: the %dx%d run failed\n", width, height);
      return 1;
    }
    const double engine_us = Micros(engine.cpu_seconds, engine.pictures);
    const double bare_us = Micros(bare.cpu_seconds, bare.pictures);
    std::printf(
        "unpaced %dx%d: engine %.1f us/picture (%ld pictures, %.0f/s, resident %.1f MB); "
        "decoder alone %.1f us/picture (%ld pictures, one thread, median of 5); ratio %.3f\n",
        width, height, engine_us, engine.pictures, engine.pictures / engine.wall_seconds, engine.resident_kb / 1024.0,
        bare_us, bare.pictures, engine_us / bare_us);
    if (width == 352) ratio_352 = engine_us / bare_us;
  }
  std::printf("ratio %.3f\n", ratio_352);
  return 0;
}
