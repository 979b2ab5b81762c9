#include "platform/tcp_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "platform/winsock_errors.h"

namespace platform {

std::optional<in_addr> ParseDottedIPv4(const std::string& text) {
  in_addr address{};
  if (inet_pton(AF_INET, text.c_str(), &address) != 1) return std::nullopt;
  return address;
}

int ListenOnLoopback(uint16_t port, uint16_t* bound_port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  socklen_t length = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 4) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(fd);
    return -1;
  }
  *bound_port = ntohs(address.sin_port);
  return fd;
}

TcpSocket::~TcpSocket() { Close(); }

bool TcpSocket::Create() {
  Close();
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  fd_.store(fd, std::memory_order_release);
  return fd >= 0;
}

void TcpSocket::Close() {
  const int fd = fd_.exchange(-1, std::memory_order_acq_rel);
  if (fd >= 0) close(fd);
}

void TcpSocket::Shutdown() {
  const int fd = this->fd();
  if (fd >= 0) shutdown(fd, SHUT_RDWR);
}

void TcpSocket::SetBufferSizes(int bytes) {
  setsockopt(fd(), SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
  setsockopt(fd(), SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

int TcpSocket::StartConnect(const sockaddr_in& address) {
  if (connect(fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return 0;
  if (errno == EINPROGRESS) return kWsaWouldBlock;
  return WsaErrorFromErrno(errno);
}

int TcpSocket::PendingError() const {
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(fd(), SOL_SOCKET, SO_ERROR, &error, &length) != 0) return WsaErrorFromErrno(errno);
  return WsaErrorFromErrno(error);
}

int TcpSocket::SendAll(const uint8_t* data, size_t length, int timeout_ms, int cancel_fd) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (length > 0) {
    const ssize_t sent = send(fd(), data, length, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent > 0) {
      data += sent;
      length -= static_cast<size_t>(sent);
      continue;
    }
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && errno != EAGAIN) return WsaErrorFromErrno(errno);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return kWsaTimedOut;
    // A negative descriptor is ignored by poll.
    pollfd entries[2] = {{fd(), POLLOUT, 0}, {cancel_fd, POLLIN, 0}};
    if (poll(entries, 2, static_cast<int>(left.count())) < 0 && errno != EINTR) {
      return WsaErrorFromErrno(errno);
    }
    if (entries[1].revents & POLLIN) return kWsaInterrupted;
  }
  return 0;
}

long TcpSocket::Receive(uint8_t* data, size_t length, int* error) {
  *error = 0;
  ssize_t received;
  do {
    received = recv(fd(), data, length, MSG_DONTWAIT);
  } while (received < 0 && errno == EINTR);
  if (received > 0) return received;
  if (received == 0) return -1;
  if (errno == EAGAIN) return 0;
  *error = WsaErrorFromErrno(errno);
  return -1;
}

}  // namespace platform
