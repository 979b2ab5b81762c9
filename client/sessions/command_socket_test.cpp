#include "client/sessions/command_socket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/tcp_socket.h"
#include "platform/trace.h"

namespace sessions {
namespace {

using namespace std::chrono_literals;

int AlwaysAnswers(const std::string&, int, int, int) { return 1; }

// A listening socket on 127.0.0.1 with a free port.
class Listener {
 public:
  Listener() { fd_ = platform::ListenOnLoopback(0, &port_); }
  ~Listener() {
    if (fd_ >= 0) close(fd_);
  }
  uint16_t port() const { return port_; }
  int Accept() { return accept(fd_, nullptr, nullptr); }
  // Whether a connection is waiting, without taking it.
  bool HasPending() {
    timeval none{0, 0};
    fd_set set;
    FD_ZERO(&set);
    FD_SET(fd_, &set);
    return select(fd_ + 1, &set, nullptr, nullptr, &none) == 1;
  }
  void Close() {
    close(fd_);
    fd_ = -1;
  }
  // Connections it accepts from now on take in little before they are read.
  void ShrinkReceiveBuffers() {
    const int bytes = 4096;
    setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
  }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

// Records the three calls; reads what arrives on each OnReceive.
class RecordingOwner : public ICommandSocketOwner {
 public:
  explicit RecordingOwner(CCommandSocket& socket) : socket_(socket) {}

  void OnConnect(int error) override { Record("connect", error); }
  void OnReceive() override {
    uint8_t buffer[64];
    size_t count = 0;
    if (socket_.ReceiveData(buffer, sizeof buffer, &count) == 0) {
      std::lock_guard guard(lock_);
      data_.append(reinterpret_cast<char*>(buffer), count);
    }
    signal_.notify_all();
  }
  void OnClose(int error) override { Record("close", error); }

  // Waits for a call and returns its error code, or -1 after the time-out.
  int WaitFor(const std::string& what, std::chrono::milliseconds timeout = 3s) {
    std::unique_lock guard(lock_);
    int code = -1;
    signal_.wait_for(guard, timeout, [&] {
      for (auto& [name, error] : calls_) {
        if (name == what) {
          code = error;
          return true;
        }
      }
      return false;
    });
    return code;
  }
  bool WaitForData(const std::string& expected) {
    std::unique_lock guard(lock_);
    return signal_.wait_for(guard, 3s, [&] { return data_ == expected; });
  }
  size_t CallCount() {
    std::lock_guard guard(lock_);
    return calls_.size();
  }

 private:
  void Record(const char* name, int error) {
    std::lock_guard guard(lock_);
    calls_.emplace_back(name, error);
    signal_.notify_all();
  }

