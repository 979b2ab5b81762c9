#include "viewer_control/engine/playback_pace.h"

#include <gtest/gtest.h>

namespace vistrel {
namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

class HandClock : public IPlaybackClock {
 public:
  TimePoint Now() const override { return now; }
  TimePoint now{};
};

// Hands on every due picture for `span` of clock time, in steps of 1 ms.
int PicturesIn(HandClock& clock, PlaybackPace& pace, milliseconds span) {
  int taken = 0;
  for (auto end = clock.now + span; clock.now < end; clock.now += milliseconds(1)) {
    while (pace.UntilNext() == microseconds(0)) {
      pace.Taken();
      ++taken;
    }
  }
  return taken;
}

TEST(PlaybackPace, PlaysAsRecordedAtEightAndScalesWithTheSpeed) {
  // Pictures in ten seconds of a 30-per-second recording, by speed.
  for (auto [speed, pictures] : {std::pair{8, 300}, {16, 600}, {4, 150}, {1, 38}}) {
    HandClock clock;
    PlaybackPace pace(clock, 30);
    pace.SetSpeed(speed);
    // The first picture is due at once; then one per interval, without drift.
    EXPECT_NEAR(PicturesIn(clock, pace, milliseconds(10'000)), pictures, 1) << speed;
  }
}

TEST(PlaybackPace, ASpeedChangeTakesEffectForThePictureWaitedFor) {
  HandClock clock;
  PlaybackPace pace(clock, 25);
  pace.Taken();
  EXPECT_EQ(pace.UntilNext(), milliseconds(40));
  clock.now += milliseconds(10);
  pace.SetSpeed(16);
  EXPECT_EQ(pace.UntilNext(), milliseconds(10));
  for (int ignored : {0, 3, 17, -8}) pace.SetSpeed(ignored);
  EXPECT_EQ(pace.speed(), 16);
}

TEST(PlaybackPace, AReaderThatFellBehindResumesWithoutABurst) {
  HandClock clock;
  PlaybackPace pace(clock, 30);
  pace.Taken();
  clock.now += milliseconds(2'000);  // the disk stalled
  EXPECT_EQ(pace.UntilNext(), microseconds(0));
  pace.Taken();
  EXPECT_GT(pace.UntilNext(), milliseconds(30));
}

}  // namespace
}  // namespace vistrel
