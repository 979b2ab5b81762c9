// Arbitrary bytes from the modem line, cut into arbitrary read sizes, through
// the line's reassembly (extended length, resynchronising on a lost header)
// and the conversion back to the TCP ports' form.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "protocol/line_framing.h"
#include "protocol/reassembler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  uint32_t seed = data[0];
  ++data;
  --size;
  using Step = protocol::Reassembler::Step;
  protocol::Reassembler reassembler(protocol::kLineMaxPayload, protocol::Reassembler::Framing::kLine);
  size_t pos = 0;
  while (pos < size) {
    seed = seed * 1103515245u + 12345u;
    auto into = reassembler.Wanted();
    size_t n = 1 + (seed >> 16) % 64;
    if (n > into.size()) n = into.size();
    if (n > size - pos) n = size - pos;
    std::memcpy(into.data(), data + pos, n);
    pos += n;
    Step step = reassembler.Received(n);
    if (step == Step::kOversize) step = reassembler.DropHeader();
    if (step == Step::kPacket) {
      const protocol::PacketView packet = reassembler.Packet();
      if (packet.bytes.size() > protocol::kLineBufferSize) __builtin_trap();
      const auto local = protocol::FromLineFrame(packet);
      if (local && local->size() != protocol::kHeaderSize + packet.payload().size()) __builtin_trap();
      if (local) (void)protocol::ToLineFrame(*local);
      reassembler.Reset();
    }
  }
  return 0;
}
