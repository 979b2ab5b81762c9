#include "client/modem/loopback_server_dlg.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "client/modem/testing/line_pair.h"
#include "platform/trace.h"
#include "protocol/packet_header.h"

namespace modem {
namespace {

using testing::LinePair;
using testing::PumpUntil;

// A dialer whose call connects at once on a pseudo-terminal.
class FakeDialer : public IModemDialer {
 public:
  explicit FakeDialer(QObject& owner) : port_(owner) {}
  void Attach(ICommPortSink* sink) { sink_ = sink; }
  bool MakeCall(const std::string& modem, const std::string& number) override {
    ++calls;
    last_modem = modem;
    last_number = number;
    line = std::make_unique<LinePair>();
    return port_.Start(line->TakeSlave(), sink_);
  }
  void StopCall() override {
    if (stopping_) return;
    stopping_ = true;
    if (port_.running()) ++hang_ups;
    port_.Stop();
    stopping_ = false;
  }
  CCommPort& transport() override { return port_; }

  int calls = 0;
  int hang_ups = 0;
  std::string last_modem;
  std::string last_number;
  std::unique_ptr<LinePair> line;

 private:
  CCommPort port_;
  ICommPortSink* sink_ = nullptr;
  bool stopping_ = false;
};

struct Host : IBridgeHost {
  void AddNotice(const std::string& text, uint32_t colour) override {
    notices.push_back(text);
    last_colour = colour;
  }
  void DisconnectLiveViewer() override { ++disconnects; }
  std::vector<std::string> notices;
  uint32_t last_colour = 0;
  int disconnects = 0;
};

uint16_t TestBasePort() { return static_cast<uint16_t>(21000 + (::getpid() % 1500) * 3); }

int ConnectLocal(uint16_t port, uint32_t host = INADDR_LOOPBACK) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(host);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  ::fcntl(fd, F_SETFL, O_NONBLOCK);
  return fd;
}

// What arrives on a local connection within `bound` while the bridge runs.
std::vector<uint8_t> ReadLocal(int fd, size_t count, std::chrono::milliseconds bound = std::chrono::seconds(30)) {
  std::vector<uint8_t> bytes;
  PumpUntil(
      [&] {
        uint8_t chunk[4096];
        const ssize_t n = ::recv(fd, chunk, std::min(sizeof chunk, count - bytes.size()), 0);
        if (n > 0) bytes.insert(bytes.end(), chunk, chunk + n);
        return bytes.size() >= count;
      },
      bound);
  return bytes;
}

std::vector<uint8_t> Packet(uint8_t route, uint32_t code, std::vector<uint8_t> payload = {}) {
  const auto header =
      protocol::BuildHeader(static_cast<protocol::PortKind>(route), static_cast<uint16_t>(payload.size()), code);
  std::vector<uint8_t> packet(header.size() + payload.size());
  std::copy(header.begin(), header.end(), packet.begin());
  std::copy(payload.begin(), payload.end(), packet.begin() + static_cast<long>(header.size()));
  return packet;
}

void SendLocal(int fd, const std::vector<uint8_t>& bytes) {
  ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
}

class BridgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::Application();
    dialer_.Attach(&bridge_);
    ASSERT_TRUE(bridge_.Start());
    ASSERT_TRUE(bridge_.SetPhoneNumber("--1234-5678"));
  }
  void TearDown() override {
    for (int fd : {command_, stream_, file_}) {
      if (fd >= 0) ::close(fd);
    }
  }
  // Connects the command client, which dials.
  void Dial() {
    command_ = ConnectLocal(base_);
    ASSERT_GE(command_, 0);
    ASSERT_TRUE(PumpUntil([&] { return dialer_.calls == 1 && dialer_.transport().running(); }));
  }
  void ConnectStream() {
    stream_ = ConnectLocal(static_cast<uint16_t>(base_ + 1));
    ASSERT_GE(stream_, 0);
    ASSERT_EQ(ReadLocal(stream_, 12), Packet(1, 0x5101));
  }

  platform::TraceCapture trace_;
  QObject owner_;
  Host host_;
  FakeDialer dialer_{owner_};
  const uint16_t base_ = TestBasePort();
  CLoopbackServerDlg bridge_{dialer_, &host_, base_};
  int command_ = -1;
  int stream_ = -1;
  int file_ = -1;
};

TEST_F(BridgeTest, LinePacketsGoWhereByteFiveSaysAndNowhereElse) {
  Dial();
  EXPECT_EQ(dialer_.last_number, "--1234-5678");  // sent as typed
  ConnectStream();
  file_ = ConnectLocal(static_cast<uint16_t>(base_ + 2));
  ASSERT_TRUE(PumpUntil([&] { return bridge_.client_connected(CLoopbackServerDlg::Port::kFile); }));

  dialer_.line->Send(Packet(4, 0x1111, {9, 9}));  // routes nowhere
  dialer_.line->Send(Packet(3, 0x6001, {1, 2, 3}));
  dialer_.line->Send(Packet(2, 0x5201, {4}));
  dialer_.line->Send(Packet(1, 0x1001));
  EXPECT_EQ(ReadLocal(file_, 15), Packet(3, 0x6001, {1, 2, 3}));
  EXPECT_EQ(ReadLocal(stream_, 13), Packet(2, 0x5201, {4}));
  EXPECT_EQ(ReadLocal(command_, 12), Packet(1, 0x1001));
  // Nothing of the dropped packet reached any client.
  for (int fd : {command_, stream_, file_}) EXPECT_TRUE(ReadLocal(fd, 1, std::chrono::milliseconds(50)).empty());

  // The local side's packets cross unchanged, each in one piece.
  SendLocal(command_, Packet(1, 0x0301, {7, 7}));
  SendLocal(file_, Packet(3, 0x0401));
  EXPECT_EQ(dialer_.line->Receive(14), Packet(1, 0x0301, {7, 7}));
  EXPECT_EQ(dialer_.line->Receive(12), Packet(3, 0x0401));
}

