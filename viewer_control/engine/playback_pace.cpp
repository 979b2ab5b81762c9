#include "viewer_control/engine/playback_pace.h"

#include <algorithm>

namespace vistrel {

PlaybackPace::PlaybackPace(const IPlaybackClock& clock, int pictures_per_second)
    : clock_(clock),
      pictures_per_second_(std::max(pictures_per_second, 1)),
      last_due_(clock.Now()),
      next_due_(last_due_) {}

std::chrono::microseconds PlaybackPace::Interval() const {
  return std::chrono::microseconds(1'000'000LL * kSpeedAsRecorded / (pictures_per_second_ * speed_));
}

void PlaybackPace::SetSpeed(int speed) {
  if (speed < 1 || speed > 16 || (speed & (speed - 1)) != 0) return;
  speed_ = speed;
  // A picture already due stays due; one waited for comes at the new pace.
  if (next_due_ > last_due_) next_due_ = last_due_ + Interval();
}

std::chrono::microseconds PlaybackPace::UntilNext() const {
  const auto now = clock_.Now();
  if (now >= next_due_) return std::chrono::microseconds(0);
  return std::chrono::ceil<std::chrono::microseconds>(next_due_ - now);
}

void PlaybackPace::Taken() {
  const auto now = clock_.Now();
  last_due_ = now - next_due_ > Interval() ? now : next_due_;
  next_due_ = last_due_ + Interval();
}

}  // namespace vistrel
