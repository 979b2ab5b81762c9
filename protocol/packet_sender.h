// Sending packets: the header in one send of 12 bytes, then the payload in a
// second send of exactly the announced length. One lock per connection keeps
// the two sends of a packet together when two threads send at once.
#pragma once

#include <cstdint>
#include <mutex>
#include <span>

#include "protocol/packet_header.h"

namespace protocol {

// A connection packets can be sent on. Any thread may send.
class PacketChannel {
 public:
  virtual ~PacketChannel() = default;
  // Sends every byte (completing partial sends) or fails: 0 or E_FAIL.
  virtual int SendBytes(std::span<const uint8_t> bytes) = 0;

  std::mutex& send_lock() { return send_lock_; }

 private:
  std::mutex send_lock_;
};

// 0, or E_FAIL when a send failed or the payload cannot be framed.
int SendPacket(PacketChannel& channel, PortKind kind, uint32_t code, std::span<const uint8_t> payload = {});

}  // namespace protocol
