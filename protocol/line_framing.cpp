#include "protocol/line_framing.h"

namespace protocol {

std::vector<uint8_t> ToLineFrame(std::span<const uint8_t> packet) {
  if (packet.size() < kHeaderSize || packet.size() - kHeaderSize < kLineExtendedFrom) {
    return {packet.begin(), packet.end()};
  }
  const size_t length = packet.size() - kHeaderSize + 4;
  std::vector<uint8_t> frame(packet.begin(), packet.begin() + kHeaderSize);
  frame[6] = 0xFF;
  frame[7] = 0xFF;
  for (int shift = 24; shift >= 0; shift -= 8) frame.push_back(static_cast<uint8_t>(length >> shift));
  frame.insert(frame.end(), packet.begin() + kHeaderSize, packet.end());
  return frame;
}

std::optional<std::vector<uint8_t>> FromLineFrame(const PacketView& packet) {
  if (!packet.extended()) return std::vector<uint8_t>(packet.bytes.begin(), packet.bytes.end());
  const std::span<const uint8_t> payload = packet.payload();
  if (payload.size() > 0xFFFF) return std::nullopt;
  std::vector<uint8_t> local(packet.bytes.begin(), packet.bytes.begin() + kHeaderSize);
  local[6] = static_cast<uint8_t>(payload.size() >> 8);
  local[7] = static_cast<uint8_t>(payload.size());
  local.insert(local.end(), payload.begin(), payload.end());
  return local;
}

}  // namespace protocol
