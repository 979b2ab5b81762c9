#include "client/modem/comm_port.h"

#include <gtest/gtest.h>

#include <QObject>

#include "client/modem/testing/line_pair.h"
#include "platform/trace.h"
#include "protocol/command_codes.h"
#include "protocol/line_framing.h"

namespace modem {
namespace {

using testing::LinePair;
using testing::PumpUntil;

std::vector<uint8_t> Packet(uint8_t route, uint32_t code, size_t payload_size, uint8_t fill = 0x5A) {
  const auto header = protocol::BuildHeader(static_cast<protocol::PortKind>(route),
                                            static_cast<uint16_t>(std::min<size_t>(payload_size, 0xFFFF)), code);
  std::vector<uint8_t> packet(header.size() + payload_size, fill);
  std::copy(header.begin(), header.end(), packet.begin());
  return packet;
}

struct Sink : ICommPortSink {
  void OnLinkPacket(std::span<const uint8_t> packet) override {
    packets.emplace_back(packet.begin(), packet.end());
    if (on_packet) on_packet();
  }
  void OnLinkLost() override { ++lost; }
  std::vector<std::vector<uint8_t>> packets;
  std::function<void()> on_packet;
  int lost = 0;
};

class CommPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::Application();
    ASSERT_GE(line_.master(), 0);
    ASSERT_TRUE(port_.Start(line_.TakeSlave(), &sink_));
  }
  bool WaitForPackets(size_t count) {
    return PumpUntil([&] { return sink_.packets.size() >= count; });
  }

  platform::TraceCapture trace_;
  QObject owner_;
  LinePair line_;
  Sink sink_;
  CCommPort port_{owner_};
};

TEST_F(CommPortTest, EmptyPayloadIsDeliveredAtTwelveBytesAndKeepsItsRoute) {
  line_.Send(Packet(2, protocol::cmd::REQ_AUTHENTICATION, 0));
  ASSERT_TRUE(WaitForPackets(1));
  ASSERT_EQ(sink_.packets[0].size(), 12u);
  EXPECT_EQ(sink_.packets[0][5], 2);  // the route survives reassembly
}

TEST_F(CommPortTest, DamagedBytesCostOnlyUpToTheNextMagic) {
  // Garbage first; then a header whose extended length cannot fit the
  // buffer; then a truncated header cut by a lower-case magic: each is lost,
  // the packets behind them are not.
  std::vector<uint8_t> stream = {'x', 'y', 'T', 'O', 'L', 0, 1, 2, 3, 4, 5, 6, 7, 8};
  auto append = [&](const std::vector<uint8_t>& bytes) {
    for (const uint8_t byte : bytes) stream.push_back(byte);
  };
  append(Packet(1, protocol::cmd::LOGON_RESULT, 2));
  auto oversize = Packet(3, 0x1234, 0);
  oversize[6] = oversize[7] = 0xFF;
  append(oversize);
  append({0x00, 0x04, 0x00, 0x00});  // L = 262,144: beyond the 202,764-byte buffer
  append({'t', 'o', 'l'});
  auto lower = Packet(3, protocol::cmd::KEEP_ALIVE, 3);
  for (int i = 0; i < 5; ++i) lower[i] = static_cast<uint8_t>(std::tolower(lower[i]));
  append(lower);
  line_.Send(stream);
  ASSERT_TRUE(WaitForPackets(2));
  EXPECT_EQ(sink_.packets[0], Packet(1, protocol::cmd::LOGON_RESULT, 2));
  EXPECT_EQ(sink_.packets[1], lower);
  EXPECT_GE(trace_.Count("[COMM] Packet Loss Search Header!!"), 3u);
  EXPECT_TRUE(port_.running());
}

