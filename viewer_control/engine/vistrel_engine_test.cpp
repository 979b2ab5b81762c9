// The seven methods of the control with their results, and the whole engine
// against the DVR emulator: logon, channel maps, decoding, recording.
#include "viewer_control/engine/vistrel_engine.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "platform/result_codes.h"
#include "platform/trace.h"
#include "tools/dvremu/dvr_emulator.h"
#include "tools/dvremu/frame_painter.h"
#include "viewer_control/engine/testing/engine_test_support.h"

namespace vistrel {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class Events : public IVistrelEvents {
 public:
  void Connect(int, int) override { ++connects; }
  void Close(int, int) override { ++closes; }
  void AuthenticationResult(int, int) override { ++authentications; }
  int connects = 0;
  int closes = 0;
  int authentications = 0;
};

// Keeps the first picture of every slot, luma only.
class FirstPictures : public IFrameSink {
 public:
  int32_t DrawPicture(int slot, const PlanarPicture& picture, std::string_view) override {
    std::lock_guard lock(lock_);
    ++counts_[slot];
    if (!luma_[slot].empty()) return 0;
    width_[slot] = picture.width;
    height_[slot] = picture.height;
    for (int row = 0; row < picture.height; ++row) {
      const uint8_t* line = picture.y + static_cast<ptrdiff_t>(row) * picture.y_pitch;
      luma_[slot].insert(luma_[slot].end(), line, line + picture.width);
    }
    return 0;
  }
  void ChannelClosed(int slot) override {
    std::lock_guard lock(lock_);
    closed_.push_back(slot);
  }
  int count(int slot) {
    std::lock_guard lock(lock_);
    return counts_[slot];
  }
  std::vector<uint8_t> luma(int slot) {
    std::lock_guard lock(lock_);
    return luma_[slot];
  }
  std::vector<int> closed() {
    std::lock_guard lock(lock_);
    return closed_;
  }
  int width(int slot) {
    std::lock_guard lock(lock_);
    return width_[slot];
  }

