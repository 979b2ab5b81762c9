#include "viewer_control/engine/stream_socket.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>

#include "platform/close_event.h"
#include "platform/result_codes.h"
#include "platform/tcp_socket.h"
#include "platform/trace.h"
#include "platform/winsock_errors.h"

namespace vistrel {
namespace {

// A blocking call interrupted by the owner, in Winsock's numbering.
constexpr int kWsaInterrupted = 10004;
// Sends are small requests; a DVR that takes none of them for this long is gone.
constexpr int kSendTimeoutMs = 5000;

}  // namespace

// One connection attempt and its receive thread's state, shared by the
// StreamSocket and the thread. `lock_` guards the socket's lifetime: the thread
// closes it, the owner may shut it down, never both at once.
class StreamConnection final : public IStreamTransport {
 public:
  StreamConnection(IStreamSocketClient& client, std::string address, uint16_t port)
      : client_(client), address_(std::move(address)), port_(port) {}

  bool CreateSocket() { return socket_.Create() && stop_event_.valid(); }

  bool IsConnected() const override {
    return connected_.load(std::memory_order_acquire) && !stop_.load(std::memory_order_acquire);
  }
  bool StopRequested() const override { return stop_.load(std::memory_order_acquire); }

  int32_t Send(std::span<const uint8_t> bytes) override {
    if (bytes.empty()) return S_OK;
    if (socket_.SendAll(bytes.data(), bytes.size(), kSendTimeoutMs) == 0) return S_OK;
    Trace("[STREAM SOCKET] data sending error !!!");
    LostIfConnected();
    return E_FAIL;
  }

  long Receive(std::span<uint8_t> into) override {
    if (into.empty()) return 0;
    // A stop wakes the wait; the receive loop then sees the cleared flag.
    if (StopRequested()) return 0;
    int error = 0;
    // Data is usually waiting already: try first, wait only when there is none.
    long count = socket_.Receive(into.data(), into.size(), &error);
    if (count == 0) {
      pollfd waits[2] = {{socket_.fd(), POLLIN, 0}, {stop_event_.fd(), POLLIN, 0}};
      while (poll(waits, 2, -1) < 0 && errno == EINTR) {
      }
      if (StopRequested() || (waits[1].revents & POLLIN) != 0) return 0;
      count = socket_.Receive(into.data(), into.size(), &error);
    }
    if (count >= 0) return count;
    Trace("[STREAM SOCKET] data receive error code = %d!!!", error);
    LostIfConnected();
    return -1;
  }

  // The receive thread.
  void Run() {
    int receive_bytes = StreamSocket::kReceiveBufferBytes;
    int send_bytes = StreamSocket::kSendBufferBytes;
    setsockopt(socket_.fd(), SOL_SOCKET, SO_RCVBUF, &receive_bytes, sizeof receive_bytes);
    setsockopt(socket_.fd(), SOL_SOCKET, SO_SNDBUF, &send_bytes, sizeof send_bytes);

    const int error = Connect();
    if (error != 0) {
      Trace("[STREAM SOCKET] Failed to connect stream socket at StreamRecvThreadProc() : error code(0x%08X)",
            static_cast<unsigned>(error));
      Cleanup();
      Trace("[STREAM SOCKET] Stream port thread exit !!!");
      MarkExited();
      return;
    }
    Trace("[STREAM SOCKET] connect function call !!!");
    bool up = false;
    {
      std::lock_guard lock(lock_);
      if (!stop_.load()) {
        connected_.store(true, std::memory_order_release);
        up = true;
      }
    }
    if (up) client_.SocketConnected(*this);
    for (;;) {
      if (!IsConnected()) {
        Trace("[STREAM SOCKET] disconnect signal enable !!!");
        break;
      }
      if (!client_.ReceiveStep(*this)) {
        Trace("[STREAM SOCKET] receive error !!!");
        break;
      }
    }
    Cleanup();
    Trace("[STREAM SOCKET] Stream port thread end !!!");
    MarkExited();
  }

  // Owner thread.
  void RequestStop() {
    {
      std::lock_guard lock(lock_);
      stop_.store(true, std::memory_order_release);
      connected_.store(false, std::memory_order_release);
      socket_.Shutdown();
    }
    stop_event_.Set();
  }