TEST_F(CommPortTest, ExtendedLengthCarriesLongPayloadsBothWays) {
  // 65,531 still fits the TCP side's 16 bits; 70,000 does not.
  const auto fits = Packet(2, 0x5201, protocol::kLineExtendedFrom, 0x11);
  const auto too_long = Packet(2, 0x5201, 70000, 0x22);
  const auto fits_line = protocol::ToLineFrame(fits);
  ASSERT_EQ(fits_line.size(), fits.size() + 4);
  EXPECT_EQ(fits_line[6], 0xFF);
  EXPECT_EQ(fits_line[7], 0xFF);
  line_.Send(fits_line);
  line_.Send(protocol::ToLineFrame(too_long));
  ASSERT_TRUE(WaitForPackets(2));
  protocol::Reassembler reader(protocol::kLineMaxPayload, protocol::Reassembler::Framing::kLine);
  auto reassemble = [&](const std::vector<uint8_t>& bytes) {
    reader.Reset();
    size_t pos = 0;
    while (pos < bytes.size()) {
      auto into = reader.Wanted();
      const size_t n = std::min(into.size(), bytes.size() - pos);
      std::copy_n(bytes.begin() + static_cast<long>(pos), n, into.begin());
      pos += n;
      if (reader.Received(n) == protocol::Reassembler::Step::kPacket) break;
    }
    return protocol::FromLineFrame(reader.Packet());
  };
  EXPECT_EQ(sink_.packets[0].size(), 16 + protocol::kLineExtendedFrom);
  EXPECT_EQ(reassemble(sink_.packets[0]), fits);
  EXPECT_EQ(sink_.packets[1].size(), 16 + 70000u);
  EXPECT_EQ(reassemble(sink_.packets[1]), std::nullopt);

  // The writer completes what the line takes in parts, in order.
  const std::vector<uint8_t> first(3, 1);
  port_.Write(first);
  port_.Write(fits_line);
  const auto written = line_.Receive(first.size() + fits_line.size());
  ASSERT_EQ(written.size(), first.size() + fits_line.size());
  EXPECT_TRUE(std::equal(fits_line.begin(), fits_line.end(), written.begin() + 3));
}

TEST_F(CommPortTest, StopFromTheDeliveryEndsOnceWithoutWaitingForItself) {
  sink_.on_packet = [&] { port_.Stop(); };
  line_.Send(Packet(1, protocol::cmd::KEEP_ALIVE, 0));
  ASSERT_TRUE(PumpUntil([&] { return sink_.lost == 1; }));
  EXPECT_FALSE(port_.running());
  EXPECT_FALSE(trace_.Contains("[COMM] Read thread not exiting. Terminating it."));
  EXPECT_FALSE(port_.Write(std::vector<uint8_t>(1, 0)));
  EXPECT_TRUE(trace_.Contains("[COMM] Write thread not created."));
  EXPECT_FALSE(port_.Stop());
  EXPECT_EQ(sink_.lost, 1);
}

TEST_F(CommPortTest, FarEndGoneEndsTheTransportWithItsTrace) {
  line_.CloseMaster();
  ASSERT_TRUE(PumpUntil([&] { return sink_.lost == 1; }));
  EXPECT_TRUE(trace_.Contains("[COMM] Likely that the Service Provider has closed the port."));
  EXPECT_TRUE(trace_.Contains("[COMM] Stopping the Comm."));
  EXPECT_FALSE(port_.running());
}

TEST(CommPortStart, RefusesWhatIsNotATty) {
  testing::Application();
  platform::TraceCapture trace;
  QObject owner;
  CCommPort port(owner);
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  EXPECT_FALSE(port.Start(pipe_fds[0], nullptr));
  EXPECT_TRUE(trace.Contains("[COMM] File handle is not a comm handle."));
  ::close(pipe_fds[0]);
  ::close(pipe_fds[1]);
}

TEST(LineErrors, AreNamedAsTraced) {
  EXPECT_EQ(DescribeLineErrors(0), "NULL Error");
  EXPECT_EQ(DescribeLineErrors(kLineErrorFrame), "CE_FRAME");
  EXPECT_EQ(DescribeLineErrors(kLineErrorFrame | kLineErrorOverrun | kLineErrorParity),
            "CE_FRAME and CE_OVERRUN and CE_RXPARITY");
  EXPECT_EQ(DescribeLineErrors(0x10), "EV_ERR Unknown EvtMask");
}

}  // namespace
}  // namespace modem
