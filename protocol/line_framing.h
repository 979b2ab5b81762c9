// A packet between the TCP ports' form (a 16-bit payload length) and the
// modem line's, where a payload of 65,531 bytes or more crosses as the header
// with length 0xFFFF and a 32-bit big-endian L = payload length + 4 at bytes
// 12-15. Both sides of a modem call (the client's bridge, the DVR's modem
// side) convert with these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "protocol/reassembler.h"

namespace protocol {

// The receive buffer of either end of the line: one header and an extended
// length's payload.
inline constexpr size_t kLineBufferSize = 202764;
inline constexpr size_t kLineMaxPayload = kLineBufferSize - kHeaderSize;
// From this payload length on, a packet crosses with the extended length.
inline constexpr size_t kLineExtendedFrom = 65531;

// `packet` is a whole TCP-side packet (header and payload). Its line form:
// the same bytes, or the extended form of a long payload.
std::vector<uint8_t> ToLineFrame(std::span<const uint8_t> packet);

// A packet reassembled from the line, in TCP form; nothing when its payload
// cannot be expressed in 16 bits.
std::optional<std::vector<uint8_t>> FromLineFrame(const PacketView& packet);

}  // namespace protocol
