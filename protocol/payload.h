// Payload conventions of the DVR protocol: little-endian integers, packed BCD
// dates and times, zero-terminated texts.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace protocol {

// A BCD byte from a two-character decimal text: (first << 4, truncated to
// eight bits) | (second - '0'). A leading space gives a high nibble of 0.
uint8_t BcdFromText(char first, char second);
// The BCD byte of a value as a two-wide "%2d" text would give it (0-99).
uint8_t BcdFromNumber(int value);

class PayloadWriter {
 public:
  PayloadWriter& u8(uint8_t value) {
    bytes_.push_back(value);
    return *this;
  }
  PayloadWriter& u16le(uint16_t value) {
    bytes_.push_back(static_cast<uint8_t>(value));
    bytes_.push_back(static_cast<uint8_t>(value >> 8));
    return *this;
  }
  PayloadWriter& u32le(uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return *this;
  }
  PayloadWriter& u32be(uint32_t value) {
    for (int i = 3; i >= 0; --i) bytes_.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return *this;
  }
  PayloadWriter& bcd(int value) { return u8(BcdFromNumber(value)); }
  PayloadWriter& cstring(std::string_view text) {
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    bytes_.push_back(0);
    return *this;
  }
  PayloadWriter& raw(const uint8_t* data, size_t size) {
    bytes_.insert(bytes_.end(), data, data + size);
    return *this;
  }

  const std::vector<uint8_t>& bytes() const { return bytes_; }
  std::vector<uint8_t> take() { return std::move(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace protocol
