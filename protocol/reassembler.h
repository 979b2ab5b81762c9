// Reassembly of packets from a byte stream, one receive call per readable
// event: first the 12 header bytes, then exactly the payload the header
// announces, then the whole packet is handed on.
//
// Untrusted input: an announced payload larger than the buffer is rejected
// before a byte of it is received (the caller drops the connection), and a
// header whose magic does not match is skipped by resynchronising on the next
// "TOLVA" in the bytes already received.
//
// The modem line frames the same way with two differences: the header's port
// byte is kept (it routes the packet), and a length of 0xFFFF announces a
// 32-bit big-endian length L at bytes 12-15 (the payload is L - 4 bytes).
//
// Owned and used by one thread: the connection's reader. A reset from another
// thread is only allowed once the reader has stopped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "protocol/packet_header.h"

namespace protocol {

// A complete packet, header and payload contiguous.
struct PacketView {
  std::span<const uint8_t> bytes;
  size_t payload_offset = kHeaderSize;  // 16 behind an extended length

  uint32_t code() const { return HeaderCode(bytes.first<kHeaderSize>()); }
  uint16_t announced_length() const { return HeaderPayloadLength(bytes.first<kHeaderSize>()); }
  std::span<const uint8_t> payload() const { return bytes.subspan(payload_offset); }
  bool extended() const { return payload_offset != kHeaderSize; }
};

class Reassembler {
 public:
  enum class Step {
    kNeedMore,  // keep receiving into Wanted()
    kPacket,    // Packet() holds a whole packet; call Reset() after handling it
    kOversize,  // the announced payload exceeds the buffer: drop the connection
    kResync,    // the header's magic did not match; bytes were skipped
  };

  enum class Framing {
    kReceiver,  // a TCP port's receiver: byte 5 cleared, no extended length
    kForward,   // bytes passed on unchanged: byte 5 kept, no extended length
    kLine,      // the modem line: byte 5 kept, 0xFFFF extends the length
  };
  static constexpr uint16_t kExtendedLength = 0xFFFF;
  static constexpr size_t kExtendedHeaderSize = kHeaderSize + 4;

  explicit Reassembler(size_t max_payload, Framing framing = Framing::kReceiver);

  // Where the next receive call writes, and how many bytes it asks for.
  std::span<uint8_t> Wanted();
  // Accounts for `count` bytes just received into Wanted().
  Step Received(size_t count);

  PacketView Packet() const;
  // Back to waiting for a header, after the packet has been dispatched.
  void Reset();
  // Treats the header received so far as lost: skips to the next magic in the
  // bytes already received (after kOversize, where the peer is kept).
  Step DropHeader();

  size_t received() const { return received_; }
  size_t wanted() const { return wanted_; }
  size_t max_payload() const { return buffer_.size() - kHeaderSize; }
  // The payload length of the rejected header after kOversize.
  size_t rejected_length() const { return rejected_length_; }

 private:
  Step HeaderComplete();
  Step ExtendedLengthComplete();
  Step SkipToNextMagic();

  const Framing framing_;
  bool extended_ = false;
  std::vector<uint8_t> buffer_;
  size_t received_ = 0;
  size_t wanted_ = kHeaderSize;
  size_t rejected_length_ = 0;
};

}  // namespace protocol