  bool WaitExited(std::chrono::milliseconds timeout) {
    std::unique_lock lock(exit_lock_);
    return exit_cv_.wait_for(lock, timeout, [this] { return exited_; });
  }
  void WaitExited() {
    std::unique_lock lock(exit_lock_);
    exit_cv_.wait(lock, [this] { return exited_; });
  }
  bool exited() const {
    std::lock_guard lock(exit_lock_);
    return exited_;
  }

 private:
  int Connect() {
    const auto address = platform::ParseDottedIPv4(address_);
    if (!address) return platform::kWsaAddrNotAvail;
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port_);
    target.sin_addr = *address;
    int error = socket_.StartConnect(target);
    if (error != platform::kWsaWouldBlock) return error;
    pollfd waits[2] = {{socket_.fd(), POLLOUT, 0}, {stop_event_.fd(), POLLIN, 0}};
    while (poll(waits, 2, -1) < 0 && errno == EINTR) {
    }
    if (StopRequested() || (waits[1].revents & POLLIN) != 0) return kWsaInterrupted;
    error = socket_.PendingError();
    return error;
  }

  // Only the first failure of a live connection reports the loss; the thread
  // then leaves its loop, so the host hears one Close per connection.
  void LostIfConnected() {
    if (!socket_.valid()) return;
    if (connected_.exchange(false, std::memory_order_acq_rel) && !stop_.load()) {
      client_.ConnectionLost(*this);
    }
  }

  void Cleanup() {
    std::lock_guard lock(lock_);
    socket_.Close();
    connected_.store(false, std::memory_order_release);
  }

  void MarkExited() {
    std::lock_guard lock(exit_lock_);
    exited_ = true;
    exit_cv_.notify_all();
  }

  IStreamSocketClient& client_;
  const std::string address_;
  const uint16_t port_;
  std::mutex lock_;
  platform::TcpSocket socket_;
  platform::CloseEvent stop_event_;
  std::atomic<bool> connected_{false};
  std::atomic<bool> stop_{false};
  mutable std::mutex exit_lock_;
  std::condition_variable exit_cv_;
  bool exited_ = false;  // guarded by exit_lock_
};

StreamSocket::StreamSocket(IStreamSocketClient& client) : client_(client) {}

StreamSocket::~StreamSocket() {
  if (running()) Stop();
  Reap();
  // A detached thread still calls the session; it must be gone before it is.
  for (auto& connection : lingering_) connection->WaitExited();
}

bool StreamSocket::running() const { return connection_ && !connection_->exited(); }

bool StreamSocket::connected() const { return connection_ && connection_->IsConnected(); }

void StreamSocket::Reap() {
  if (connection_ && connection_->exited()) {
    if (thread_.joinable()) thread_.join();
    connection_.reset();
  }
}

bool StreamSocket::WaitForLingering() {
  std::erase_if(lingering_, [](const auto& connection) {
    return connection->WaitExited(std::chrono::milliseconds(kStopTimeoutMs));
  });
  return lingering_.empty();
}

int32_t StreamSocket::Start(const std::string& address, uint16_t port) {
  if (address.empty() || port == 0) return S_OK;
  Reap();
  if (connection_ || !WaitForLingering()) {
    Trace("[STREAM SOCKET] Can't create stream receive thread !!!");
    return E_FAIL;
  }
  auto connection = std::make_shared<StreamConnection>(client_, address.substr(0, kAddressLimit), port);
  if (!connection->CreateSocket()) {
    Trace("[STREAM SOCKET] Can't create stream socket !!!");
    return E_FAIL;
  }
  try {
    thread_ = std::thread([connection] { connection->Run(); });
  } catch (const std::system_error&) {
    Trace("[STREAM SOCKET] Can't create stream receive thread !!!");
    return E_FAIL;
  }
  connection_ = std::move(connection);
  return S_OK;
}

int32_t StreamSocket::Stop() {
  Reap();
  if (!connection_) return E_FAIL;
  connection_->RequestStop();
  if (connection_->WaitExited(std::chrono::milliseconds(kStopTimeoutMs))) {
    thread_.join();
  } else {
    Trace("[STREAM SOCKET] Stream receive thread proc not exiting. Terminating it.");
    thread_.detach();
    lingering_.push_back(connection_);
  }
  connection_.reset();
  return S_OK;
}

}  // namespace vistrel