  CCommandSocket& socket_;
  std::mutex lock_;
  std::condition_variable signal_;
  std::vector<std::pair<std::string, int>> calls_;
  std::string data_;
};

TEST(CommandSocket, ConnectReceiveSendAndOrderlyClose) {
  platform::TraceCapture capture;
  Listener listener;
  CCommandSocket socket(CommandSocketVariant::kLive, AlwaysAnswers);
  RecordingOwner owner(socket);
  socket.SetOwner(&owner);
  ASSERT_EQ(socket.Open("127.0.0.1", listener.port()), 0);
  const int peer = listener.Accept();
  ASSERT_GE(peer, 0);
  EXPECT_EQ(owner.WaitFor("connect"), 0);

  ASSERT_EQ(write(peer, "TOLVA", 5), 5);
  EXPECT_TRUE(owner.WaitForData("TOLVA"));
  const uint8_t request[] = {1, 2, 3};
  size_t sent = 0;
  EXPECT_EQ(socket.SendData(request, sizeof request, &sent), 0);
  EXPECT_EQ(sent, 3u);
  uint8_t echoed[3];
  EXPECT_EQ(read(peer, echoed, sizeof echoed), 3);

  close(peer);
  EXPECT_EQ(owner.WaitFor("close"), 0);
  EXPECT_TRUE(capture.WaitFor("[COMMAND SOCKET] command port thread exit !!!", 3s));
  EXPECT_TRUE(capture.Contains("[COMMAND SOCKET] connect function call !!!"));
  EXPECT_TRUE(capture.Contains("[COMMAND SOCKET] command socket close event !!!"));
  EXPECT_EQ(socket.CloseSocket(), 0);
  EXPECT_LT(socket.SendData(request, sizeof request, &sent), 0);
}

TEST(CommandSocket, ResetByPeerReports10054) {
  Listener listener;
  CCommandSocket socket(CommandSocketVariant::kSearch, AlwaysAnswers);
  RecordingOwner owner(socket);
  socket.SetOwner(&owner);
  ASSERT_EQ(socket.Open("127.0.0.1", listener.port()), 0);
  const int peer = listener.Accept();
  ASSERT_EQ(owner.WaitFor("connect"), 0);
  linger hard{1, 0};
  setsockopt(peer, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  close(peer);
  EXPECT_EQ(owner.WaitFor("close"), 10054);
}

TEST(CommandSocket, RefusedConnectReports10061) {
  Listener listener;
  const uint16_t port = listener.port();
  listener.Close();
  CCommandSocket socket(CommandSocketVariant::kLive, AlwaysAnswers);
  RecordingOwner owner(socket);
  socket.SetOwner(&owner);
  ASSERT_EQ(socket.Open("127.0.0.1", port), 0);
  EXPECT_EQ(owner.WaitFor("connect"), 10061);
}

TEST(CommandSocket, UnansweredPingReportsTimeOutWithoutConnecting) {
  platform::TraceCapture capture;
  Listener listener;
  CCommandSocket socket(CommandSocketVariant::kSearch, [](const std::string&, int, int, int) { return 0; });
  RecordingOwner owner(socket);
  socket.SetOwner(&owner);
  ASSERT_EQ(socket.Open("127.0.0.1", listener.port()), 0);
  EXPECT_EQ(owner.WaitFor("connect"), 10060);
  EXPECT_TRUE(capture.WaitFor("[SEARCH COMMANDSOCKET] command port thread exit !!!", 3s));
  EXPECT_TRUE(capture.Contains("[COMMAND SOCKET] ping_trace function error !!!"));
  EXPECT_FALSE(listener.HasPending());
}

TEST(CommandSocket, HostNameIsNoAddressAndFailsThePing) {
  platform::TraceCapture capture;
  CCommandSocket socket(CommandSocketVariant::kLive);  // the real ping
  RecordingOwner owner(socket);
  socket.SetOwner(&owner);
  ASSERT_EQ(socket.Open("dvr.example", 2000), 0);
  EXPECT_EQ(owner.WaitFor("connect"), 10060);
  EXPECT_TRUE(capture.Contains("[COMMAND SOCKET] ping_trace function error !!!"));
  EXPECT_FALSE(capture.Contains("[COMMAND SOCKET] connect function call !!!"));
}

TEST(CommandSocket, CloseDuringPingEndsPromptly) {
  // A stand-in ping that only a stop request ends.
  CCommandSocket waiting(CommandSocketVariant::kLive, [](const std::string&, int, int, int cancel_fd) {
    pollfd entry{cancel_fd, POLLIN, 0};
    poll(&entry, 1, 20000);
    return 0;
  });
  RecordingOwner owner(waiting);
  waiting.SetOwner(&owner);
  ASSERT_EQ(waiting.Open("127.0.0.1", 1), 0);
  std::this_thread::sleep_for(50ms);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(waiting.CloseSocket(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_FALSE(waiting.HasWorker());
  EXPECT_EQ(owner.CallCount(), 0u);  // a stopped attempt reports nothing
}

TEST(CommandSocket, StuckWorkerIsAbandonedAfterFiveSeconds) {
  platform::TraceCapture capture;
  auto stubborn = [](const std::string&, int, int, int) {
    std::this_thread::sleep_for(6s);
    return 1;
  };
  auto socket = std::make_unique<CCommandSocket>(CommandSocketVariant::kLive, stubborn);
  RecordingOwner owner(*socket);
  socket->SetOwner(&owner);
  ASSERT_EQ(socket->Open("127.0.0.1", 1), 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(socket->CloseSocket(), 0);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, 4900ms);
  EXPECT_LT(waited, 5500ms);
  EXPECT_TRUE(capture.Contains("[COMMAND SOCKET] command receive thread proc not exiting. Terminating it."));
  socket.reset();  // the abandoned worker must not touch the freed object
  EXPECT_TRUE(capture.WaitFor("[COMMAND SOCKET] command port thread exit !!!", 3s));
  EXPECT_EQ(owner.CallCount(), 0u);
}

TEST(CommandSocket, ASendOffTheWorkerToAPeerThatStoppedReadingLosesTheConnection) {
  platform::TraceCapture capture;
  Listener listener;
  listener.ShrinkReceiveBuffers();
  CCommandSocket socket(CommandSocketVariant::kLive, AlwaysAnswers);
  RecordingOwner owner(socket);
  socket.SetOwner(&owner);
  ASSERT_EQ(socket.Open("127.0.0.1", listener.port()), 0);
  const int peer = listener.Accept();
  ASSERT_GE(peer, 0);
  ASSERT_EQ(owner.WaitFor("connect"), 0);

  // Far more than the buffers on both sides hold.
  const std::vector<uint8_t> bytes(8 << 20, 0x55);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_LT(socket.SendData(bytes.data(), bytes.size(), nullptr), 0);
  // The caller was held for about a second, not for the worker's five.
  EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);
  EXPECT_TRUE(capture.Contains("[COMMAND SOCKET] data sending timed out; connection lost."));
  // Reported as a reset, so that the session's close procedure runs.
  EXPECT_EQ(owner.WaitFor("close"), 10054);
  EXPECT_TRUE(capture.WaitFor("[COMMAND SOCKET] command port thread exit !!!", 3s));
  const uint8_t small[] = {1, 2, 3};
  EXPECT_LT(socket.SendData(small, sizeof small, nullptr), 0);
  EXPECT_EQ(socket.CloseSocket(), 0);
  close(peer);
}

TEST(CommandSocket, CloseWithoutOpenAndArgumentChecks) {
  CCommandSocket socket(CommandSocketVariant::kLive, AlwaysAnswers);
  EXPECT_EQ(socket.CloseSocket(), 0);
  uint8_t byte = 0;
  size_t count = 7;
  EXPECT_LT(socket.SendData(nullptr, 1, &count), 0);
  EXPECT_LT(socket.SendData(&byte, 0, &count), 0);
  EXPECT_LT(socket.ReceiveData(nullptr, 1, &count), 0);
  EXPECT_EQ(count, 0u);
}

}  // namespace
}  // namespace sessions
