#include "client/media/engine/media_playback.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "client/media/engine/local_recording.h"
#include "client/media/engine/testing/media_test_support.h"
#include "viewer_control/engine/testing/engine_test_support.h"

namespace media {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class HandClock final : public vistrel::IPlaybackClock {
 public:
  TimePoint Now() const override { return now; }
  TimePoint now{std::chrono::seconds(1000)};
};

// What was drawn: per slot, a checksum of the luma and the date caption.
class DrawnPictures final : public vistrel::IFrameSink {
 public:
  struct Drawn {
    int slot;
    uint64_t sum;
    std::string date;
  };
  int32_t DrawPicture(int slot, const vistrel::PlanarPicture& picture, std::string_view date_text) override {
    uint64_t sum = 1469598103934665603ull;
    for (int row = 0; row < picture.height; ++row) {
      for (int x = 0; x < picture.width; ++x) sum = (sum ^ picture.y[row * picture.y_pitch + x]) * 1099511628211ull;
    }
    std::lock_guard guard(lock);
    drawn.push_back({slot, sum, std::string(date_text)});
    return 0;
  }
  Drawn Last(int slot) const {
    std::lock_guard guard(lock);
    for (auto it = drawn.rbegin(); it != drawn.rend(); ++it) {
      if (it->slot == slot) return *it;
    }
    return {-1, 0, ""};
  }
  size_t size() const {
    std::lock_guard guard(lock);
    return drawn.size();
  }
  mutable std::mutex lock;
  std::vector<Drawn> drawn;
};

class Positions final : public IPlaybackListener {
 public:
  void PositionChanged(int second) override { seconds.push_back(second); }
  void RecordingFailed(int) override {}
  std::vector<int> seconds;
};

class Playback : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::TestFolder();
    const std::string path = dir_ + "/202612091405.amg";
    auto bytes = test::RecordFileBytes(3);
    for (uint8_t b : {42, 0, 0, 0, 1}) bytes.push_back(b);
    test::WriteFile(path, bytes);
    LoadedRecording loaded;
    std::string error;
    ASSERT_TRUE(LoadLocalFile(path, &loaded, &error)) << error;
    EXPECT_EQ(loaded.pictures_per_second, 30);
    playback_.SetListener(&positions_);
    ASSERT_TRUE(playback_.Open(std::move(loaded.media), std::move(loaded.sources), loaded.pictures_per_second));
  }
  void TearDown() override {
    playback_.Close();
    fs::remove_all(dir_);
  }

  std::string dir_;
  HandClock clock_;
  DrawnPictures drawn_;
  Positions positions_;
  MediaPlayback playback_{clock_, &drawn_};
};

TEST_F(Playback, ForwardPlaysEveryFrameAtTheSpeedsPace) {
  EXPECT_EQ(playback_.channel_count(), 4);
  EXPECT_EQ(playback_.frame_count(), 90u);
  EXPECT_EQ(playback_.RunDue(), 0) << "stopped plays nothing";
  playback_.SetMode(PlayMode::kForward);
  EXPECT_EQ(playback_.RunDue(), 1) << "the first frame is due at once";
  EXPECT_EQ(drawn_.size(), 4u);
  EXPECT_EQ(drawn_.Last(0).date, "2026/12/09  14:05:00");
  clock_.now += 34ms;
  EXPECT_EQ(playback_.RunDue(), 1);
  playback_.SetSpeed(16);  // x2
  clock_.now += 17ms;
  EXPECT_EQ(playback_.RunDue(), 1);
  playback_.SetSpeed(3);  // not a speed: ignored
  clock_.now += 17ms;
  EXPECT_EQ(playback_.RunDue(), 1);
  playback_.SetSpeed(1);  // x1/8
  clock_.now += 34ms;
  EXPECT_EQ(playback_.RunDue(), 0);
  clock_.now += 300ms;
  EXPECT_EQ(playback_.RunDue(), 1);
  EXPECT_EQ(playback_.frame(), 4u);
  EXPECT_EQ(positions_.seconds, std::vector<int>{300});
}

