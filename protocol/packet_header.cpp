#include "protocol/packet_header.h"

#include <cstring>

#include "platform/string_table.h"

namespace protocol {
namespace {

constexpr int kMagicStringId = 104;

uint8_t Upper(uint8_t c) { return c >= 'a' && c <= 'z' ? static_cast<uint8_t>(c - 32) : c; }

}  // namespace

HeaderBytes BuildHeader(PortKind kind, uint16_t payload_length, uint32_t code) {
  HeaderBytes header{};
  // The magic comes from the string table with its terminator; byte 5 is then
  // overwritten by the port kind.
  const char* magic = platform::LoadString(kMagicStringId);
  std::memcpy(header.data(), magic, kMagicSize + 1);
  header[5] = static_cast<uint8_t>(kind);
  header[6] = static_cast<uint8_t>(payload_length >> 8);
  header[7] = static_cast<uint8_t>(payload_length);
  header[8] = static_cast<uint8_t>(code >> 24);
  header[9] = static_cast<uint8_t>(code >> 16);
  header[10] = static_cast<uint8_t>(code >> 8);
  header[11] = static_cast<uint8_t>(code);
  return header;
}

bool MagicMatches(std::span<const uint8_t> bytes) {
  const char* magic = platform::LoadString(kMagicStringId);
  if (bytes.size() < kMagicSize) return false;
  for (size_t i = 0; i < kMagicSize; ++i) {
    if (Upper(bytes[i]) != static_cast<uint8_t>(magic[i])) return false;
  }
  return true;
}

bool CheckMagic(std::span<uint8_t, kHeaderSize> header) {
  header[5] = 0;
  return MagicMatches(header);
}

uint16_t HeaderPayloadLength(std::span<const uint8_t, kHeaderSize> header) {
  return static_cast<uint16_t>(header[6] << 8 | header[7]);
}

uint32_t HeaderCode(std::span<const uint8_t, kHeaderSize> header) {
  return static_cast<uint32_t>(header[8]) << 24 | static_cast<uint32_t>(header[9]) << 16 |
         static_cast<uint32_t>(header[10]) << 8 | header[11];
}

}  // namespace protocol
