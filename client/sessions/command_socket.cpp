#include "client/sessions/command_socket.h"

#include <arpa/inet.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <shared_mutex>

#include "client/sessions/ping.h"
#include "platform/close_event.h"
#include "platform/result_codes.h"
#include "platform/socket_events.h"
#include "platform/tcp_socket.h"
#include "platform/trace.h"
#include "platform/winsock_errors.h"

namespace sessions {
namespace {

const char* PrefixOf(CommandSocketVariant variant) {
  switch (variant) {
    case CommandSocketVariant::kLive:
      return "[COMMAND SOCKET]";
    case CommandSocketVariant::kSearch:
      return "[SEARCH COMMANDSOCKET]";
    case CommandSocketVariant::kDownload:
      return "[DOWNLOAD SOCKET]";
  }
  return "[COMMAND SOCKET]";
}

}  // namespace

struct CCommandSocket::Shared {
  CommandSocketVariant variant;
  Pinger pinger;
  std::string address;
  uint16_t port = 0;

  platform::TcpSocket socket;
  // Senders hold it shared; the worker takes it exclusively to close the
  // socket, so a descriptor is never reused under a sender's feet.
  std::shared_mutex socket_lock;
  platform::CloseEvent close_event;
  std::atomic<int> running{0};
  std::atomic<bool> stop_requested{false};
  // A send of another thread timed out: the DVR reads nothing any more.
  std::atomic<bool> lost{false};
  std::atomic<ICommandSocketOwner*> owner{nullptr};
  // Bytes of the worker's last receive (worker thread only): a download
  // keeps receiving while they come, without a wait between.
  size_t last_received = 0;