TEST_F(Playback, ReverseAndFastModesCrossGroupsByTheirIPictures) {
  ASSERT_TRUE(playback_.JumpTo(5 * 60 + 2));
  EXPECT_EQ(playback_.frame(), 60u);
  EXPECT_FALSE(playback_.JumpTo(5 * 60 + 9)) << "past the recording";
  playback_.SetMode(PlayMode::kReverse);
  EXPECT_EQ(playback_.RunDue(), 1);
  EXPECT_EQ(playback_.frame(), 30u);
  EXPECT_EQ(drawn_.Last(0).date, "2026/12/09  14:05:01");
  clock_.now += 1s;
  EXPECT_EQ(playback_.RunDue(), 1);
  EXPECT_EQ(playback_.frame(), 0u);
  clock_.now += 1s;
  EXPECT_EQ(playback_.RunDue(), 0) << "the start ends reverse play";

  playback_.SetMode(PlayMode::kFastForward);
  EXPECT_EQ(playback_.RunDue(), 1);
  EXPECT_EQ(playback_.frame(), 30u);
  clock_.now += 250ms;
  EXPECT_EQ(playback_.RunDue(), 1);
  EXPECT_EQ(playback_.frame(), 60u);
  clock_.now += 250ms;
  EXPECT_EQ(playback_.RunDue(), 0);
  playback_.SetMode(PlayMode::kFastReverse);
  EXPECT_EQ(playback_.RunDue(), 1);
  EXPECT_EQ(playback_.frame(), 30u);
  EXPECT_EQ(positions_.seconds, (std::vector<int>{302, 301, 300, 301, 302, 301}));
}

TEST_F(Playback, FrameBackShowsThePictureForwardPlayShowed) {
  std::map<size_t, uint64_t> forward;
  for (size_t frame = 0; frame < 35; ++frame) {
    playback_.SetMode(PlayMode::kFrameForward);
    ASSERT_EQ(playback_.frame(), frame);
    forward[frame] = drawn_.Last(2).sum;
  }
  // Back over a group start: the group before is decoded up to frame 29.
  for (size_t frame = 33; frame >= 28; --frame) {
    playback_.SetMode(PlayMode::kFrameBack);
    ASSERT_EQ(playback_.frame(), frame);
    EXPECT_EQ(drawn_.Last(2).sum, forward[frame]) << "frame " << frame;
  }
  EXPECT_EQ(playback_.mode(), PlayMode::kFrameBack);
  EXPECT_EQ(playback_.RunDue(), 0) << "a frame mode plays no further";
}

TEST_F(Playback, RecordsWhatIsPlayed) {
  vistrel::test::UseVideoFolder(dir_ + "/config", dir_ + "/video");
  std::tm now{};
  now.tm_year = 126;
  now.tm_mon = 11;
  now.tm_mday = 9;
  ASSERT_TRUE(playback_.SetRecording(true, now));
  const std::string rmp = playback_.recorder_path(1);
  ASSERT_FALSE(rmp.empty());
  EXPECT_EQ(playback_.recorder_path(5), "") << "files for the recording's four channels only";
  for (int frame = 0; frame < 40; ++frame) playback_.SetMode(PlayMode::kFrameForward);
  ASSERT_TRUE(playback_.SetRecording(false, now));

  LoadedRecording again;
  std::string error;
  ASSERT_TRUE(LoadLocalFile(rmp, &again, &error)) << error;
  EXPECT_EQ(again.media.channel_count(), 4) << "the other channels' files play along";
  EXPECT_EQ(again.media.frame_count(), 40u);
  EXPECT_EQ(fs::file_size(rmp.substr(0, rmp.size() - 4) + ".rmg"), 7u);
  DrawnPictures replayed;
  MediaPlayback second(clock_, &replayed);
  ASSERT_TRUE(second.Open(std::move(again.media), std::move(again.sources), 30));
  ASSERT_TRUE(second.ShowFrame(39));
  EXPECT_EQ(replayed.Last(3).sum, drawn_.Last(3).sum);
}

TEST_F(Playback, PlaysOnItsOwnThread) {
  vistrel::SteadyPlaybackClock steady;
  DrawnPictures drawn;
  MediaPlayback threaded(steady, &drawn);
  LoadedRecording loaded;
  std::string error;
  ASSERT_TRUE(LoadLocalFile(dir_ + "/202612091405.amg", &loaded, &error));
  ASSERT_TRUE(threaded.Open(std::move(loaded.media), std::move(loaded.sources), 30));
  ASSERT_TRUE(threaded.Start());
  threaded.SetSpeed(16);
  threaded.SetMode(PlayMode::kForward);
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (threaded.frames_handed_on() < 40 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(5ms);
  }
  EXPECT_GE(threaded.frames_handed_on(), 40);
  threaded.Close();
  EXPECT_FALSE(threaded.is_open());
}

TEST(LocalRecording, RefusesOtherFilesAndMissingOnes) {
  LoadedRecording loaded;
  std::string error;
  EXPECT_FALSE(LoadLocalFile("/nonexistent/000.rmp", &loaded, &error));
  EXPECT_FALSE(LoadLocalFile("/etc/hostname", &loaded, &error));
  EXPECT_FALSE(LoadLocalFile("clip.AMG", &loaded, &error)) << "the extension is compared exactly";
}

}  // namespace
}  // namespace media
