// Arbitrary byte streams, cut into arbitrary read sizes, through reassembly and
// a dispatch that reads every field of the packet it is given.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "protocol/byte_reader.h"
#include "protocol/command_codes.h"
#include "protocol/reassembler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // The first byte picks the buffer's size, the second seeds the read sizes.
  const size_t max_payload = data[0] % 2 == 0 ? protocol::kCommandMaxPayload : data[0];
  uint32_t seed = data[1];
  data += 2;
  size -= 2;

  protocol::Reassembler reassembler(max_payload);
  size_t pos = 0;
  while (pos < size) {
    seed = seed * 1103515245u + 12345u;
    auto into = reassembler.Wanted();
    size_t n = 1 + (seed >> 16) % 64;
    if (n > into.size()) n = into.size();
    if (n > size - pos) n = size - pos;
    std::memcpy(into.data(), data + pos, n);
    pos += n;
    switch (reassembler.Received(n)) {
      case protocol::Reassembler::Step::kPacket: {
        const protocol::PacketView packet = reassembler.Packet();
        if (packet.payload().size() != packet.announced_length()) __builtin_trap();
        protocol::ByteReader reader(packet.payload());
        volatile uint32_t sink = packet.code() + reader.u8() + reader.u32le() + reader.bcd();
        (void)sink;
        (void)reader.cstring(260);
        reassembler.Reset();
        break;
      }
      case protocol::Reassembler::Step::kOversize:
        return 0;  // the connection would be dropped here
      default:
        break;
    }
  }
  return 0;
}
