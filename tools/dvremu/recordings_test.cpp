#include "tools/dvremu/recordings.h"

#include <gtest/gtest.h>

#include <memory>

#include "tools/dvremu/dvr_services.h"
#include "tools/dvremu/playback.h"

namespace dvremu {
namespace {

class RecordingsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    video_ = std::make_unique<VideoSource>();
    ASSERT_TRUE(video_->Encode({352, 240, 30, 4}, "00:00:00", &error)) << error;
  }
  static void TearDownTestSuite() { video_.reset(); }
  static std::tm Noon() {
    std::tm now{};
    now.tm_year = 124;
    now.tm_mon = 2;
    now.tm_mday = 10;
    now.tm_hour = 12;
    now.tm_min = 30;
    return now;
  }
  static std::unique_ptr<VideoSource> video_;
};
std::unique_ptr<VideoSource> RecordingsTest::video_;

// Clients and their tests play yesterday's files: no date may leave it bare.
TEST_F(RecordingsTest, YesterdayHoldsAFinishedFileOfTwoMinutesOnEveryDate) {
  std::tm now = Noon();
  for (int day = 0; day < 400; ++day, ++now.tm_mday) {
    std::tm date = now;
    std::mktime(&date);
    Recordings recordings;
    recordings.Generate(1, date, 3, *video_);
    std::tm yesterday = date;
    --yesterday.tm_mday;
    std::mktime(&yesterday);
    bool found = false;
    for (const RecordFile* file :
         recordings.Day(yesterday.tm_year + 1900, yesterday.tm_mon + 1, yesterday.tm_mday)) {
      found = found || (!file->still_recording && file->duration_s >= 120);
    }
    EXPECT_TRUE(found) << std::asctime(&date);
  }
}

TEST_F(RecordingsTest, GenerationIsDeterministicAndEndsWithAFileStillRecording) {
  Recordings a, b, c;
  a.Generate(5, Noon(), 60, *video_);
  b.Generate(5, Noon(), 60, *video_);
  c.Generate(6, Noon(), 60, *video_);
  ASSERT_FALSE(a.files().empty());
  ASSERT_EQ(a.files().size(), b.files().size());
  for (size_t i = 0; i < a.files().size(); ++i)
    EXPECT_EQ(a.files()[i].start_in_hour_s(), b.files()[i].start_in_hour_s());
  EXPECT_NE(a.MonthMask(2024, 2), c.MonthMask(2024, 2));
  const RecordFile& last = a.files().back();
  EXPECT_TRUE(last.still_recording);
  EXPECT_EQ(last.day, 10);
  EXPECT_EQ(last.hour, 12);
  const auto record = BuildFileRecord(last);
  ASSERT_EQ(record.size(), 20u);
  EXPECT_EQ(record[8], record[10]);  // end shown equal to start: "Recording"
  EXPECT_EQ(record[9], record[11]);
  EXPECT_TRUE(a.MonthMask(2024, 3) & (1u << 9));
  EXPECT_EQ(a.Find(last.index), &last);
}

TEST_F(RecordingsTest, StretchStartsOnAGroupAndEndZeroMeansTheWholeFile) {
  RecordFile file;
  file.start_minute = 10;
  file.duration_s = 120;
  const Stretch whole = StretchOf(file, 30, 10, 0, 0, 0);
  EXPECT_EQ(whole.first_frame, 0);
  EXPECT_EQ(whole.end_frame, 3600);
  const Stretch part = StretchOf(file, 30, 10, 5, 10, 20);
  EXPECT_EQ(part.first_frame, 150);
  EXPECT_EQ(part.end_frame, 600);
  EXPECT_EQ(StretchOf(file, 30, 10, 20, 10, 10).end_frame, 0);  // nothing left
}

TEST_F(RecordingsTest, RecordFileSizeMatchesItsBytes) {
  RecordFile file;
  file.index = 42;
  file.duration_s = 3;
  RecordFileStream stream(*video_, file, StretchOf(file, 30, 0, 0, 0, 0));
  std::vector<uint8_t> chunk;
  uint64_t total = 0;
  while (!stream.done()) {
    stream.Read(1000, &chunk);
    ASSERT_FALSE(chunk.empty());
    total += chunk.size();
  }
  EXPECT_EQ(total, stream.total_size());
  const auto block = stream.InformationBlock();
  ASSERT_EQ(block.size(), 64u);
  EXPECT_EQ(block[4], 42);
  EXPECT_EQ(block[49], 1);
}

TEST_F(RecordingsTest, PlaybackStepsAndFastModesSendDecodableFrames) {
  RecordFile file;
  file.duration_s = 10;
  Playback playback(file, StretchOf(file, 30, 0, 0, 0, 0), 30);
  EXPECT_EQ(playback.Tick(), std::vector<int64_t>{0});
  EXPECT_EQ(playback.Tick(), std::vector<int64_t>{1});
  playback.Stop();
  EXPECT_TRUE(playback.Tick().empty());
  playback.Step(1);
  EXPECT_EQ(playback.Tick(), std::vector<int64_t>{2});
  playback.Step(-1);  // back to frame 1: its group from the I picture on
  EXPECT_EQ(playback.Tick(), (std::vector<int64_t>{0, 1}));
  playback.Forward(16);
  EXPECT_TRUE(playback.Tick().empty());                  // 2 -> 18, same group
  EXPECT_EQ(playback.Tick(), std::vector<int64_t>{30});  // 18 -> 34: only the I picture
  playback.Reverse(1);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(playback.Tick().empty());
  EXPECT_EQ(playback.Tick(), std::vector<int64_t>{0});  // 30 -> 29 crosses back
}

TEST(DvrServicesTest, LogPagesAndTheEmptyDay) {
  const auto log = DayLog(1, 2024, 3, 9, 20240310);
  ASSERT_GT(log.size(), static_cast<size_t>(kLogRecordsPerPage));
  const auto page = BuildLogPage(log, 1);
  EXPECT_EQ(page[0], 0);
  EXPECT_EQ(page[5], kLogRecordsPerPage);
  EXPECT_EQ(page.size(), 6u + 10u * kLogRecordsPerPage);
  EXPECT_EQ(BuildLogPage(log, 0)[0], 1);
  const auto empty = BuildLogPage(DayLog(1, 2024, 3, 11, 20240310), 1);
  ASSERT_EQ(empty.size(), 16u);
  EXPECT_EQ(empty[1], 1);      // one page
  EXPECT_EQ(empty[11], 0x90);  // "No have log list"
}

TEST(DvrServicesTest, SettingBlockParsesAndRejectsTruncation) {
  const std::vector<uint8_t> block = {1, 2, 3, 4, 0, 'a', 0, 'b', 0, 'c', 0};
  const auto setting = ParseServiceSetting(block);
  ASSERT_TRUE(setting);
  EXPECT_EQ(setting->address[0], 1);
  EXPECT_EQ(setting->email, "a");
  EXPECT_EQ(setting->call_number, "c");
  EXPECT_FALSE(ParseServiceSetting(std::span(block).first(8)));
}

}  // namespace
}  // namespace dvremu
