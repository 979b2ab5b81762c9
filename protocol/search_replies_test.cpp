#include "protocol/search_replies.h"

#include <gtest/gtest.h>

#include <vector>

#include "protocol/command_codes.h"

namespace protocol {
namespace {

using Bytes = std::vector<uint8_t>;

// Bytes of one day-list record: index 42, 10:15:00 to 10:20:00, letters
// C M S _, "12" megabytes.
Bytes Record(uint32_t index = 42) {
  return {static_cast<uint8_t>(index),
          static_cast<uint8_t>(index >> 8),
          static_cast<uint8_t>(index >> 16),
          static_cast<uint8_t>(index >> 24),
          0x26,
          0x12,
          0x09,
          0x10,
          0x15,
          0x00,
          0x20,
          0x00,
          'C',
          'M',
          'S',
          '_',
          '1',
          '2',
          0,
          0};
}

TEST(SearchReplies, EveryCutOfASuccessIsMalformed) {
  const Bytes search = {result::kSuccess, 0x01, 0x02, 0x00, 0x80, 8};
  for (size_t size = 0; size < search.size(); ++size) {
    EXPECT_FALSE(DecodeSearchReply(std::span(search).first(size))) << size;
  }
  const auto reply = DecodeSearchReply(search);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->day_mask, 0x80000201u);
  EXPECT_EQ(reply->channel_count, 8);

  const Bytes month = {result::kSuccess, 0xFF, 0xFF, 0xFF, 0x7F};
  for (size_t size = 0; size < month.size(); ++size) {
    EXPECT_FALSE(DecodeMonthInfoReply(std::span(month).first(size))) << size;
  }
  EXPECT_EQ(DecodeMonthInfoReply(month)->day_mask, 0x7FFFFFFFu);

  for (auto decode : {DecodePlaybackResult, DecodeStopRecordStreamReply}) EXPECT_FALSE(decode({}));
  EXPECT_FALSE(DecodePlaybackReply({}));
  EXPECT_FALSE(DecodeDayInfoReply({}));
}

TEST(SearchReplies, RefusalsEndAfterTheirResult) {
  const Bytes refused = {0x01};
  EXPECT_EQ(DecodeSearchReply(refused)->result, 0x01);
  EXPECT_EQ(DecodeMonthInfoReply(refused)->result, 0x01);
  EXPECT_TRUE(DecodeDayInfoReply(refused)->files.empty());
  EXPECT_EQ(DecodePlaybackReply(refused)->reason, 0);
  const Bytes admin_playing = {0x01, 0x02};
  EXPECT_EQ(DecodePlaybackReply(admin_playing)->reason, 2);
}

TEST(SearchReplies, DayListTakesWholeRecordsOnly) {
  Bytes payload = {result::kSuccess};
  EXPECT_TRUE(DecodeDayInfoReply(payload)->files.empty());
  const Bytes first = Record(42);
  Bytes second = Record(0x01020304);
  second[4] = second[5] = second[6] = 0xEE;  // not read
  payload.insert(payload.end(), first.begin(), first.end());
  payload.insert(payload.end(), second.begin(), second.end());
  ASSERT_EQ(payload.size(), 41u);
  // Every cut keeps the whole records before it and drops the partial tail.
  for (size_t size = 1; size <= payload.size(); ++size) {
    const auto reply = DecodeDayInfoReply(std::span(payload).first(size));
    ASSERT_TRUE(reply) << size;
    EXPECT_EQ(reply->files.size(), (size - 1) / kFileRecordSize) << size;
  }
  payload.push_back(0x55);  // a tail shorter than a record
  const auto reply = DecodeDayInfoReply(payload);
  ASSERT_EQ(reply->files.size(), 2u);
  const FileRecord& file = reply->files[0];
  EXPECT_EQ(file.index, 42u);
  EXPECT_EQ(file.hour, 0x10);
  EXPECT_EQ(file.start_minute, 0x15);
  EXPECT_EQ(file.end_minute, 0x20);
  EXPECT_EQ(std::string(file.events.begin(), file.events.end()), "CMS_");
  EXPECT_EQ(file.size, "12");
  EXPECT_EQ(reply->files[1].index, 0x01020304u);
  EXPECT_EQ(reply->files[1].hour, 0x10);
}

TEST(SearchReplies, SizeDigitsEndAtAZeroByteOrAfterFour) {
  Bytes payload = {result::kSuccess};
  Bytes record = Record();
  record[16] = '7';
  record[17] = 0;
  record[18] = '9';  // after the end: not a digit of the size
  payload.insert(payload.end(), record.begin(), record.end());
  EXPECT_EQ(DecodeDayInfoReply(payload)->files[0].size, "7");
  std::copy_n("1234", 4, payload.end() - 4);
  EXPECT_EQ(DecodeDayInfoReply(payload)->files[0].size, "1234");
}

TEST(SearchReplies, PlaybackClockNeedsTwoValidBcdBytes) {
  const Bytes good = {0x59, 0x07};
  const auto clock = DecodePlaybackClock(good);
  ASSERT_TRUE(clock);
  EXPECT_EQ(clock->seconds(), 59 * 60 + 7);
  EXPECT_FALSE(DecodePlaybackClock({}));
  EXPECT_FALSE(DecodePlaybackClock(std::span(good).first(1)));
  for (const Bytes& bad : {Bytes{0x1A, 0x00}, Bytes{0x00, 0xF0}, Bytes{0x60, 0x00}, Bytes{0x00, 0x60}}) {
    EXPECT_FALSE(DecodePlaybackClock(bad)) << int(bad[0]) << " " << int(bad[1]);
  }
}

}  // namespace
}  // namespace protocol
