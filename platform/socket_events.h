// Network events of one socket, as the workers were designed to wait for them:
// connect completed, data ready, closed (each with its error code), or the
// worker's close event.
#pragma once

#include "platform/close_event.h"
#include "platform/tcp_socket.h"

namespace platform {

struct SocketEvents {
  bool close_requested = false;  // the close event was set (and is now reset)
  bool failed = false;           // the wait itself failed
  bool connected = false;        // a connect completed, with connect_error
  int connect_error = 0;
  bool readable = false;  // data is waiting to be received
  bool closed = false;    // the peer closed or reset, with close_error
  int close_error = 0;
};

// Waits (without time-out, or `timeout_ms` when not negative) on one socket and
// a close event. Called by the socket's single worker thread.
class SocketEventWaiter {
 public:
  SocketEventWaiter(TcpSocket& socket, CloseEvent& close_event) : socket_(socket), close_event_(close_event) {}

  // The next wait reports the completion of a connect in progress.
  void ExpectConnect() { connecting_ = true; }
  SocketEvents Wait(int timeout_ms = -1);

 private:
  TcpSocket& socket_;
  CloseEvent& close_event_;
  bool connecting_ = false;
};

}  // namespace platform
