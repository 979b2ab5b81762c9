// The pace of a played-back recording. A DVR's stream sets its own pace; the
// readers of local files, disks and CDs hand their pictures to a PictureFeed
// when their pace says the next one is due, at the player's speed.
//
// Threads: a pace belongs to the thread of the reader that owns it. The clock
// may be shared; Now is called on that thread.
#pragma once

#include <chrono>

namespace vistrel {

// The time a pace is measured against; tests move it by hand.
class IPlaybackClock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  virtual ~IPlaybackClock() = default;
  virtual TimePoint Now() const = 0;
};

class SteadyPlaybackClock final : public IPlaybackClock {
 public:
  TimePoint Now() const override { return std::chrono::steady_clock::now(); }
};

// The player's speed values: 1, 2, 4, 8, 16, where 8 plays as recorded.
inline constexpr int kSpeedAsRecorded = 8;

class PlaybackPace {
 public:
  // `pictures_per_second` as recorded (30 NTSC, 25 PAL); the first picture is due at once.
  PlaybackPace(const IPlaybackClock& clock, int pictures_per_second);

  // One of the speed values (eighths of the recorded pace); any other is
  // ignored. The next picture is due one new interval after the last one.
  void SetSpeed(int speed);
  int speed() const { return speed_; }
  // How long until the next picture is due; zero when it is.
  std::chrono::microseconds UntilNext() const;
  // The due picture was handed on. A reader that fell behind by more than a
  // picture catches up from now instead of handing on a burst.
  void Taken();

 private:
  std::chrono::microseconds Interval() const;

  const IPlaybackClock& clock_;
  int pictures_per_second_;
  int speed_ = kSpeedAsRecorded;
  IPlaybackClock::TimePoint last_due_;
  IPlaybackClock::TimePoint next_due_;
};

}  // namespace vistrel
