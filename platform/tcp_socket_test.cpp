#include "platform/tcp_socket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

#include "platform/socket_events.h"
#include "platform/winsock_errors.h"

namespace platform {
namespace {

// A listening socket on 127.0.0.1 with a free port.
struct Listener {
  Listener() : fd(ListenOnLoopback(0, &port)) {}
  ~Listener() { close(fd); }
  sockaddr_in Address() const {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
  }
  int fd;
  uint16_t port;
};

TEST(TcpSocket, DottedAddressesOnly) {
  EXPECT_TRUE(ParseDottedIPv4("192.168.0.5"));
  EXPECT_FALSE(ParseDottedIPv4("dvr.example"));
  EXPECT_FALSE(ParseDottedIPv4(""));
}

TEST(SocketEvents, ConnectDataOrderlyCloseAndReset) {
  Listener listener;
  TcpSocket socket;
  CloseEvent close_event;
  ASSERT_TRUE(socket.Create());
  SocketEventWaiter waiter(socket, close_event);
  const int started = socket.StartConnect(listener.Address());
  ASSERT_TRUE(started == 0 || started == kWsaWouldBlock);
  waiter.ExpectConnect();
  SocketEvents events = waiter.Wait(2000);
  EXPECT_TRUE(events.connected);
  EXPECT_EQ(events.connect_error, 0);

  const int peer = accept(listener.fd, nullptr, nullptr);
  ASSERT_GE(peer, 0);
  ASSERT_EQ(write(peer, "abc", 3), 3);
  events = waiter.Wait(2000);
  EXPECT_TRUE(events.readable);
  uint8_t buffer[8];
  int error = 0;
  EXPECT_EQ(socket.Receive(buffer, sizeof buffer, &error), 3);

  close(peer);
  events = waiter.Wait(2000);
  EXPECT_TRUE(events.closed);
  EXPECT_EQ(events.close_error, 0);

  // A reset (linger 0) reports 10054.
  TcpSocket second;
  ASSERT_TRUE(second.Create());
  second.StartConnect(listener.Address());
  SocketEventWaiter second_waiter(second, close_event);
  second_waiter.ExpectConnect();
  second_waiter.Wait(2000);
  const int resetting = accept(listener.fd, nullptr, nullptr);
  linger hard{1, 0};
  setsockopt(resetting, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  close(resetting);
  events = second_waiter.Wait(2000);
  EXPECT_TRUE(events.closed);
  EXPECT_EQ(events.close_error, kWsaConnReset);
}

TEST(SocketEvents, RefusedConnectAndCloseEvent) {
  int port;
  {
    Listener gone;
    port = gone.port;
  }
  TcpSocket socket;
  CloseEvent close_event;
  ASSERT_TRUE(socket.Create());
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  SocketEventWaiter waiter(socket, close_event);
  const int started = socket.StartConnect(address);
  if (started == kWsaWouldBlock) {
    waiter.ExpectConnect();
    const SocketEvents events = waiter.Wait(2000);
    EXPECT_TRUE(events.connected);
    EXPECT_EQ(events.connect_error, kWsaConnRefused);
  } else {
    EXPECT_EQ(started, kWsaConnRefused);
  }
  close_event.Set();
  EXPECT_TRUE(waiter.Wait(2000).close_requested);
  EXPECT_FALSE(close_event.IsSet());  // auto-reset
}

TEST(TcpSocket, ASendToAPeerThatReadsNothingEndsByTimeOrByTheCancelEvent) {
  Listener listener;
  const int small = 4096;
  setsockopt(listener.fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  TcpSocket socket;
  CloseEvent close_event;
  ASSERT_TRUE(socket.Create());
  socket.SetBufferSizes(small);
  SocketEventWaiter waiter(socket, close_event);
  const int started = socket.StartConnect(listener.Address());
  ASSERT_TRUE(started == 0 || started == kWsaWouldBlock);
  waiter.ExpectConnect();
  ASSERT_TRUE(waiter.Wait(2000).connected);
  const int peer = accept(listener.fd, nullptr, nullptr);
  ASSERT_GE(peer, 0);

  // Far more than both buffers hold: the peer never reads.
  const std::vector<uint8_t> bytes(8 << 20, 0x55);
  EXPECT_EQ(socket.SendAll(bytes.data(), bytes.size(), 50, close_event.fd()), kWsaTimedOut);
  close_event.Set();
  EXPECT_EQ(socket.SendAll(bytes.data(), bytes.size(), 60000, close_event.fd()), kWsaInterrupted);
  EXPECT_TRUE(close_event.IsSet());  // left for the worker's own wait
  close(peer);
}

}  // namespace
}  // namespace platform
