// The 12-byte header in front of every packet on the DVR's three ports:
// "TOLVA", the port kind, the payload length (u16 big-endian) and the command
// code (u32 big-endian).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace protocol {

inline constexpr size_t kHeaderSize = 12;
inline constexpr size_t kMagicSize = 5;
inline constexpr size_t kMaxFramedPayload = 0xFFFF;

enum class PortKind : uint8_t { kCommand = 1, kStream = 2, kFile = 3 };

using HeaderBytes = std::array<uint8_t, kHeaderSize>;

HeaderBytes BuildHeader(PortKind kind, uint16_t payload_length, uint32_t code);

// Clears byte 5 (the port kind is not needed once received) and compares the
// magic without regard to case.
bool CheckMagic(std::span<uint8_t, kHeaderSize> header);
// The same comparison without touching the header.
bool MagicMatches(std::span<const uint8_t> bytes);

uint16_t HeaderPayloadLength(std::span<const uint8_t, kHeaderSize> header);
uint32_t HeaderCode(std::span<const uint8_t, kHeaderSize> header);

}  // namespace protocol
