#include "protocol/reassembler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "protocol/command_codes.h"

namespace protocol {
namespace {

std::vector<uint8_t> MakePacket(uint32_t code, std::vector<uint8_t> payload) {
  const HeaderBytes header = BuildHeader(PortKind::kCommand, static_cast<uint16_t>(payload.size()), code);
  payload.insert(payload.begin(), header.begin(), header.end());
  return payload;
}

// Feeds a stream into a reassembler, at most `chunk` bytes per receive call
// (and never more than it asks for), collecting the packets it completes.
struct Feeder {
  explicit Feeder(size_t max_payload) : reassembler(max_payload) {}

  Reassembler::Step Feed(const std::vector<uint8_t>& stream, size_t chunk) {
    size_t pos = 0;
    Reassembler::Step step = Reassembler::Step::kNeedMore;
    while (pos < stream.size()) {
      auto into = reassembler.Wanted();
      const size_t n = std::min({chunk, into.size(), stream.size() - pos});
      std::memcpy(into.data(), stream.data() + pos, n);
      pos += n;
      step = reassembler.Received(n);
      if (step == Reassembler::Step::kPacket) {
        const PacketView packet = reassembler.Packet();
        codes.push_back(packet.code());
        payloads.emplace_back(packet.payload().begin(), packet.payload().end());
        reassembler.Reset();
      } else if (step == Reassembler::Step::kOversize) {
        return step;
      } else if (step == Reassembler::Step::kResync) {
        ++resyncs;
      }
    }
    return step;
  }

  Reassembler reassembler;
  std::vector<uint32_t> codes;
  std::vector<std::vector<uint8_t>> payloads;
  int resyncs = 0;
};

TEST(Reassembler, OneBytePerReadableEventYieldsOnePacket) {
  Feeder feeder(kCommandMaxPayload);
  feeder.Feed(MakePacket(cmd::RESP_LIVESTREAM, {0x05, 0x00, 0x04}), 1);
  ASSERT_EQ(feeder.codes.size(), 1u);
  EXPECT_EQ(feeder.codes[0], cmd::RESP_LIVESTREAM);
  EXPECT_EQ(feeder.payloads[0], (std::vector<uint8_t>{0x05, 0x00, 0x04}));
}

TEST(Reassembler, BurstOfPacketsIsTakenOneByOneIncludingEmptyPayloads) {
  std::vector<uint8_t> burst;
  for (auto [code, payload] : {std::pair{cmd::REQ_AUTHENTICATION, std::vector<uint8_t>{}},
                               std::pair{cmd::LOGON_RESULT, std::vector<uint8_t>{0x00, 0x00}},
                               std::pair{cmd::KEEP_ALIVE, std::vector<uint8_t>{}},
                               std::pair{cmd::RESP_DVR_STATUS, std::vector<uint8_t>(500, 7)}}) {
    const auto packet = MakePacket(code, payload);
    burst.insert(burst.end(), packet.begin(), packet.end());
  }
  Feeder feeder(kCommandMaxPayload);
  feeder.Feed(burst, burst.size());
  EXPECT_EQ(feeder.codes,
            (std::vector<uint32_t>{cmd::REQ_AUTHENTICATION, cmd::LOGON_RESULT, cmd::KEEP_ALIVE, cmd::RESP_DVR_STATUS}));
  EXPECT_TRUE(feeder.payloads[0].empty());
  EXPECT_EQ(feeder.payloads[3].size(), 500u);
}

TEST(Reassembler, OversizeLengthIsRejectedBeforeAnyPayloadIsStored) {
  Feeder feeder(16);
  auto packet = MakePacket(cmd::RESP_DVR_STATUS, std::vector<uint8_t>(17, 0xAB));
  EXPECT_EQ(feeder.Feed(packet, 64), Reassembler::Step::kOversize);
  EXPECT_EQ(feeder.reassembler.rejected_length(), 17u);
  EXPECT_TRUE(feeder.codes.empty());
  // Exactly the buffer's capacity still fits.
  Feeder exact(16);
  exact.Feed(MakePacket(cmd::RESP_DVR_STATUS, std::vector<uint8_t>(16, 0xAB)), 64);
  EXPECT_EQ(exact.codes.size(), 1u);
}

TEST(Reassembler, GarbageBeforeAPacketIsSkippedByResynchronising) {
  std::vector<uint8_t> stream = {'x', 'T', 'O', 'L', 'x', 0, 0, 0, 0, 0, 0, 0, 'g', 'a'};
  const auto packet = MakePacket(cmd::SENSOR_ALARM, {0x00, 0x03});
  stream.insert(stream.end(), packet.begin(), packet.end());
  for (size_t chunk : {1u, 5u, 100u}) {
    Feeder feeder(kCommandMaxPayload);
    feeder.Feed(stream, chunk);
    ASSERT_EQ(feeder.codes.size(), 1u) << "chunk " << chunk;
    EXPECT_EQ(feeder.codes[0], cmd::SENSOR_ALARM);
    EXPECT_GE(feeder.resyncs, 1);
  }
}

}  // namespace
}  // namespace protocol
