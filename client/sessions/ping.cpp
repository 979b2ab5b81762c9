#include "client/sessions/ping.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <vector>

#include "platform/trace.h"
#include "platform/winsock_errors.h"

namespace sessions {

uint16_t InternetChecksum(std::span<const uint8_t> bytes) {
  uint32_t sum = 0;
  size_t i = 0;
  for (; i + 1 < bytes.size(); i += 2) sum += static_cast<uint32_t>(bytes[i] << 8 | bytes[i + 1]);
  if (i < bytes.size()) sum += static_cast<uint32_t>(bytes[i] << 8);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint16_t>(~sum);
}

EchoRequest BuildEchoRequest(uint16_t identifier, uint16_t sequence, uint32_t send_time_ms) {
  EchoRequest request{};
  request[0] = 8;
  // Identifier and sequence travel in network order, as every ping does;
  // the send time is only read back by us, so it stays in host order.
  request[4] = static_cast<uint8_t>(identifier >> 8);
  request[5] = static_cast<uint8_t>(identifier);
  request[6] = static_cast<uint8_t>(sequence >> 8);
  request[7] = static_cast<uint8_t>(sequence);
  std::memcpy(&request[8], &send_time_ms, sizeof send_time_ms);
  std::memset(&request[12], 'E', kEchoRequestSize - 12);
  const uint16_t checksum = InternetChecksum(request);
  request[2] = static_cast<uint8_t>(checksum >> 8);
  request[3] = static_cast<uint8_t>(checksum);
  return request;
}

}  // namespace sessions

namespace {

constexpr size_t kBufferSize = 1024;

uint32_t TickCountMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

namespace sessions {

void TraceEchoReply(std::span<const uint8_t> datagram, bool with_ip_header, const sockaddr_in& from,
                    uint16_t identifier) {
  const uint8_t* data = datagram.data();
  const size_t size = datagram.size();
  char sender[INET_ADDRSTRLEN] = "";
  inet_ntop(AF_INET, &from.sin_addr, sender, sizeof sender);
  const size_t ip_length = with_ip_header && size > 0 ? (data[0] & 0x0F) * 4u : 0u;
  if (size < ip_length + 8) {
    Trace("Too few bytes from %s.", sender);
    return;
  }
  const uint8_t* icmp = data + ip_length;
  if (icmp[0] != 0) {
    Trace("non-echo type %d recvd.", icmp[0]);
    return;
  }
  // The kernel's datagram sockets put their own identifier in; it is theirs.
  const uint16_t id = static_cast<uint16_t>(icmp[4] << 8 | icmp[5]);
  if (with_ip_header && id != identifier) {
    Trace("someone else's packet!");
    return;
  }
  const int sequence = icmp[6] << 8 | icmp[7];
  uint32_t sent = 0;
  if (size >= ip_length + 12) std::memcpy(&sent, icmp + 8, sizeof sent);
  Trace("%d bytes from %s: icmp_seq = %d time: %d ms.", static_cast<int>(size), sender, sequence,
        static_cast<int>(TickCountMs() - sent));
}

}  // namespace sessions

int ping_trace(const std::string& address, int timeout_ms, int count, int cancel_fd) {
  sockaddr_in destination{};
  destination.sin_family = AF_INET;
  if (inet_pton(AF_INET, address.c_str(), &destination.sin_addr) != 1) {
    // A host name is no address: it stood for the all-ones broadcast
    // address, which an echo request may not go to. Checked first, so that
    // it fails the same where ICMP is not permitted and nothing is sent.
    Trace("sendto failed: %d", platform::kWsaAccess);
    return -1;
  }
  bool with_ip_header = true;
  int fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd < 0 && (errno == EPERM || errno == EACCES)) {
    with_ip_header = false;
    fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0 && (errno == EPERM || errno == EACCES)) {
      Trace("[PING] ICMP echo is not permitted for this user; the connect decides.");
      return 1;
    }
  }
  if (fd < 0) {
    Trace("[PING] Failed to WSASocket().");
    return -1;
  }
  Fd owned(fd);

  const timeval limit{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
  if (setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0) {
    Trace("[PING] Failed to setsockopt(sendto timeout).");
    return -1;
  }
  if (setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) != 0) {
    Trace("[PING] Failed to setsockopt(recvfrom timeout).");
    return -1;
  }
  std::vector<uint8_t> receive_buffer(kBufferSize);

  const uint16_t identifier = static_cast<uint16_t>(getpid());

  for (int sequence = 0; sequence < count; ++sequence) {
    const auto request = sessions::BuildEchoRequest(identifier, static_cast<uint16_t>(sequence), TickCountMs());
    const ssize_t written = sendto(fd, request.data(), request.size(), 0,
                                   reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
    if (written < 0) {
      const int error = platform::WsaErrorFromErrno(errno);
      if (error == platform::kWsaTimedOut || error == platform::kWsaWouldBlock) {
        Trace("Request timed out.");
        continue;
      }
      Trace("sendto failed: %d", error);
      return -1;
    }
    if (static_cast<size_t>(written) < request.size()) Trace("Wrote %d bytes", static_cast<int>(written));

    pollfd entries[2] = {{fd, POLLIN, 0}, {cancel_fd, POLLIN, 0}};
    const int ready = poll(entries, cancel_fd >= 0 ? 2 : 1, timeout_ms);
    if (ready > 0 && cancel_fd >= 0 && (entries[1].revents & POLLIN)) return 0;
    if (ready <= 0) {
      Trace("Request timed out.");
      continue;
    }
    sockaddr_in from{};
    socklen_t from_length = sizeof from;
    const ssize_t received =
        recvfrom(fd, receive_buffer.data(), receive_buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &from_length);
    if (received < 0) {
      const int error = platform::WsaErrorFromErrno(errno);
      if (error == platform::kWsaTimedOut || error == platform::kWsaWouldBlock) {
        Trace("Request timed out.");
        continue;
      }
      Trace("recvfrom failed: %d", error);
      return -1;
    }
    sessions::TraceEchoReply({receive_buffer.data(), static_cast<size_t>(received)}, with_ip_header, from, identifier);
    return 1;
  }
  return 0;
}
