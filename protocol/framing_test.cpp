#include <gtest/gtest.h>

#include <vector>

#include "platform/result_codes.h"
#include "protocol/byte_reader.h"
#include "protocol/command_codes.h"
#include "protocol/packet_header.h"
#include "protocol/packet_sender.h"
#include "protocol/payload.h"

namespace protocol {
namespace {

TEST(Framing, HeaderIsBigEndianWithMagicAndPortKind) {
  const HeaderBytes header = BuildHeader(PortKind::kFile, 0x0102, cmd::LOGON_RESULT);
  const std::vector<uint8_t> expected = {'T', 'O', 'L', 'V', 'A', 3, 0x01, 0x02, 0x00, 0x00, 0x51, 0x02};
  EXPECT_EQ(std::vector<uint8_t>(header.begin(), header.end()), expected);
  EXPECT_EQ(HeaderPayloadLength(header), 0x0102);
  EXPECT_EQ(HeaderCode(header), cmd::LOGON_RESULT);
}

TEST(Framing, MagicComparesWithoutCaseAndClearsPortKind) {
  HeaderBytes header = BuildHeader(PortKind::kStream, 0, 0);
  const char* mixed = "tOlVa";
  for (int i = 0; i < 5; ++i) header[i] = static_cast<uint8_t>(mixed[i]);
  header[5] = 0xEE;
  EXPECT_TRUE(CheckMagic(header));
  EXPECT_EQ(header[5], 0);
  header[0] = 'X';
  EXPECT_FALSE(CheckMagic(header));
}

TEST(Payload, BcdFromTextAndNumbers) {
  EXPECT_EQ(BcdFromText('4', '5'), 0x45);
  EXPECT_EQ(BcdFromText(' ', '5'), 0x05);  // a two-wide number under 10
  EXPECT_EQ(BcdFromNumber(5), 0x05);
  EXPECT_EQ(BcdFromNumber(45), 0x45);
  EXPECT_EQ(BcdFromNumber(2004), 0x04);
  // REQ_JUMPSTREAM to minute 5 and to minute 45; REQ_MONTHINFO for March 2004.
  EXPECT_EQ(PayloadWriter().u8(sub::kJumpStream).bcd(5).bytes(), (std::vector<uint8_t>{0x10, 0x05}));
  EXPECT_EQ(PayloadWriter().u8(sub::kJumpStream).bcd(45).bytes(), (std::vector<uint8_t>{0x10, 0x45}));
  EXPECT_EQ(PayloadWriter().u8(sub::kMonthInfo).bcd(2004).bcd(3).bytes(), (std::vector<uint8_t>{0x19, 0x04, 0x03}));
}

TEST(Payload, IntegersAreLittleEndianAndTextsZeroTerminated) {
  EXPECT_EQ(PayloadWriter().u32le(74565).bytes(), (std::vector<uint8_t>{0x45, 0x23, 0x01, 0x00}));
  EXPECT_EQ(PayloadWriter().cstring("admin").cstring("1234").bytes().size(), 11u);

  const std::vector<uint8_t> bytes = {0x45, 0x23, 0x01, 0x00, 'a', 'b', 0, 0x59};
  ByteReader reader(bytes);
  EXPECT_EQ(reader.u32le(), 74565u);
  EXPECT_EQ(reader.cstring(16), "ab");
  EXPECT_EQ(reader.bcd(), 59);
  EXPECT_TRUE(reader.ok());
  EXPECT_EQ(reader.u8(), 0);  // past the end: zero, and the reader fails
  EXPECT_FALSE(reader.ok());
  EXPECT_EQ(reader.remaining(), 0u);
}

TEST(ByteReader, UnterminatedTextFailsUnlessLimitReached) {
  const std::vector<uint8_t> bytes = {'a', 'b', 'c'};
  ByteReader open_ended(bytes);
  open_ended.cstring(16);
  EXPECT_FALSE(open_ended.ok());
  ByteReader limited(bytes);
  EXPECT_EQ(limited.cstring(2), "ab");
  EXPECT_TRUE(limited.ok());
}

// Records what is sent, in the calls it was sent with.
class RecordingChannel : public PacketChannel {
 public:
  int SendBytes(std::span<const uint8_t> bytes) override {
    if (fail_after_ == 0) return E_FAIL;
    --fail_after_;
    sends.emplace_back(bytes.begin(), bytes.end());
    return 0;
  }
  std::vector<std::vector<uint8_t>> sends;
  int fail_after_ = 100;
};

TEST(SendPacket, HeaderAndPayloadGoInTwoSendsAndEmptyPayloadInOne) {
  RecordingChannel channel;
  const std::vector<uint8_t> payload = PayloadWriter().cstring("admin").cstring("1234").take();
  EXPECT_EQ(SendPacket(channel, PortKind::kCommand, cmd::AUTH_DATA, payload), 0);
  ASSERT_EQ(channel.sends.size(), 2u);
  EXPECT_EQ(channel.sends[0].size(), kHeaderSize);
  EXPECT_EQ(channel.sends[0][7], payload.size());
  EXPECT_EQ(channel.sends[1], payload);

  channel.sends.clear();
  EXPECT_EQ(SendPacket(channel, PortKind::kCommand, cmd::KEEP_ALIVE), 0);
  EXPECT_EQ(channel.sends.size(), 1u);
}

TEST(SendPacket, FailedSendOrUnframeablePayloadFails) {
  RecordingChannel channel;
  channel.fail_after_ = 1;
  const std::vector<uint8_t> payload(3, 0);
  EXPECT_LT(SendPacket(channel, PortKind::kCommand, cmd::BYPASS, payload), 0);
  const std::vector<uint8_t> huge(kMaxFramedPayload + 1, 0);
  EXPECT_LT(SendPacket(channel, PortKind::kCommand, cmd::BYPASS, huge), 0);
}

}  // namespace
}  // namespace protocol
