// Pictures through a feed without a stream session: routed by the channel
// map, checked for short user data, recorded, and a recording read back
// from its file played through a second feed as a local player will.
#include "viewer_control/engine/picture_feed.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "platform/trace.h"
#include "viewer_control/engine/decoder_channel.h"
#include "viewer_control/engine/picture_user_data.h"
#include "viewer_control/engine/testing/engine_test_support.h"

namespace vistrel {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

class SlotCounter : public IFrameSink {
 public:
  int32_t DrawPicture(int slot, const PlanarPicture&, std::string_view) override {
    ++drawn[slot];
    return 0;
  }
  std::map<int, int> drawn;
};

// Opens the decoders of the listed slots, as the engine does for a session.
class Outlet : public IPictureOutlet {
 public:
  explicit Outlet(std::vector<int> slots) : slots_(std::move(slots)) {
    for (int slot = 0; slot < 16; ++slot) {
      decoders_[slot].Bind(slot);
      decoders_[slot].SetFrameSink(&sink);
    }
  }
  void OpenDecoders(const VolHeader& vol) override {
    opened_with.push_back(vol);
    for (int slot : slots_) {
      if (decoders_[slot].Open(vol) == 0 || decoders_[slot].Start() == 0) break;
    }
  }
  void RecordingFailed(int error) override { failures.push_back(error); }
  DecoderChannel& Decoder(int slot) override { return decoders_[slot]; }

  SlotCounter sink;
  std::vector<VolHeader> opened_with;
  std::vector<int> failures;

 private:
  std::vector<int> slots_;
  std::array<DecoderChannel, 16> decoders_;
};

class PictureFeedTest : public ::testing::Test {
 protected:
  void SetUp() override { feed.SetTracePrefix("[STREAM SESSION 2]"); }
  platform::TraceCapture trace;
  test::StreamEncoder encoder{352, 240};
  PictureFeed feed;
};

TEST_F(PictureFeedTest, PicturesReachTheSlotTheirChannelIsMappedTo) {
  const uint8_t map[3] = {5, 9, 0};
  feed.SetChannels(map, 3);
  Outlet outlet({5, 9, 0});
  feed.StreamHeader(encoder.vol_packet(), outlet);
  for (int channel : {1, 2, 3, 2}) feed.Picture(encoder.Picture(channel, 0), outlet);
  EXPECT_EQ(outlet.sink.drawn, (std::map<int, int>{{0, 1}, {5, 1}, {9, 2}}));

  // Channel 4 lies beyond the count; channel 0 names none.
  feed.Picture(encoder.Picture(4, 0), outlet);
  feed.Picture(encoder.Picture(0, 0), outlet);
  EXPECT_EQ(trace.Count("[STREAM SESSION 2] Not found channel at GetMpeg4StreamChannel()."), 2u);
  Bytes no_user_data = {0, 0, 1, 0xB6, 1, 2, 3};
  feed.Picture(no_user_data, outlet);
  EXPECT_TRUE(trace.Contains("[STREAM SESSION 2] Can't found VOP."));
  EXPECT_EQ(outlet.sink.drawn.size(), 3u);
}

TEST_F(PictureFeedTest, AShortVolPacketIsPaddedWithZerosAndAResetClearsIt) {
  const uint8_t map[1] = {0};
  feed.SetChannels(map, 1);
  Outlet outlet({0});
  const Bytes short_vol = {0, 0, 1, 1, 0x20, 0x21};
  feed.StreamHeader(short_vol, outlet);
  VolHeader expected{};
  std::copy(short_vol.begin(), short_vol.end(), expected.begin());
  ASSERT_EQ(outlet.opened_with.size(), 1u);
  EXPECT_EQ(outlet.opened_with[0], expected);
  EXPECT_EQ(feed.vol_header(), expected);
  feed.ResetStream();
  EXPECT_EQ(feed.vol_header(), VolHeader{});
  EXPECT_EQ(feed.channel_count(), 1);
  // A count the map cannot back is cut to the map.
  feed.SetChannels(map, 5);
  EXPECT_EQ(feed.channel_count(), 1);
}

TEST_F(PictureFeedTest, EveryPictureCutShortOfItsUserDataIsDroppedNotDrawn) {
  const uint8_t map[1] = {4};
  feed.SetChannels(map, 1);
  Outlet outlet({4});
  feed.StreamHeader(encoder.vol_packet(), outlet);
  const Bytes whole = encoder.Picture(1, 0);
  // User data and the VOP start code: anything shorter is no picture.
  const size_t needed = kUserDataSize + 4;
  ASSERT_GT(whole.size(), needed);
  for (size_t size = 0; size < needed; ++size) {
    const std::span<const uint8_t> part(whole.data(), size);
    if (size < kUserDataSize) {
      EXPECT_FALSE(ReadPictureStamp(part)) << size;
    }
    feed.Picture(part, outlet);
  }
  EXPECT_TRUE(outlet.sink.drawn.empty());
  feed.Picture(whole, outlet);
  EXPECT_EQ(outlet.sink.drawn[4], 1);
}

TEST(PictureUserData, ReadsChannelNumberAndTime) {
  const Bytes user = test::StreamEncoder::UserData(0x23, 7);  // only the low five bits count
  EXPECT_EQ(UserDataChannel(user), 3);
  EXPECT_EQ(UserDataChannel(std::span(user).first(4)), 0);
  const auto stamp = ReadPictureStamp(user);
  ASSERT_TRUE(stamp);
  EXPECT_EQ(stamp->number, 7);
  EXPECT_EQ(stamp->time.year + 1900, 2026);
  EXPECT_EQ(stamp->time.month, 12);
  EXPECT_EQ(stamp->time.second, 33);
  const Bytes noise = {0, 0, 0, 1, 0xB2, 0, 0, 1, 0xB2};
  EXPECT_EQ(FindUserData(noise), 1u);
  EXPECT_EQ(FindUserData(std::span(noise).first(4)), 4u);
}

TEST_F(PictureFeedTest, ARecordingReadBackFromItsFilePlaysThroughAnotherFeed) {
  const fs::path dir = fs::temp_directory_path() / ("vistrel-feed-" + std::to_string(getpid()));
  fs::remove_all(dir);
  test::UseVideoFolder(dir.string(), (dir / "video").string() + "/");
  const uint8_t map[2] = {0, 1};
  feed.SetChannels(map, 2);
  Outlet live({0, 1});
  feed.StreamHeader(encoder.vol_packet(), live);
  std::tm now{};
  now.tm_year = 126;
  ASSERT_TRUE(feed.SetRecording(true, true, now));
  for (int number = 0; number < 5; ++number) {
    feed.Picture(encoder.Picture(1, number), live);
    feed.Picture(encoder.Picture(2, number), live);
  }
  const std::string rmp = feed.recorder_path(1);
  ASSERT_TRUE(feed.SetRecording(false, true, now));
  EXPECT_TRUE(live.failures.empty());

  std::ifstream in(rmp, std::ios::binary);
  const Bytes file(std::istreambuf_iterator<char>(in), {});
  ASSERT_GT(file.size(), 24u);
  // The file's header holds the VOL; its pictures carry channel 2 and go to slot 7.
  PictureFeed player;
  const uint8_t player_map[2] = {6, 7};
  player.SetChannels(player_map, 2);
  Outlet local({6, 7});
  player.StreamHeader(std::span(file).subspan(5, kVolHeaderSize), local);
  for (const Bytes& picture : test::RecordedPictures(file)) player.Picture(picture, local);
  EXPECT_EQ(local.sink.drawn, (std::map<int, int>{{7, 5}}));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace vistrel
