#include "protocol/packet_sender.h"

#include "platform/result_codes.h"

namespace protocol {

int SendPacket(PacketChannel& channel, PortKind kind, uint32_t code, std::span<const uint8_t> payload) {
  if (payload.size() > kMaxFramedPayload) return E_FAIL;
  const HeaderBytes header = BuildHeader(kind, static_cast<uint16_t>(payload.size()), code);
  std::lock_guard guard(channel.send_lock());
  if (channel.SendBytes(header) != 0) return E_FAIL;
  if (!payload.empty() && channel.SendBytes(payload) != 0) return E_FAIL;
  return 0;
}

}  // namespace protocol
