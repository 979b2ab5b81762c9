// The reachability check made before every command connection: ICMP echo
// requests to the DVR, reporting whether anything came back.
#pragma once

#include <netinet/in.h>

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace sessions {

inline constexpr size_t kEchoRequestSize = 44;
using EchoRequest = std::array<uint8_t, kEchoRequestSize>;

// The Internet checksum: ones' complement of the ones'-complement sum of the
// 16-bit words (an odd last byte is padded with zero).
uint16_t InternetChecksum(std::span<const uint8_t> bytes);

// The 44-byte echo request: type 8, code 0, checksum, identifier, sequence,
// send time (host order) and 32 bytes of 'E'.
EchoRequest BuildEchoRequest(uint16_t identifier, uint16_t sequence, uint32_t send_time_ms);

// Traces what came back from `from`; any datagram counts as a reply. A raw
// socket's datagram starts with the IP header, whose length it gives itself.
void TraceEchoReply(std::span<const uint8_t> datagram, bool with_ip_header, const sockaddr_in& from,
                    uint16_t identifier);

}  // namespace sessions

// Sends up to `count` echo requests to a dotted IPv4 address, each waiting at
// most `timeout_ms` for a reply. 1 when any datagram came back, 0 when every
// request timed out, -1 when the ping could not run (a host name instead of
// a dotted address is one such case). A readable `cancel_fd`
// (the caller's close event) ends the wait early with 0.
//
// Uses a raw ICMP socket when permitted, else the kernel's ICMP datagram
// socket; where neither is allowed the address counts as answered (traced), so
// that the TCP connect decides.
int ping_trace(const std::string& address, int timeout_ms, int count, int cancel_fd = -1);