 private:
  std::mutex lock_;
  std::array<int, kDisplaySlots> counts_{};
  std::array<int, kDisplaySlots> width_{};
  std::array<int, kDisplaySlots> height_{};
  std::array<std::vector<uint8_t>, kDisplaySlots> luma_;
  std::vector<int> closed_;
};

// How far a decoded picture is from the emulator's picture 0 of a channel.
double Distance(const std::vector<uint8_t>& decoded, int width, int height, int channel) {
  std::vector<uint8_t> y(static_cast<size_t>(width) * height);
  std::vector<uint8_t> u(y.size() / 4);
  std::vector<uint8_t> v(y.size() / 4);
  dvremu::PlanarPicture picture{y.data(), u.data(), v.data(), width, width / 2, width, height};
  dvremu::PaintChannelPicture(picture, channel, 0, 30, "");
  double sum = 0;
  for (size_t i = 0; i < y.size(); ++i) sum += std::abs(int(decoded[i]) - int(y[i]));
  return sum / static_cast<double>(y.size());
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override { test::EnsureApplication(); }

  platform::TraceCapture trace;
  Events events;
  FirstPictures pictures;
  VistrelEngine engine{&events, &pictures};
};

TEST_F(EngineTest, CreationEndsWithTheTraceOfTheBoundSessions) {
  ASSERT_FALSE(trace.Texts().empty());
  EXPECT_EQ(trace.Texts().back(), "6");
  EXPECT_EQ(trace.Count("6"), 1u);
  for (int index = 0; index < kSessionCount; ++index) EXPECT_EQ(engine.session(index).index(), index);
}

TEST_F(EngineTest, ArgumentsOutsideTheirRangesFailWithZero) {
  const uint8_t map[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  const uint8_t bad_map[4] = {0, 1, 16, 3};
  for (int session : {-1, 4}) {
    EXPECT_EQ(engine.ConnectStreamPort(session, "127.0.0.1", 4001, "a", "b"), ControlResult::kRefused);
    EXPECT_EQ(engine.DisconnectStreamPort(session), ControlResult::kRefused);
    EXPECT_EQ(engine.SetStreamSessionInfo(session, map, 4, 1), ControlResult::kRefused);
    EXPECT_EQ(engine.SetMpeg4Recording(session, 1), ControlResult::kRefused);
  }
  EXPECT_EQ(engine.SetStreamSessionInfo(0, map, 17, 1), ControlResult::kRefused);
  EXPECT_EQ(engine.SetStreamSessionInfo(0, map, 0, 1), ControlResult::kRefused);
  EXPECT_EQ(engine.SetStreamSessionInfo(0, bad_map, 4, 1), ControlResult::kRefused);
  EXPECT_EQ(engine.SetStreamSessionInfo(0, std::span(map, 2), 4, 1), ControlResult::kRefused);
  EXPECT_EQ(engine.channel_list(0).count, -1);
}

TEST_F(EngineTest, ConnectNeedsCredentialsAndStartsNothingWithoutAnAddressOrPort) {
  EXPECT_EQ(engine.ConnectStreamPort(0, "127.0.0.1", 4001, "", "1234"), ControlResult::kFailed);
  EXPECT_EQ(engine.ConnectStreamPort(0, "127.0.0.1", 4001, "admin", ""), ControlResult::kFailed);
  EXPECT_TRUE(trace.Contains("[STREAM SESSION 0] UserName, Password is empty !!!"));
  EXPECT_EQ(trace.Count("Failed to connection stream port."), 2u);
  EXPECT_FALSE(engine.session(0).running());

  EXPECT_EQ(engine.ConnectStreamPort(1, "", 4001, "admin", "1234"), ControlResult::kDone);
  EXPECT_EQ(engine.ConnectStreamPort(1, "127.0.0.1", 0, "admin", "1234"), ControlResult::kDone);
  EXPECT_FALSE(engine.session(1).running());
  // Never connected: nothing to do (automation hosts see S_OK, pVal untouched).
  EXPECT_EQ(engine.DisconnectStreamPort(1), ControlResult::kNotConnected);
  test::PumpUntil([] { return false; }, 50ms);
  EXPECT_EQ(events.connects, 0);
}

TEST_F(EngineTest, LayoutChangesOnlyWithinItsRanges) {
  engine.set_selected_cell(4);
  for (auto [first, per_row] : {std::pair{16, 2}, {0, 0}, {0, 5}, {-1, 2}}) {
    EXPECT_EQ(engine.SetAlignChannelMode(first, per_row), ControlResult::kRefused);
  }
  EXPECT_EQ(engine.first_slot(), 0);
  EXPECT_EQ(engine.channels_per_row(), 3);
  EXPECT_EQ(engine.selected_cell(), 4);
  EXPECT_EQ(engine.SetAlignChannelMode(12, 2), ControlResult::kDone);
  EXPECT_EQ(engine.first_slot(), 12);
  EXPECT_EQ(engine.channels_per_row(), 2);
  EXPECT_EQ(engine.selected_cell(), -1);
}

TEST_F(EngineTest, RecordEventTypesNeedTheSessionsChannels) {
  const uint8_t types[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(engine.SetRecordEventType(2, types), ControlResult::kRefused);

  const uint8_t map[16] = {8, 9, 10, 11};
  ASSERT_EQ(engine.SetStreamSessionInfo(2, map, 4, 1), ControlResult::kDone);
  EXPECT_EQ(engine.video_stream_mode(), 1);
  EXPECT_EQ(engine.SetRecordEventType(2, types), ControlResult::kDone);
  EXPECT_EQ(engine.record_event_type(7), 0xFF);
  EXPECT_EQ(engine.record_event_type(8), 1);
  EXPECT_EQ(engine.record_event_type(11), 4);
  EXPECT_EQ(engine.record_event_type(12), 0xFF);

  // Bytes that would run past slot 15 are refused.
  const uint8_t late[16] = {14, 15, 0, 1};
  ASSERT_EQ(engine.SetStreamSessionInfo(3, late, 4, 1), ControlResult::kDone);
  EXPECT_EQ(engine.SetRecordEventType(3, types), ControlResult::kRefused);

  EXPECT_EQ(engine.DisconnectAllStreamPort(), ControlResult::kDone);
  EXPECT_EQ(engine.channel_list(2).count, -1);
  EXPECT_EQ(engine.channel_list(2).entries[0], 0xFF);
  EXPECT_EQ(engine.SetRecordEventType(2, types), ControlResult::kRefused);
}

// --- Against the emulator.

class EmulatorTest : public EngineTest {
 protected:
  void StartDvr(int channels, int width = 352, int height = 240) {
    dvremu::EmulatorOptions options;
    options.port = 0;
    options.channels = channels;
    options.width = width;
    options.height = height;
    options.read_stdin = false;
    dvr_ = std::make_unique<dvremu::DvrEmulator>(options);
    std::string error;
    ASSERT_TRUE(dvr_->Start(&error)) << error;
  }
  ControlResult Connect(int session) {
    return engine.ConnectStreamPort(session, "127.0.0.1", static_cast<short>(dvr_->stream_port()), "admin", "1234");
  }
  void TearDown() override {
    engine.DisconnectAllStreamPort();
    if (dvr_) dvr_->Stop();
  }
  // The mapped slot shows its channel's picture, not another one's.
  void ExpectChannelInSlot(int channel, int slot, int channels) {
    const auto luma = pictures.luma(slot);
    ASSERT_FALSE(luma.empty()) << "slot " << slot;
    const int width = pictures.width(slot);
    const int height = static_cast<int>(luma.size()) / width;
    const double own = Distance(luma, width, height, channel);
    EXPECT_LT(own, 6.0) << "channel " << channel;
    for (int other = 1; other <= channels; ++other) {
      if (other != channel) {
        EXPECT_GT(Distance(luma, width, height, other), own + 5.0);
      }
    }
  }

  std::unique_ptr<dvremu::DvrEmulator> dvr_;
};

TEST_F(EmulatorTest, FourChannelsReachTheirSlotsThroughTheChannelMap) {
  StartDvr(4);
  const uint8_t map[16] = {12, 4, 9, 0};
  ASSERT_EQ(engine.SetStreamSessionInfo(2, map, 4, 1), ControlResult::kDone);
  ASSERT_EQ(Connect(2), ControlResult::kDone);
  ASSERT_TRUE(test::PumpUntil(
      [&] { return pictures.count(12) > 0 && pictures.count(4) > 0 && pictures.count(9) > 0 && pictures.count(0) > 0; },
      5s));
  EXPECT_EQ(events.connects, 1);
  EXPECT_EQ(events.authentications, 1);
  for (int k = 0; k < 4; ++k) ExpectChannelInSlot(k + 1, map[k], 4);
  EXPECT_EQ(pictures.count(1), 0);

  // A second connect leaves the running one alone.
  EXPECT_EQ(Connect(2), ControlResult::kRefused);
  const int before = pictures.count(12);
  ASSERT_TRUE(test::PumpUntil([&] { return pictures.count(12) > before + 3; }));

  const uint8_t types[4] = {1, 1, 1, 1};
  ASSERT_EQ(engine.SetRecordEventType(2, types), ControlResult::kDone);
  EXPECT_EQ(engine.record_event_type(15), 1);
  EXPECT_EQ(engine.DisconnectStreamPort(2), ControlResult::kDone);
  EXPECT_FALSE(engine.decoder(12).is_open());
  EXPECT_EQ(pictures.closed(), (std::vector<int>{12, 4, 9, 0}));
  // From the first entry's slot on, as many slots as the list counts.
  for (int slot = 12; slot < 16; ++slot) EXPECT_EQ(engine.record_event_type(slot), 0xFF);
  EXPECT_EQ(engine.channel_list(2).count, 0);
  EXPECT_EQ(events.closes, 0);
}

TEST_F(EmulatorTest, EightChannelsOfTwoSizesOnTwoSessions) {
  StartDvr(8, 704, 480);
  const uint8_t map[16] = {0, 2, 4, 6, 8, 10, 12, 14};
  ASSERT_EQ(engine.SetStreamSessionInfo(1, map, 8, 1), ControlResult::kDone);
  ASSERT_EQ(Connect(1), ControlResult::kDone);
  ASSERT_TRUE(test::PumpUntil(
      [&] {
        for (int k = 0; k < 8; ++k) {
          if (pictures.count(map[k]) == 0) return false;
        }
        return true;
      },
      8s));
  for (int k = 0; k < 8; ++k) ExpectChannelInSlot(k + 1, map[k], 8);
  EXPECT_EQ(pictures.width(2), 704);
  for (int slot : {1, 3, 15}) EXPECT_EQ(pictures.count(slot), 0);
}

TEST_F(EmulatorTest, ARecordingHoldsWholeGroupsFromAnIPicture) {
  StartDvr(4);
  const std::string dir = (fs::temp_directory_path() / ("vistrel-e2e-" + std::to_string(getpid()))).string();
  fs::remove_all(dir);
  test::UseVideoFolder(dir, dir + "/video/");
  const uint8_t map[16] = {0, 1, 2, 3};
  ASSERT_EQ(engine.SetStreamSessionInfo(0, map, 4, 1), ControlResult::kDone);
  ASSERT_EQ(Connect(0), ControlResult::kDone);
  ASSERT_TRUE(test::PumpUntil([&] { return pictures.count(3) > 0; }, 5s));
  engine.SetMpeg4Recording(0, 1);
  const std::string rmp = engine.session(0).recorder_path(3);
  ASSERT_FALSE(rmp.empty());
  ASSERT_TRUE(test::PumpUntil([&] { return pictures.count(3) > 75; }, 8s));
  engine.SetMpeg4Recording(0, 0);

  std::ifstream in(rmp, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  ASSERT_GT(bytes.size(), 24u + 20u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 5), std::string("LIVE", 5));
  EXPECT_EQ(bytes[24 + 3], 0xB2);
  EXPECT_EQ(bytes[24 + 4] & 0x1F, 4);
  EXPECT_EQ(bytes[24 + 7], 0);  // begins with an I picture
  std::ifstream index(rmp.substr(0, rmp.size() - 3) + "rmg", std::ios::binary);
  const std::vector<uint8_t> records((std::istreambuf_iterator<char>(index)), {});
  ASSERT_GE(records.size(), 7u);
  ASSERT_EQ(records.size() % 7, 0u);
  // Each record's size leads from one I picture to the next.
  size_t offset = 24;
  for (size_t r = 0; r < records.size(); r += 7) {
    EXPECT_EQ(records[r + 2], 3);
    offset += records[r + 3] | records[r + 4] << 8 | records[r + 5] << 16 | size_t(records[r + 6]) << 24;
    ASSERT_LT(offset + 8, bytes.size());
    EXPECT_EQ(bytes[offset + 3], 0xB2);
    EXPECT_EQ(bytes[offset + 7], 0);
  }
  unsetenv("KAVIRO_REGISTRY");
  fs::remove_all(dir);
}

}  // namespace
}  // namespace vistrel
