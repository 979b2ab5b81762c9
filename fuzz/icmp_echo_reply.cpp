// Arbitrary datagrams as the reachability check receives them, with and
// without the IP header a raw socket puts in front (the first byte chooses).
#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <span>

#include "client/sessions/ping.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  sockaddr_in from{};
  from.sin_family = AF_INET;
  from.sin_addr.s_addr = htonl(0x7F000001);
  const bool with_ip_header = data[0] & 1;
  const uint16_t identifier = static_cast<uint16_t>(data[0] >> 1);
  sessions::TraceEchoReply(std::span<const uint8_t>(data + 1, size - 1), with_ip_header, from, identifier);
  return 0;
}
