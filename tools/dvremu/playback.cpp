#include "tools/dvremu/playback.h"

#include <algorithm>

namespace dvremu {
namespace {

int64_t GroupStart(int64_t frame) { return frame / kGroupLength * kGroupLength; }

}  // namespace

Playback::Playback(const RecordFile& file, Stretch stretch, int fps)
    : file_(file),
      fps_(fps),
      first_frame_(0),
      end_frame_(static_cast<int64_t>(file.duration_s) * fps),
      next_(stretch.first_frame) {}

int Playback::FramesPerTick(int speed_code) {
  switch (speed_code) {
    case 2:
    case 4:
    case 8:
    case 16:
      return speed_code;
    case 0x20:
      return 32;
    default:
      return 1;
  }
}

void Playback::Forward(int speed_code) {
  std::lock_guard guard(lock_);
  direction_ = 1;
  frames_per_tick_ = FramesPerTick(speed_code);
}

void Playback::Reverse(int speed_code) {
  std::lock_guard guard(lock_);
  direction_ = -1;
  frames_per_tick_ = FramesPerTick(speed_code);
}

void Playback::Stop() {
  std::lock_guard guard(lock_);
  direction_ = 0;
}

void Playback::Step(int direction) {
  std::lock_guard guard(lock_);
  direction_ = 0;
  if (steps_.size() < 64) steps_.push_back(direction > 0 ? 1 : -1);
}

void Playback::JumpToMinute(int minute) {
  std::lock_guard guard(lock_);
  const int64_t offset_s = std::max(0, minute * 60 - file_.start_in_hour_s());
  const int64_t target = std::min(offset_s * fps_, std::max<int64_t>(0, end_frame_ - 1));
  next_ = std::max(first_frame_, GroupStart(target));
  show_next_ = true;
}

bool Playback::playing() const {
  std::lock_guard guard(lock_);
  return direction_ != 0;
}

int Playback::position_in_hour_s() const {
  std::lock_guard guard(lock_);
  return file_.start_in_hour_s() + static_cast<int>(next_ / fps_);
}

std::vector<int64_t> Playback::Tick() {
  std::lock_guard guard(lock_);
  std::vector<int64_t> frames;
  for (int step : steps_) {
    if (step > 0) {
      if (next_ < end_frame_) frames.push_back(next_++);
      continue;
    }
    // Back one frame: P pictures only decode forwards, so the whole group up
    // to the wanted frame goes out and the client ends up showing it.
    const int64_t target = next_ - 2;
    if (target < first_frame_) continue;
    for (int64_t frame = GroupStart(target); frame <= target; ++frame) frames.push_back(frame);
    next_ = target + 1;
  }
  steps_.clear();
  if (show_next_) {
    show_next_ = false;
    if (next_ < end_frame_) {
      frames.push_back(next_);
      ++next_;
    }
    return frames;
  }
  if (direction_ == 1 && frames_per_tick_ == 1) {
    if (next_ >= end_frame_) {
      direction_ = 0;
    } else {
      frames.push_back(next_++);
    }
  } else if (direction_ != 0) {
    // Faster than normal or backwards: only the I picture of each group
    // crossed, since the P pictures between them would not decode.
    const int64_t from = next_;
    const int64_t to = from + direction_ * frames_per_tick_;
    if (to >= end_frame_ || to < first_frame_) {
      direction_ = 0;
      next_ = std::clamp(to, first_frame_, end_frame_);
    } else {
      next_ = to;
      if (GroupStart(to) != GroupStart(from)) frames.push_back(GroupStart(to));
    }
  }
  return frames;
}

}  // namespace dvremu
