#include "protocol/command_replies.h"

#include <gtest/gtest.h>

#include <vector>

#include "protocol/command_codes.h"

namespace protocol {
namespace {

using Bytes = std::vector<uint8_t>;

// Every cut of a full success reply short of its last field.
template <typename Decode>
void ExpectEveryShortSuccessMalformed(Decode decode, const Bytes& full) {
  for (size_t size = 0; size < full.size(); ++size) {
    EXPECT_FALSE(decode(std::span(full).first(size)).has_value()) << size << " bytes";
  }
  EXPECT_TRUE(decode(std::span(full)).has_value());
}

TEST(CommandReplies, ShortSuccessRepliesAreMalformed) {
  ExpectEveryShortSuccessMalformed(DecodeLogonResult, {result::kSuccess, 2});
  ExpectEveryShortSuccessMalformed(DecodeLiveStreamReply, {result::kSuccess, 0x05, 0, 8});
  ExpectEveryShortSuccessMalformed(DecodeBypassReply, {result::kSuccess, bypass::kLight});
  for (auto decode : {DecodeChannelChangeReply, DecodeStopLiveStreamReply, DecodeNotice}) {
    EXPECT_FALSE(decode({}).has_value());
  }
}

TEST(CommandReplies, RefusalMayEndAfterItsResult) {
  const Bytes wrong_user = {result::kWrongUser};
  const auto logon = DecodeLogonResult(wrong_user);
  ASSERT_TRUE(logon.has_value());
  EXPECT_EQ(logon->result, result::kWrongUser);

  const Bytes refused = {0x01};
  EXPECT_EQ(DecodeLiveStreamReply(refused)->result, 0x01);

  const Bytes admin_busy = {result::kAdminBusy};
  const auto bypass = DecodeBypassReply(admin_busy);
  ASSERT_TRUE(bypass.has_value());
  EXPECT_EQ(bypass->result, result::kAdminBusy);
  EXPECT_FALSE(bypass->sub_code.has_value());
}

TEST(CommandReplies, FieldsAreReadInPlace) {
  const Bytes logon = {result::kSuccess, 1, 0xEE};
  EXPECT_EQ(DecodeLogonResult(logon)->level, 1);

  const Bytes live = {result::kSuccess, 0x81, 0xAA, 4};
  const auto stream = DecodeLiveStreamReply(live);
  EXPECT_EQ(stream->pan_tilt_mask, 0x81);
  EXPECT_EQ(stream->channel_count, 4);

  const Bytes types = {result::kSuccess, bypass::kRecordEventType, 1, 2, 3, 4};
  const auto bypass = DecodeBypassReply(types);
  EXPECT_EQ(bypass->sub_code, bypass::kRecordEventType);
  EXPECT_EQ(Bytes(bypass->data.begin(), bypass->data.end()), (Bytes{1, 2, 3, 4}));

  const Bytes notice = {4, 9};
  EXPECT_EQ(DecodeNotice(notice), 4);
  const Bytes stop = {result::kStopLiveConfirmed};
  EXPECT_EQ(DecodeStopLiveStreamReply(stop), result::kStopLiveConfirmed);
}

}  // namespace
}  // namespace protocol
