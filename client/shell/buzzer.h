// The alarm buzzer: a wave file played in a loop while an alarm pop-up is up,
// or, without a wave output device, six alternating tones. Also the warning
// beeps the sessions ask for.
//
// Threads: Start, Stop and the tone functions may be called from any thread;
// sound effects live on the user-interface thread and are reached from other
// threads by a blocking hand-over. Every beep sequence of the process sounds
// on one beep thread, started when first needed and ended by
// JoinBeepThreads (or at exit).
#pragma once

#include <functional>
#include <optional>

namespace shell {

// Tests observe tones here instead of waiting for them to sound.
using ToneHook = std::function<void(int hz, int duration_ms)>;
void SetToneHook(ToneHook hook);
// Tests decide whether a wave output device exists; nothing = ask the system.
void SetAudioOutputOverride(std::optional<bool> present);
bool HasAudioOutput();

// One tone, synthesized; returns when it has sounded.
void PlayTone(int hz, int duration_ms);
// 3000 Hz and 2000 Hz, 500 ms each, three times over, on the beep thread;
// asked again while sounding, the sequence starts afresh after the current
// tone. Returns at once.
void StartWarningBeeps();
// Waits until the tones asked for have sounded and ends the beep thread (at
// shutdown and in tests).
void JoinBeepThreads();

// Stops every wave the process plays.
void StopAllSound();
// Wave files playing now (for tests).
int PlayingWaveCount();

class CBuzzer {
 public:
  // With a wave output and `allow_wave`, loops the "BuzzerPath" wave;
  // otherwise starts the beeps once.
  void Start(bool allow_wave);
  // Stops all wave playback of the process when this buzzer's wave played.
  void Stop();
  bool playing() const { return playing_; }
  bool beeping() const { return beep_started_; }

 private:
  bool playing_ = false;
  bool beep_started_ = false;
};

}  // namespace shell
