#include "viewer_control/engine/stream_socket.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>

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

  IStreamSocketClient& client_;
  const std::string address_;
  const uint16_t port_;
  std::mutex lock_;
  platform::TcpSocket socket_;
  platform::CloseEvent stop_event_;
  std::atomic<bool> connected_{false};
  std::atomic<bool> stop_{false};
};

StreamSocket::StreamSocket(IStreamSocketClient& client) : client_(client) {}

StreamSocket::~StreamSocket() {
  if (running()) Stop();
  Reap();
  // A thread given up still calls the session; it must be gone before it is.
  for (const auto& lingering : lingering_) lingering.WaitFinished();
}

bool StreamSocket::running() const { return connection_ && !thread_.finished(); }

bool StreamSocket::connected() const { return connection_ && connection_->IsConnected(); }

void StreamSocket::Reap() {
  if (connection_ && thread_.finished()) {
    thread_.JoinWithin(std::chrono::milliseconds(0));
    connection_.reset();
  }
}

bool StreamSocket::WaitForLingering() {
  std::erase_if(lingering_, [](const platform::BoundedWorker& lingering) {
    return lingering.WaitFinished(std::chrono::milliseconds(kStopTimeoutMs));
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
  if (!thread_.Start([connection] { connection->Run(); })) {
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
  if (!thread_.JoinWithin(std::chrono::milliseconds(kStopTimeoutMs))) {
    Trace("[STREAM SOCKET] Stream receive thread proc not exiting. Terminating it.");
    lingering_.push_back(std::move(thread_));
  }
  connection_.reset();
  return S_OK;
}

}  // namespace vistrel
