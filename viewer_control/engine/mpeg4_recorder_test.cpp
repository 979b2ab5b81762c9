#include "viewer_control/engine/mpeg4_recorder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/result_codes.h"
#include "platform/trace.h"
#include "protocol/stream_codes.h"
#include "viewer_control/engine/testing/engine_test_support.h"
#include "viewer_control/engine/vistrel_engine.h"

namespace vistrel {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// A picture packet: a few bytes before the user data (not recorded), the user
// data, then a body whose size differs per picture.
Bytes Packet(int channel, int number) {
  Bytes packet = {0xAA, 0xBB};
  const Bytes user = test::StreamEncoder::UserData(channel, number);
  packet.insert(packet.end(), user.begin(), user.end());
  packet.insert(packet.end(), {0, 0, 1, 0xB6});
  packet.insert(packet.end(), static_cast<size_t>(10 + number), static_cast<uint8_t>(number));
  return packet;
}

Bytes Recorded(const Bytes& packet) { return Bytes(packet.begin() + 2, packet.end()); }

class RecorderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vistrel-recorder-" + std::to_string(getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    for (size_t i = 0; i < vol_.size(); ++i) vol_[i] = static_cast<uint8_t>(0x40 + i);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string folder() const { return dir_.string() + "/"; }

  platform::TraceCapture trace;
  fs::path dir_;
  VolHeader vol_{};
};

Bytes Header(const char* mark, const VolHeader& vol) {
  Bytes header(24, 0);
  std::copy_n(mark, 4, header.begin());
  std::copy(vol.begin(), vol.end(), header.begin() + 5);
  return header;
}

TEST_F(RecorderTest, ARecordingStartsAtTheNextIPicture) {
  Mpeg4Recorder recorder;
  ASSERT_TRUE(recorder.Open(0, vol_, folder(), true));
  EXPECT_EQ(recorder.rmp_path(), folder() + "000.rmp");
  Bytes expected = Header("LIVE", vol_);
  for (int number = 3; number < 30; ++number) EXPECT_EQ(recorder.WritePicture(Packet(1, number)), 1);
  for (int number = 0; number < 5; ++number) {
    const Bytes packet = Packet(1, number);
    ASSERT_EQ(recorder.WritePicture(packet), 1);
    const Bytes picture = Recorded(packet);
    expected.insert(expected.end(), picture.begin(), picture.end());
  }
  recorder.Close();
  EXPECT_EQ(ReadFile(folder() + "000.rmp"), expected);
  EXPECT_TRUE(ReadFile(folder() + "000.rmg").empty());  // the open group has no record
}

TEST_F(RecorderTest, TwoCompleteGroupsGiveTwoSevenByteRecords) {
  Mpeg4Recorder recorder;
  ASSERT_TRUE(recorder.Open(2, vol_, folder(), true));
  uint32_t group_sizes[2] = {0, 0};
  for (int group = 0; group < 3; ++group) {
    for (int number = 0; number < (group == 2 ? 4 : 30); ++number) {
      const Bytes packet = Packet(3, number);
      ASSERT_EQ(recorder.WritePicture(packet), 1);
      if (group < 2) group_sizes[group] += static_cast<uint32_t>(packet.size() - 2);
    }
  }
  recorder.Close();
  const Bytes rmg = ReadFile(folder() + "002.rmg");
  ASSERT_EQ(rmg.size(), 14u);
  for (int group = 0; group < 2; ++group) {
    const uint32_t size = group_sizes[group];
    const Bytes record = {0x01,
                          0xB2,
                          0x02,
                          static_cast<uint8_t>(size),
                          static_cast<uint8_t>(size >> 8),
                          static_cast<uint8_t>(size >> 16),
                          static_cast<uint8_t>(size >> 24)};
    EXPECT_EQ(Bytes(rmg.begin() + group * 7, rmg.begin() + group * 7 + 7), record);
  }
  EXPECT_EQ(ReadFile(folder() + "002.rmp").size(),
            24 + group_sizes[0] + group_sizes[1] + (Packet(3, 0).size() - 2) * 4 + 0 + 1 + 2 + 3);
  EXPECT_TRUE(
      trace.Contains("[MPEG4 RECORDER] Ch.2 I frame Gop Size = " + std::to_string(group_sizes[1]) + ", frame num = 0"));
}