  const char* prefix() const { return PrefixOf(variant); }
  void CloseSocket() {
    std::unique_lock guard(socket_lock);
    socket.Close();
  }
  void RequestStop() {
    running = 0;
    stop_requested = true;
    close_event.Set();
  }
};

namespace {

// The shared block of the worker running on this thread, if any.
thread_local const void* t_worker_of = nullptr;

// The search session handles its events at the highest priority the process
// may take; without the privilege it stays where it is.
void SetEventPriority(bool raised) {
  const pid_t thread = static_cast<pid_t>(syscall(SYS_gettid));
  setpriority(PRIO_PROCESS, static_cast<id_t>(thread), raised ? -20 : 0);
}

}  // namespace

bool CCommandSocket::CurrentWorkerStopRequested() {
  return t_worker_of != nullptr && static_cast<const Shared*>(t_worker_of)->stop_requested.load();
}

CCommandSocket::CCommandSocket(CommandSocketVariant variant, Pinger pinger)
    : variant_(variant), pinger_(pinger ? std::move(pinger) : Pinger(ping_trace)) {}

CCommandSocket::~CCommandSocket() { CloseSocket(); }

const char* CCommandSocket::prefix() const { return PrefixOf(variant_); }

std::shared_ptr<CCommandSocket::Shared> CCommandSocket::CurrentShared() const {
  std::lock_guard guard(shared_lock_);
  return shared_;
}

int CCommandSocket::Open(const std::string& address, uint16_t port) {
  CloseSocket();
  std::lock_guard control(control_lock_);
  auto shared = std::make_shared<Shared>();
  shared->variant = variant_;
  shared->pinger = pinger_;
  const bool download = variant_ == CommandSocketVariant::kDownload;
  if (!shared->socket.Create()) {
    Trace(download ? "[DOWNLOAD SOCKET] Can't create download socket !!!" : "%s Can't create command socket !!!",
          prefix());
    return E_FAIL;
  }
  if (!address.empty()) shared->address = address.substr(0, kAddressLimit);
  if (!shared->close_event.valid()) {
    Trace(download ? "[DOWNLOAD SOCKET] Can't create download socket !!!" : "%s Can't create close event !!!",
          prefix());
    return E_FAIL;
  }
  shared->port = port;
  shared->owner = owner_;
  {
    std::lock_guard guard(shared_lock_);
    shared_ = shared;
  }
  if (!worker_.Start([shared] { Worker(shared); })) {
    Trace(download ? "[DOWNLOAD SOCKET] Can't create file download thread !!!"
                   : "%s Can't create command receive thread !!!",
          prefix());
    std::lock_guard guard(shared_lock_);
    shared_.reset();
    return E_FAIL;
  }
  return 0;
}

void CCommandSocket::RequestStop() {
  if (std::shared_ptr<Shared> current = CurrentShared()) current->RequestStop();
}

int CCommandSocket::CloseSocket() {
  return CloseSocket(std::chrono::steady_clock::now() + std::chrono::milliseconds(stop_timeout_ms()));
}

int CCommandSocket::CloseSocket(std::chrono::steady_clock::time_point deadline) {
  // Called from the owner's handler on the worker itself: it cannot wait for
  // itself; the worker leaves its loop when the handler returns.
  if (std::shared_ptr<Shared> current = CurrentShared(); current && t_worker_of == current.get()) {
    current->RequestStop();
    return 0;
  }
  std::lock_guard control(control_lock_);
  if (!worker_.joinable()) return 0;
  std::shared_ptr<Shared> shared = CurrentShared();
  shared->RequestStop();

  if (!worker_.JoinUntil(deadline)) {
    if (variant_ == CommandSocketVariant::kDownload) {
      Trace("[DOWNLOAD SOCKET] File download thread proc not exiting. Terminating it.");
    } else {
      Trace("%s command receive thread proc not exiting. Terminating it.", prefix());
    }
    shared->owner = nullptr;
    shared->socket.Shutdown();
  }
  std::lock_guard guard(shared_lock_);
  shared_.reset();
  return 0;
}

int CCommandSocket::SendData(const uint8_t* buffer, size_t length, size_t* sent) {
  if (sent != nullptr) *sent = 0;
  if (buffer == nullptr || length == 0) return E_FAIL;
  std::shared_ptr<Shared> shared = CurrentShared();
  int error = platform::kWsaNotSocket;
  const bool on_worker = shared && t_worker_of == shared.get();
  if (shared && !shared->lost) {
    std::shared_lock guard(shared->socket_lock);
    if (shared->socket.valid()) {
      error = shared->socket.SendAll(buffer, length, on_worker ? kStopTimeoutMs : kOwnerSendTimeoutMs,
                                     shared->close_event.fd());
    }
  }
  if (error == platform::kWsaTimedOut && !on_worker && !shared->lost.exchange(true)) {
    // Part of a packet may have gone, and the caller must not freeze again on
    // the next one: the connection is over. The worker reports it.
    Trace("%s data sending timed out; connection lost.", prefix());
    shared->close_event.Set();
  }
  if (error != 0) {
    Trace("%s data sending error !!!", prefix());
    return E_FAIL;
  }
  if (sent != nullptr) *sent = length;
  return 0;
}

int CCommandSocket::SendBytes(std::span<const uint8_t> bytes) { return SendData(bytes.data(), bytes.size(), nullptr); }

int CCommandSocket::ReceiveData(uint8_t* buffer, size_t length, size_t* received) {
  if (received != nullptr) *received = 0;
  if (buffer == nullptr || length == 0) return E_FAIL;
  std::shared_ptr<Shared> shared = CurrentShared();
  long count = -1;
  int error = platform::kWsaNotSocket;
  if (shared) {
    std::shared_lock guard(shared->socket_lock);
    if (shared->socket.valid()) count = shared->socket.Receive(buffer, length, &error);
  }
  // A peer that closed reads as 0 bytes here; its close event follows.
  if (count < 0 && error != 0) {
    Trace(variant_ == CommandSocketVariant::kLive     ? "[STREAM SOCKET] data receive error !!!"
          : variant_ == CommandSocketVariant::kSearch ? "[SEARCH COMMANDSOCKET] data receive error !!!"
                                                      : "[DOWNLOAD SOCKET] data receive error !!!");
    return E_FAIL;
  }
  if (received != nullptr) *received = count > 0 ? static_cast<size_t>(count) : 0;
  if (shared && t_worker_of == shared.get()) shared->last_received = count > 0 ? static_cast<size_t>(count) : 0;
  return 0;
}

void CCommandSocket::Worker(std::shared_ptr<Shared> shared) {
  Shared& s = *shared;
  t_worker_of = &s;
  const char* prefix = s.prefix();
  const bool download = s.variant == CommandSocketVariant::kDownload;
  s.socket.SetBufferSizes(kSocketBufferBytes);
  if (download) {
    // Data comes in bulk on this port; only the receive side is widened.
    int receive_bytes = kDownloadReceiveBufferBytes;
    setsockopt(s.socket.fd(), SOL_SOCKET, SO_RCVBUF, &receive_bytes, sizeof receive_bytes);
    // A request goes as a header and a payload in two sends; held back for
    // the peer's delayed acknowledgement, each would cost tens of ms.
    int no_delay = 1;
    setsockopt(s.socket.fd(), IPPROTO_TCP, TCP_NODELAY, &no_delay, sizeof no_delay);
  }

  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(s.port);
  const auto parsed = platform::ParseDottedIPv4(s.address);
  address.sin_addr.s_addr = parsed ? parsed->s_addr : INADDR_NONE;

  platform::SocketEventWaiter waiter(s.socket, s.close_event);
  auto owner = [&s]() { return s.socket.valid() ? s.owner.load() : nullptr; };

  const int reachable = download ? 1 : s.pinger(s.address, kPingTimeoutMs, kPingRequests, s.close_event.fd());
  if (download) {
    if (ConnectAndWait(s, address)) RunDownloadLoop(s);
  } else if (s.stop_requested) {
    // The operator stopped the attempt while it was pinging; nobody waits for a result.
  } else if (reachable <= 0) {
    Trace("[COMMAND SOCKET] ping_trace function error !!!");
    if (ICommandSocketOwner* o = owner()) o->OnConnect(platform::kWsaTimedOut);
  } else if (const int started = s.socket.StartConnect(address); started != 0 && started != platform::kWsaWouldBlock) {
    Trace("%s WSAEventSelect function error !!!", prefix);
    // Reported, so that the session does not wait in its connecting state.
    if (ICommandSocketOwner* o = owner()) o->OnConnect(started);
  } else {
    waiter.ExpectConnect();
    Trace("%s connect function call !!!", prefix);
    int expected = 0;
    s.running.compare_exchange_strong(expected, s.stop_requested ? 0 : 1);
    const bool search = s.variant == CommandSocketVariant::kSearch;
    for (;;) {
      if (s.running != 1) {
        Trace("%s disconnect signal enable !!!", prefix);
        break;
      }
      const platform::SocketEvents events = waiter.Wait();
      if (events.close_requested && s.lost && !s.stop_requested) {
        // A send found the DVR no longer reading: closed as by a reset.
        Trace("%s command socket close event !!!", prefix);
        s.running = 0;
        if (ICommandSocketOwner* o = owner()) o->OnClose(platform::kWsaConnReset);
        break;
      }
      if (events.close_requested) {
        Trace("%s disconnect event enable !!!", prefix);
        break;
      }
      if (events.failed) {
        Trace("%s WSAEnumNetworkEvents function error !!!", prefix);
        break;
      }
      if (search) SetEventPriority(true);
      bool leave = false;
      if (events.connected) {
        Trace("%s command socket connection !!!", prefix);
        int idle = 0;
        s.running.compare_exchange_strong(idle, 1);
        if (ICommandSocketOwner* o = owner()) o->OnConnect(events.connect_error);
        // A failed connect leaves nothing to wait for on this socket.
        leave = events.connect_error != 0;
      }
      if (!leave && events.readable) {
        if (s.running != 1) {
          leave = true;
        } else if (ICommandSocketOwner* o = owner()) {
          o->OnReceive();
        }
      }
      if (!leave && events.closed) {
        Trace("%s command socket close event !!!", prefix);
        s.running = 0;
        if (ICommandSocketOwner* o = owner()) o->OnClose(events.close_error);
        leave = true;
      }
      if (search) SetEventPriority(false);
      if (leave) break;
    }
  }

  s.CloseSocket();
  if (download) {
    Trace("[STREAM SOCKET] Filedownload port thread exit !!!");
  } else {
    Trace("%s command port thread exit !!!", prefix);
  }
}

bool CCommandSocket::ConnectAndWait(Shared& s, const sockaddr_in& address) {
  auto owner = [&s]() { return s.socket.valid() ? s.owner.load() : nullptr; };
  int error = s.socket.StartConnect(address);
  if (error == platform::kWsaWouldBlock) {
    platform::SocketEventWaiter waiter(s.socket, s.close_event);
    waiter.ExpectConnect();
    for (;;) {
      const platform::SocketEvents events = waiter.Wait();
      if (events.close_requested || s.stop_requested) return false;
      if (events.failed) {
        error = platform::kWsaNotSocket;
        break;
      }
      if (events.connected) {
        error = events.connect_error;
        break;
      }
    }
  }
  if (error != 0) {
    Trace("[DOWNLOAD SOCKET] WSAEventSelect function error !!!");
    // Reported, so that the dialog does not wait with its controls disabled.
    if (ICommandSocketOwner* o = owner()) o->OnConnect(error);
    return false;
  }
  Trace("[DOWNLOAD SOCKET] connect function call !!!");
  int expected = 0;
  s.running.compare_exchange_strong(expected, s.stop_requested ? 0 : 1);
  if (ICommandSocketOwner* o = owner()) o->OnConnect(0);
  return true;
}

void CCommandSocket::RunDownloadLoop(Shared& s) {
  auto owner = [&s]() { return s.socket.valid() ? s.owner.load() : nullptr; };
  platform::SocketEventWaiter waiter(s.socket, s.close_event);
  for (;;) {
    if (s.running != 1) {
      Trace("[DOWNLOAD SOCKET] disconnect signal enable !!!");
      return;
    }
    const platform::SocketEvents events = waiter.Wait();
    if (events.close_requested && s.lost && !s.stop_requested) {
      Trace("[STREAM SOCKET] receive error !!!");
      s.running = 0;
      if (ICommandSocketOwner* o = owner()) o->OnClose(platform::kWsaConnReset);
      return;
    }
    if (events.close_requested) continue;  // running is cleared with it
    if (events.failed || events.closed) {
      // The DVR went away (or the wait broke): the session keeps what came.
      Trace("[STREAM SOCKET] receive error !!!");
      s.running = 0;
      if (ICommandSocketOwner* o = owner()) o->OnClose(events.closed ? events.close_error : platform::kWsaNotSocket);
      return;
    }
    // Bulk data: receive on while each receive brings bytes, as a blocking
    // receive loop would, and wait again only when the socket is empty.
    while (events.readable && s.running == 1) {
      ICommandSocketOwner* o = owner();
      if (o == nullptr) break;
      s.last_received = 0;
      o->OnReceive();
      if (s.last_received == 0) break;
    }
  }
}

}  // namespace sessions
