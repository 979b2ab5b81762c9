#include "protocol/service_replies.h"

#include <gtest/gtest.h>

#include "protocol/payload.h"

namespace protocol {
namespace {

constexpr uint8_t kFailed = 0x01;

std::vector<uint8_t> StatusReplyBytes() {
  PayloadWriter out;
  out.u8(result::kSuccess);
  out.cstring("1.20.07").cstring("DVR-8CH").u8(0x00).u8(0x50).u8(0x00).u8(0x10).u8(0x00).u8(0x0C);
  out.cstring("Overwrite").cstring("NTSC").cstring("10.0.0.7");
  out.u8(192).u8(168).u8(0).u8(200).u8(0);
  out.cstring("dvr@example.com").u8(1).cstring("DVR-01").cstring("0123456789");
  out.u8(0x00).u8(0x50).u8(0x00).u8(0xA0);
  return out.take();
}

std::vector<uint8_t> LogReplyBytes() {
  PayloadWriter out;
  out.u8(result::kSuccess).u32le(7).u8(1);
  out.u8(0x09).u8(0x05).u8(0x30).u8(0).u8(0x01).u8(0x11).u8(5).u8(0).u8(168).u8(192);
  return out.take();
}

TEST(ServiceReplies, StatusReplyCarriesItsBlock) {
  const auto bytes = StatusReplyBytes();
  const auto reply = DecodeDvrStatusReply(bytes);
  ASSERT_TRUE(reply);
  EXPECT_FALSE(reply->malformed());
  EXPECT_EQ(reply->body_bytes, bytes.size() - 1);
  ASSERT_TRUE(reply->body);
  EXPECT_EQ(reply->body->model, "DVR-8CH");
  EXPECT_EQ(reply->body->capacity_gb, 0x50);
  EXPECT_EQ(reply->body->call_number, "0123456789");
  EXPECT_EQ(reply->body->second_disk_total_gb, 0xA0);
}

// Every cut of a successful reply is malformed, never a success with
// half-filled fields; the empty payload has no result at all.
TEST(ServiceReplies, EveryShortSuccessIsMalformed) {
  const auto status = StatusReplyBytes();
  EXPECT_FALSE(DecodeDvrStatusReply({}));
  for (size_t cut = 1; cut < status.size(); ++cut) {
    const auto reply = DecodeDvrStatusReply(std::span(status).first(cut));
    ASSERT_TRUE(reply) << cut;
    EXPECT_TRUE(reply->malformed()) << cut;
    EXPECT_EQ(reply->body_bytes, cut - 1);
  }

  const auto log = LogReplyBytes();
  EXPECT_FALSE(DecodeLogPageReply({}));
  for (size_t cut = 1; cut < 6; ++cut) {
    const auto reply = DecodeLogPageReply(std::span(log).first(cut));
    ASSERT_TRUE(reply) << cut;
    EXPECT_TRUE(reply->malformed()) << cut;
  }

  const uint8_t alarm_without_number[] = {result::kSuccess};
  EXPECT_FALSE(DecodeAlarm({}));
  EXPECT_TRUE(DecodeAlarm(alarm_without_number)->malformed());
  EXPECT_FALSE(DecodeLightState({}));
}

// A failed result is a whole reply: it needs no body, and whatever follows
// it is not read as one.
TEST(ServiceReplies, FailedResultsAreRepliesWithoutBody) {
  const uint8_t failed[] = {kFailed};
  auto status = StatusReplyBytes();
  status[0] = result::kAdminBusy;
  const auto busy = DecodeDvrStatusReply(status);
  ASSERT_TRUE(busy);
  EXPECT_FALSE(busy->succeeded());
  EXPECT_FALSE(busy->malformed());
  EXPECT_FALSE(busy->body);

  const auto log = DecodeLogPageReply(failed);
  ASSERT_TRUE(log);
  EXPECT_FALSE(log->malformed());
  EXPECT_FALSE(log->body);

  const auto alarm = DecodeAlarm(failed);
  ASSERT_TRUE(alarm);
  EXPECT_FALSE(alarm->malformed());
  EXPECT_EQ(alarm->result, kFailed);
}

TEST(ServiceReplies, LogPageAlarmAndLightValues) {
  const auto log = DecodeLogPageReply(LogReplyBytes());
  ASSERT_TRUE(log && log->body);
  EXPECT_EQ(log->body->page_count, 7u);
  ASSERT_EQ(log->body->records.size(), 1u);
  EXPECT_EQ(log->body->records[0].code, 0x0111);
  EXPECT_EQ(log->body->records[0].address, (std::array<uint8_t, 4>{5, 0, 168, 192}));

  // The number is handed on as sent; its range is the session's rule.
  const uint8_t alarm[] = {result::kSuccess, 9};
  EXPECT_EQ(DecodeAlarm(alarm)->body, 9);

  const uint8_t light[] = {0x35, 0xFF};
  EXPECT_EQ(DecodeLightState(light), 0x35);
}

TEST(ServiceReplies, EveryShortSettingBlockIsRefused) {
  PayloadWriter out;
  out.u8(10).u8(0).u8(0).u8(9).u8(0).cstring("ops@example.net").cstring("SITE-7").cstring("555-0100");
  const auto& block = out.bytes();
  const auto whole = DecodeSettingBlock(block);
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->dvr_id, "SITE-7");
  for (size_t cut = 0; cut < block.size(); ++cut) {
    EXPECT_FALSE(DecodeSettingBlock(std::span(block).first(cut))) << cut;
  }
}

}  // namespace
}  // namespace protocol