TEST_F(RecorderTest, WithoutAnIPictureTheRmpHoldsOnlyItsHeader) {
  Mpeg4Recorder recorder;
  ASSERT_TRUE(recorder.Open(9, vol_, folder(), false));
  for (int number = 1; number < 30; ++number) recorder.WritePicture(Packet(10, number));
  EXPECT_EQ(recorder.WritePicture(Bytes{1, 2, 3}), 0);
  EXPECT_TRUE(trace.Contains("[MPEG4 RECORDER] Ch.10 Can't find MPEG-4 VOL (Video Object Layer) at Network packet."));
  recorder.Close();
  // Stream channel 10 records into 009.*; not live, so "PLAY".
  EXPECT_EQ(ReadFile(folder() + "009.rmp"), Header("PLAY", vol_));
  EXPECT_TRUE(fs::exists(folder() + "009.rmg"));
  EXPECT_EQ(fs::file_size(folder() + "009.rmg"), 0u);
}

TEST_F(RecorderTest, AFailedWriteKeepsWholePicturesAndStopsTheChannel) {
  Mpeg4Recorder recorder;
  ASSERT_TRUE(recorder.Open(0, vol_, folder(), true));
  const Bytes first = Packet(1, 0);
  ASSERT_EQ(recorder.WritePicture(first), 1);
  const off_t whole = static_cast<off_t>(24 + first.size() - 2);

  // The disk fills up half-way through the next picture.
  int result;
  {
    test::FileSizeLimit full(whole + 10);
    result = recorder.WritePicture(Packet(1, 1));
  }

  EXPECT_EQ(result, 0);
  EXPECT_TRUE(trace.Contains("[MPEG4 RECORDER] MPEG4 Frame write error !!!"));
  EXPECT_FALSE(recorder.is_open());
  ASSERT_TRUE(recorder.failure());
  EXPECT_EQ(recorder.failure()->path, folder() + "000.rmp");
  EXPECT_EQ(recorder.failure()->error, EFBIG);
  EXPECT_EQ(recorder.failure()->Text(), folder() + "000.rmp: File too large");
  EXPECT_EQ(recorder.WritePicture(Packet(1, 2)), 1);  // the channel no longer records
  Bytes expected = Header("LIVE", vol_);
  const Bytes picture = Recorded(first);
  expected.insert(expected.end(), picture.begin(), picture.end());
  EXPECT_EQ(ReadFile(folder() + "000.rmp"), expected);
}

TEST_F(RecorderTest, OpenedBeforeTheVolItRecordsFromTheFirstIPictureAfterIt) {
  Mpeg4Recorder recorder;
  ASSERT_TRUE(recorder.Open(0, std::nullopt, folder(), true));
  EXPECT_EQ(recorder.WritePicture(Packet(1, 0)), 1);  // no VOL yet: held back
  EXPECT_EQ(ReadFile(folder() + "000.rmp"), Header("LIVE", VolHeader{}));
  ASSERT_TRUE(recorder.TakeVol(vol_));
  VolHeader other{};
  other.fill(0x11);
  ASSERT_TRUE(recorder.TakeVol(other));               // the first VOL stays
  EXPECT_EQ(recorder.WritePicture(Packet(1, 1)), 1);  // not an I picture
  const Bytes packet = Packet(1, 0);
  EXPECT_EQ(recorder.WritePicture(packet), 1);
  recorder.Close();
  Bytes expected = Header("LIVE", vol_);
  const Bytes picture = Recorded(packet);
  expected.insert(expected.end(), picture.begin(), picture.end());
  EXPECT_EQ(ReadFile(folder() + "000.rmp"), expected);
}

TEST_F(RecorderTest, FoldersOfOneSecondGetSuffixesAndNoFileIsWrittenOver) {
  RecordingFailure failure;
  const std::string name = folder() + "video/20261208163533/";
  EXPECT_EQ(MakeRecordFolder(name, &failure), name);  // the video folder is made too
  EXPECT_EQ(MakeRecordFolder(name, &failure), folder() + "video/20261208163533_2/");
  EXPECT_EQ(MakeRecordFolder(name, &failure), folder() + "video/20261208163533_3/");

  // A file already there is kept as it is, and the open says why it failed.
  std::ofstream(name + "000.rmp") << "earlier";
  Mpeg4Recorder recorder;
  EXPECT_FALSE(recorder.Open(0, vol_, name, true));
  EXPECT_EQ(ReadFile(name + "000.rmp"), Bytes({'e', 'a', 'r', 'l', 'i', 'e', 'r'}));
  ASSERT_TRUE(recorder.failure());
  EXPECT_EQ(recorder.failure()->error, EEXIST);

  // Under a file no folder can be made.
  std::ofstream(folder() + "plain") << "x";
  EXPECT_FALSE(MakeRecordFolder(folder() + "plain/20261208163533/", &failure));
  EXPECT_EQ(failure.path, folder() + "plain/");
  EXPECT_EQ(failure.error, ENOTDIR);
}

