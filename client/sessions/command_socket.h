// CCommandSocket: the TCP connection of one command session (live or search)
// to a DVR's command port, and the worker thread that waits on it.
//
// Threads: Open and CloseSocket are called by the owning session on the
// user-interface thread (CloseSocket may also come from the owner's handlers on
// the worker, which only asks the worker to stop). RequestStop and SendData may
// be called from any thread; ReceiveData from the owner's OnReceive on the
// worker. The worker pings the DVR, connects, and calls the owner's OnConnect,
// OnReceive and OnClose on itself.
//
// Sends: the worker may wait up to 5,000 ms for room to send; any other thread
// (the user-interface thread, which must not freeze) up to 1,000 ms. A send of
// another thread that cannot complete in time means the DVR stopped reading:
// the connection counts as lost, later sends fail at once, and the worker
// reports OnClose(10054) as for a reset. A stop request ends a waiting send.
//
// Ownership: the worker's state (socket, close event, flags, owner pointer)
// lives in a shared block that the worker and this object both hold. The worker
// closes the socket on its way out; CloseSocket joins it, or, when it does not
// end within 5,000 ms (1,000 ms for the download variant), gives it up
// (platform::BoundedWorker), clears the owner and shuts the socket down, so a
// late worker touches only the shared block.
//
// The download variant connects before it calls OnConnect (0, or the error
// of a failed connect), then calls OnReceive again while each receive brings
// bytes, as the blocking receive loop of the file port did, and OnClose when
// the DVR goes.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include <netinet/in.h>

#include "platform/bounded_worker.h"
#include "protocol/packet_sender.h"

namespace sessions {

// The session side of a command socket; called on the worker thread.
class ICommandSocketOwner {
 public:
  virtual ~ICommandSocketOwner() = default;
  // 0 when connected, else the Winsock error of the attempt.
  virtual void OnConnect(int error) = 0;
  virtual void OnReceive() = 0;
  // 0 for an orderly close, else the Winsock error.
  virtual void OnClose(int error) = 0;
};

// The download variant serves the file download port: no ping, a connect
// that is waited for before the session hears of it, a larger receive buffer
// and a 1,000 ms stop bound, with traces of its own.
enum class CommandSocketVariant { kLive = 1, kSearch = 2, kDownload = 3 };

// The reachability check: (address, time-out ms, requests, cancel fd) -> 1, 0, -1.
using Pinger = std::function<int(const std::string&, int, int, int)>;

class CCommandSocket : public protocol::PacketChannel {
 public:
  static constexpr int kStopTimeoutMs = 5000;
  static constexpr int kOwnerSendTimeoutMs = 1000;
  static constexpr int kDownloadStopTimeoutMs = 1000;
  static constexpr int kSocketBufferBytes = 4096;
  static constexpr int kDownloadReceiveBufferBytes = 1024000;
  static constexpr int kPingTimeoutMs = 1000;
  static constexpr int kPingRequests = 5;
  static constexpr size_t kAddressLimit = 260;

  explicit CCommandSocket(CommandSocketVariant variant, Pinger pinger = {});
  ~CCommandSocket() override;
  CCommandSocket(const CCommandSocket&) = delete;
  CCommandSocket& operator=(const CCommandSocket&) = delete;

  // Set once by the session before the first Open.
  void SetOwner(ICommandSocketOwner* owner) { owner_ = owner; }

  int Open(const std::string& address, uint16_t port);
  // Tells the worker to stop, without waiting for it; CloseSocket finishes.
  void RequestStop();
  int CloseSocket();
  // As CloseSocket, waiting for the worker until `deadline` at most, so that
  // several sockets can be stopped side by side within one bound.
  int CloseSocket(std::chrono::steady_clock::time_point deadline);
  int SendData(const uint8_t* buffer, size_t length, size_t* sent);
  int ReceiveData(uint8_t* buffer, size_t length, size_t* received);

  int SendBytes(std::span<const uint8_t> bytes) override;

  // Whether a worker was started and has not been stopped by CloseSocket.
  bool HasWorker() const { return worker_.joinable(); }

  // On a command socket's worker thread: whether its socket was asked to
  // stop. False on any other thread.
  static bool CurrentWorkerStopRequested();

  const char* prefix() const;
  int stop_timeout_ms() const {
    return variant_ == CommandSocketVariant::kDownload ? kDownloadStopTimeoutMs : kStopTimeoutMs;
  }

 private:
  struct Shared;
  static void Worker(std::shared_ptr<Shared> shared);
  // The download variant's blocking connect; true when connected.
  static bool ConnectAndWait(Shared& s, const sockaddr_in& address);
  static void RunDownloadLoop(Shared& s);
  std::shared_ptr<Shared> CurrentShared() const;

  const CommandSocketVariant variant_;
  Pinger pinger_;
  ICommandSocketOwner* owner_ = nullptr;

  std::mutex control_lock_;  // serialises Open and CloseSocket
  mutable std::mutex shared_lock_;
  std::shared_ptr<Shared> shared_;  // protected by shared_lock_
  platform::BoundedWorker worker_;  // touched only under control_lock_
};

}  // namespace sessions
