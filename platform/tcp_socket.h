// A TCP/IPv4 socket over POSIX: the calls the sessions make on the Winsock
// sockets they were designed around, with Winsock error numbers.
//
// One thread may receive while others send: send and receive touch no shared
// state besides the descriptor, which only Close (by the owner) changes.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// The IPv4 address of a dotted-decimal text; host names are not resolved.
std::optional<in_addr> ParseDottedIPv4(const std::string& text);

// A listening TCP socket on 127.0.0.1 (`port` 0: any free one). Returns the
// descriptor, or -1; `*bound_port` is the port it took.
int ListenOnLoopback(uint16_t port, uint16_t* bound_port);

class TcpSocket {
 public:
  TcpSocket() = default;
  explicit TcpSocket(int fd) : fd_(fd) {}
  ~TcpSocket();
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;

  // Creates a non-blocking stream socket; false (with errno) on failure.
  bool Create();
  bool valid() const { return fd() >= 0; }
  int fd() const { return fd_.load(std::memory_order_acquire); }
  void Close();
  // Shuts both directions down without releasing the descriptor, so that a
  // thread blocked on it wakes up.
  void Shutdown();

  void SetBufferSizes(int bytes);
  // Starts a non-blocking connect: 0 when connected at once, kWsaWouldBlock
  // while in progress, else the failure.
  int StartConnect(const sockaddr_in& address);
  // The pending error of the socket (SO_ERROR), as a Winsock number.
  int PendingError() const;

  // Sends every byte, waiting for room while the socket would block (at most
  // `timeout_ms` in all). 0 or the Winsock error; kWsaTimedOut when the time
  // ran out, kWsaInterrupted when `cancel_fd` (if any) became readable while
  // waiting, so that a stop request does not wait for a peer that reads nothing.
  int SendAll(const uint8_t* data, size_t length, int timeout_ms, int cancel_fd = -1);
  // One receive of at most `length` bytes. Returns the count (0 when it would
  // block), or -1 with `*error` set; a closed peer gives -1 and error 0.
  long Receive(uint8_t* data, size_t length, int* error);

 private:
  std::atomic<int> fd_{-1};
};

}  // namespace platform