// Recording through the engine's session: folder from the registry and the
// clock, files per stream channel, pictures from the session's dispatch.
class SessionRecordingTest : public RecorderTest {
 protected:
  void SetUp() override {
    RecorderTest::SetUp();
    test::UseVideoFolder(dir_.string(), folder() + "video");
    engine_.SetLocalTime([this] { return now_; });
    const uint8_t map[16] = {4, 5, 6, 7};
    ASSERT_EQ(engine_.SetStreamSessionInfo(1, map, 4, kStreamLive), ControlResult::kDone);
  }
  void TearDown() override {
    unsetenv("KAVIRO_REGISTRY");
    RecorderTest::TearDown();
  }
  void Feed(const Bytes& payload) {
    transport_.PushPacket(protocol::stream::LIVE_VIDEO_DATA, payload);
    transport_.Drain(engine_.session(1));
  }

  static std::tm Start() {
    std::tm start{};
    start.tm_year = 126;
    start.tm_mon = 11;
    start.tm_mday = 8;
    start.tm_hour = 16;
    start.tm_min = 35;
    start.tm_sec = 33;
    return start;
  }

  struct FailureEvents : IVistrelEvents {
    void Connect(int, int) override {}
    void Close(int, int) override {}
    void AuthenticationResult(int, int) override {}
    void RecordingFailed(int session, int error) override { failures.emplace_back(session, error); }
    std::vector<std::pair<int, int>> failures;
  };

  std::tm now_ = Start();
  FailureEvents events_;
  VistrelEngine engine_{&events_};
  test::ScriptedTransport transport_;
};

TEST_F(SessionRecordingTest, FilesGoIntoAFolderNamedFromTheLocalTime) {
  EXPECT_EQ(engine_.SetMpeg4Recording(1, 1), ControlResult::kDone);
  const std::string recording = folder() + "video/20261208163533/";
  for (const char* name : {"000", "001", "002", "003"}) {
    EXPECT_TRUE(fs::exists(recording + name + ".rmp")) << name;
    EXPECT_TRUE(fs::exists(recording + name + ".rmg")) << name;
  }
  EXPECT_FALSE(fs::exists(recording + "004.rmp"));
  EXPECT_FALSE(engine_.session(1).recording_failure());
}

// Switched on before the VOL packet, as kaviroctl does once the stream port
// is up: the file begins at the first I picture after the VOL and decodes.
TEST_F(SessionRecordingTest, ARecordingStartedBeforeTheVolDecodes) {
  test::StreamEncoder encoder(352, 240);
  ASSERT_EQ(engine_.SetMpeg4Recording(1, 1), ControlResult::kDone);
  Feed(encoder.Picture(2, 0));  // cannot be decoded without the VOL: not recorded
  Feed(encoder.vol_packet());
  for (int number = 0; number < 3; ++number) Feed(encoder.Picture(2, number, static_cast<uint8_t>(60 + number)));
  engine_.SetMpeg4Recording(1, 0);

  const Bytes rmp = ReadFile(folder() + "video/20261208163533/001.rmp");
  ASSERT_GT(rmp.size(), 24u);
  const Bytes vol(rmp.begin() + 5, rmp.begin() + 24);
  EXPECT_EQ(vol, encoder.vol_packet());
  EXPECT_EQ(test::RecordedPictures(rmp).size(), 3u);
  EXPECT_EQ(test::DecodableRecordedPictures(rmp), 3);
}

TEST_F(SessionRecordingTest, SwitchingOnAgainClosesTheEarlierFilesFirst) {
  test::StreamEncoder encoder(352, 240);
  Feed(encoder.vol_packet());
  engine_.SetMpeg4Recording(1, 1);
  Feed(Packet(1, 0));
  const std::string first = folder() + "video/20261208163533/000.rmp";
  const auto first_size = fs::file_size(first);
  const Bytes header = ReadFile(first);
  EXPECT_EQ(Bytes(header.begin() + 5, header.begin() + 24), encoder.vol_packet());

  // In the same second the time name is taken: the new recording gets a
  // folder of its own and the earlier files keep what they hold.
  ASSERT_EQ(engine_.SetMpeg4Recording(1, 1), ControlResult::kDone);
  Feed(Packet(1, 0));
  EXPECT_EQ(fs::file_size(first), first_size);
  const std::string second = folder() + "video/20261208163533_2/000.rmp";
  EXPECT_EQ(engine_.session(1).recorder_path(0), second);
  EXPECT_EQ(fs::file_size(second), 24 + Packet(1, 0).size() - 2);
  const Bytes second_header = ReadFile(second);
  EXPECT_EQ(Bytes(second_header.begin() + 5, second_header.begin() + 24), encoder.vol_packet());

  now_.tm_sec = 34;
  engine_.SetMpeg4Recording(1, 1);
  Feed(Packet(1, 0));
  EXPECT_EQ(fs::file_size(second), 24 + Packet(1, 0).size() - 2);
  EXPECT_EQ(fs::file_size(folder() + "video/20261208163534/000.rmp"), 24 + Packet(1, 0).size() - 2);
  EXPECT_TRUE(engine_.session(1).recording());
}

