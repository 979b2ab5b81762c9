// The state of one client's playback of a recorded file: position, direction,
// speed, pending frame steps and jumps. The command connection changes it;
// the stream connection of the same client asks it, once per picture time,
// which frames to send.
//
// Any thread; every method takes the object's own lock.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "tools/dvremu/recordings.h"

namespace dvremu {

class Playback {
 public:
  // Starts playing forward at normal speed from the stretch's first frame.
  Playback(const RecordFile& file, Stretch stretch, int fps);

  const RecordFile& file() const { return file_; }

  // Speed codes of the client: 1, 2, 4, 8, 16, and 0x20 for fast.
  void Forward(int speed_code);
  void Reverse(int speed_code);
  void Stop();
  // One frame forward (+1) or back (-1), while stopped or playing.
  void Step(int direction);
  // To the group that starts at or after `minute` of the file's hour.
  void JumpToMinute(int minute);

  bool playing() const;
  // The playing position as seconds within the file's hour.
  int position_in_hour_s() const;
  // The frames whose pictures go out now (each for every channel), in order.
  std::vector<int64_t> Tick();

 private:
  static int FramesPerTick(int speed_code);

  const RecordFile& file_;
  const int fps_;
  const int64_t first_frame_;
  const int64_t end_frame_;
  mutable std::mutex lock_;
  int64_t next_ = 0;         // the next frame forward; guarded by lock_
  int direction_ = 1;        // 1 forward, -1 reverse, 0 stopped; guarded by lock_
  int frames_per_tick_ = 1;  // guarded by lock_
  std::vector<int> steps_;   // guarded by lock_
  bool show_next_ = false;   // a jump shows its I picture even when stopped; guarded by lock_
};

}  // namespace dvremu