TEST_F(BridgeTest, OnlyThisMachineReachesTheServers) {
  // Any other address, even another loopback one, finds nothing listening.
  EXPECT_EQ(ConnectLocal(base_, INADDR_LOOPBACK + 1), -1);
  const int fd = ConnectLocal(base_);
  EXPECT_GE(fd, 0);
  if (fd >= 0) ::close(fd);
}

TEST_F(BridgeTest, StreamLogonIsAnsweredHereEvenSplitAndJoined) {
  ConnectStream();  // no call yet: the answer does not need one
  auto logon = Packet(2, 0x0101, std::vector<uint8_t>(40, 'a'));
  SendLocal(stream_, {logon.begin(), logon.begin() + 7});
  PumpUntil([] { return false; }, std::chrono::milliseconds(30));
  SendLocal(stream_, {logon.begin() + 7, logon.end()});
  EXPECT_EQ(ReadLocal(stream_, 13), (std::vector<uint8_t>{'T', 'O', 'L', 'V', 'A', 1, 0, 1, 0, 0, 0x51, 0x02, 0}));
  EXPECT_EQ(dialer_.calls, 0);

  Dial();
  auto joined = Packet(2, 0x0101, {1});
  const auto ready = Packet(2, 0x0201, {0, 1});
  joined.insert(joined.end(), ready.begin(), ready.end());
  SendLocal(stream_, joined);
  EXPECT_EQ(ReadLocal(stream_, 13).size(), 13u);
  // Only the receive-ready request reaches the line.
  EXPECT_EQ(dialer_.line->Receive(ready.size()), ready);
  EXPECT_TRUE(trace_.Contains("!!!!!!!!!!!!!!!!!!!!!!!!! RCVREADY Command Write !!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!"));
}

TEST_F(BridgeTest, OnlyTheCommandConnectionTakesTheCallWithIt) {
  Dial();
  ConnectStream();
  file_ = ConnectLocal(static_cast<uint16_t>(base_ + 2));
  ASSERT_TRUE(PumpUntil([&] { return bridge_.client_connected(CLoopbackServerDlg::Port::kFile); }));
  ::close(stream_);
  stream_ = -1;
  ::close(file_);
  file_ = -1;
  ASSERT_TRUE(PumpUntil([&] {
    return !bridge_.client_connected(CLoopbackServerDlg::Port::kFile) &&
           !bridge_.client_connected(CLoopbackServerDlg::Port::kStream);
  }));
  EXPECT_TRUE(bridge_.call_active());
  EXPECT_EQ(dialer_.hang_ups, 0);

  // A second command connection replaces the first without dialing again.
  const int second = ConnectLocal(base_);
  ASSERT_TRUE(PumpUntil([&] { return ::close(command_) == 0; }));
  command_ = second;
  PumpUntil([] { return false; }, std::chrono::milliseconds(50));
  EXPECT_EQ(dialer_.calls, 1);
  EXPECT_TRUE(bridge_.call_active());

  ::close(command_);
  command_ = -1;
  ASSERT_TRUE(PumpUntil([&] { return !bridge_.call_active(); }));
  EXPECT_EQ(dialer_.hang_ups, 1);
  EXPECT_TRUE(bridge_.listening(CLoopbackServerDlg::Port::kCommand));
}

TEST_F(BridgeTest, LostLinkClosesTheClientsAndTellsTheOperator) {
  Dial();
  ConnectStream();
  dialer_.line->CloseMaster();  // the far modem hung up
  ASSERT_TRUE(PumpUntil([&] { return host_.disconnects == 1; }));
  EXPECT_EQ(host_.notices, std::vector<std::string>{kBusyNotice});
  EXPECT_EQ(host_.last_colour, 0x00FFFFu);
  EXPECT_FALSE(bridge_.call_active());
  EXPECT_FALSE(bridge_.client_connected(CLoopbackServerDlg::Port::kCommand));
  EXPECT_FALSE(bridge_.client_connected(CLoopbackServerDlg::Port::kStream));
  // The next connection dials again.
  ::close(command_);
  command_ = ConnectLocal(base_);
  ASSERT_TRUE(PumpUntil([&] { return dialer_.calls == 2; }));
}

TEST(BridgeStart, PortTakenLeavesNoServerListening) {
  testing::Application();
  platform::TraceCapture trace;
  QObject owner;
  FakeDialer dialer(owner);
  const uint16_t base = static_cast<uint16_t>(TestBasePort() + 4500 % 3000);
  // Another program holds the stream port.
  const int holder = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(base + 1));
  ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(holder, 1), 0);
  CLoopbackServerDlg bridge(dialer, nullptr, base);
  EXPECT_FALSE(bridge.Start());
  EXPECT_TRUE(trace.Contains("[LOOPBACK] Stream server bind failed with error 10048"));
  EXPECT_TRUE(trace.Contains("[LOOPBACK] Can't create loopback server !!!"));
  for (auto port :
       {CLoopbackServerDlg::Port::kCommand, CLoopbackServerDlg::Port::kStream, CLoopbackServerDlg::Port::kFile}) {
    EXPECT_FALSE(bridge.listening(port));
  }
  EXPECT_EQ(ConnectLocal(base), -1);
  ::close(holder);

  EXPECT_FALSE(bridge.SetPhoneNumber(std::string(64, '1')));
  EXPECT_TRUE(bridge.SetPhoneNumber(std::string(63, '1')));
}

}  // namespace
}  // namespace modem