TEST_F(SessionRecordingTest, WithoutTheRegistryKeyNothingIsRecorded) {
  setenv("KAVIRO_REGISTRY", (dir_ / "other.db").c_str(), 1);
  EXPECT_EQ(engine_.SetMpeg4Recording(1, 1), ControlResult::kFailed);
  EXPECT_FALSE(engine_.session(1).recording());
  EXPECT_FALSE(fs::exists(folder() + "video"));
  ASSERT_TRUE(engine_.session(1).recording_failure());
  EXPECT_EQ(engine_.session(1).recording_failure()->Text(), "no video folder is set");
}

TEST_F(SessionRecordingTest, AFolderThatCannotBeMadeFailsAndSaysWhy) {
  std::ofstream(folder() + "video") << "a file, not a folder";
  EXPECT_EQ(engine_.SetMpeg4Recording(1, 1), ControlResult::kFailed);
  EXPECT_FALSE(engine_.session(1).recording());
  EXPECT_TRUE(trace.Contains("[MPEG4 DECODER] Record file foder create failed !!!"));
  ASSERT_TRUE(engine_.session(1).recording_failure());
  EXPECT_EQ(engine_.session(1).recording_failure()->Text(), folder() + "video/: Not a directory");
}

TEST_F(SessionRecordingTest, ADiskFullFromTheStartRecordsNothingAndFails) {
  ControlResult result = ControlResult::kDone;
  {
    test::FileSizeLimit full(0);
    result = engine_.SetMpeg4Recording(1, 1);
  }
  EXPECT_EQ(result, ControlResult::kFailed);
  EXPECT_FALSE(engine_.session(1).recording());
  ASSERT_TRUE(engine_.session(1).recording_failure());
  EXPECT_EQ(engine_.session(1).recording_failure()->path, folder() + "video/20261208163533/000.rmp");
  EXPECT_EQ(engine_.session(1).recording_failure()->error, EFBIG);
}

TEST_F(SessionRecordingTest, AWriteThatFailsLaterIsReportedOnceWithItsFile) {
  test::StreamEncoder encoder(352, 240);
  Feed(encoder.vol_packet());
  ASSERT_EQ(engine_.SetMpeg4Recording(1, 1), ControlResult::kDone);
  Feed(Packet(1, 0));
  Feed(Packet(2, 0));
  {
    test::FileSizeLimit full(static_cast<off_t>(fs::file_size(engine_.session(1).recorder_path(0))));
    Feed(Packet(1, 1));
    Feed(Packet(2, 1));  // the second failure of the recording is not reported again
  }
  ASSERT_EQ(events_.failures.size(), 1u);
  EXPECT_EQ(events_.failures[0], (std::pair{1, EFBIG}));
  ASSERT_TRUE(engine_.session(1).recording_failure());
  EXPECT_EQ(engine_.session(1).recording_failure()->path, folder() + "video/20261208163533/000.rmp");
  EXPECT_TRUE(trace.Contains("[STREAM SESSION 1] Stream data Mpeg4 recording failed !!!"));
  EXPECT_TRUE(engine_.session(1).recording());  // the host switches it off

  // A new recording is heard of again.
  now_.tm_sec = 40;
  ASSERT_EQ(engine_.SetMpeg4Recording(1, 1), ControlResult::kDone);
  EXPECT_FALSE(engine_.session(1).recording_failure());
  Feed(Packet(1, 0));
  {
    test::FileSizeLimit full(static_cast<off_t>(fs::file_size(engine_.session(1).recorder_path(0))));
    Feed(Packet(1, 1));
  }
  EXPECT_EQ(events_.failures.size(), 2u);
}

}  // namespace
}  // namespace vistrel
