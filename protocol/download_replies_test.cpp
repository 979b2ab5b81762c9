#include "protocol/download_replies.h"

#include <gtest/gtest.h>

#include <vector>

namespace protocol {
namespace {

TEST(DownloadReplies, FileDownloadSizeIsLittleEndianAndACutSuccessIsMalformed) {
  // 74,565 bytes (0x12345) arrive as 45 23 01 00.
  const std::vector<uint8_t> full = {0x00, 0x45, 0x23, 0x01, 0x00};
  const auto reply = DecodeFileDownloadReply(full);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->result, 0);
  EXPECT_EQ(reply->total_size, 74565u);
  for (size_t length = 0; length < full.size(); ++length) {
    EXPECT_FALSE(DecodeFileDownloadReply(std::span(full).first(length))) << length;
  }
}

TEST(DownloadReplies, RefusalCarriesItsReasonWhenGiven) {
  const std::vector<uint8_t> with_reason = {0x01, 0x02};
  ASSERT_TRUE(DecodeFileDownloadReply(with_reason));
  EXPECT_EQ(DecodeFileDownloadReply(with_reason)->reason, 2);
  const std::vector<uint8_t> bare = {0x51};
  ASSERT_TRUE(DecodeFileDownloadReply(bare));
  EXPECT_EQ(DecodeFileDownloadReply(bare)->reason, 0);
}

TEST(DownloadReplies, InformationBlockNeedsSixtyFourPayloadBytes) {
  std::vector<uint8_t> payload(65);
  for (size_t i = 1; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i);
  for (size_t length = 0; length <= payload.size(); ++length) {
    SCOPED_TRACE(length);
    const auto reply = DecodeFileInfoReply(std::span(payload).first(length));
    if (length == 0) {
      EXPECT_FALSE(reply);
      continue;
    }
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->has_block, length >= 64);
    // A short block is all zero; at 64 the block's last byte was never sent.
    EXPECT_EQ(reply->block[4], length >= 64 ? 5 : 0);
    EXPECT_EQ(reply->block[63], length == 65 ? 64 : 0);
  }
  payload[0] = 0x01;  // a failure keeps no block whatever follows
  EXPECT_FALSE(DecodeFileInfoReply(payload)->has_block);
}

TEST(DownloadReplies, ResultRepliesNeedTheirByte) {
  EXPECT_FALSE(DecodeFileResult({}));
  const std::vector<uint8_t> one = {0x51};
  EXPECT_EQ(DecodeFileResult(one), 0x51);
}

}  // namespace
}  // namespace protocol
