// A bounds-checked reader over untrusted bytes. Every read checks the bytes
// left first; a failed read leaves the reader failed and yields zero, so a
// parser reads all its fields and checks ok() once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace protocol {

class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  bool ok() const { return ok_; }
  size_t remaining() const { return ok_ ? bytes_.size() - pos_ : 0; }
  size_t position() const { return pos_; }

  uint8_t u8() { return Need(1) ? bytes_[pos_++] : 0; }
  uint16_t u16be() {
    if (!Need(2)) return 0;
    const uint16_t value = static_cast<uint16_t>(bytes_[pos_] << 8 | bytes_[pos_ + 1]);
    pos_ += 2;
    return value;
  }
  uint16_t u16le() {
    if (!Need(2)) return 0;
    const uint16_t value = static_cast<uint16_t>(bytes_[pos_] | bytes_[pos_ + 1] << 8);
    pos_ += 2;
    return value;
  }
  uint32_t u32be() {
    if (!Need(4)) return 0;
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value = value << 8 | bytes_[pos_ + i];
    pos_ += 4;
    return value;
  }
  uint32_t u32le() {
    if (!Need(4)) return 0;
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | bytes_[pos_ + i];
    pos_ += 4;
    return value;
  }
  // A packed BCD byte as its decimal value (0x45 gives 45); nibbles above 9
  // count as they stand, as the DVR's own arithmetic does.
  int bcd() {
    const uint8_t byte = u8();
    return (byte >> 4) * 10 + (byte & 0x0F);
  }
  // A zero-terminated text of at most `max` bytes; the terminator is consumed
  // when present within the limit, else the text ends at the limit.
  std::string cstring(size_t max) {
    std::string text;
    while (ok_ && pos_ < bytes_.size() && text.size() < max) {
      const uint8_t c = bytes_[pos_++];
      if (c == 0) return text;
      text.push_back(static_cast<char>(c));
    }
    if (text.size() < max && pos_ >= bytes_.size()) ok_ = false;
    return text;
  }
  std::span<const uint8_t> bytes(size_t count) {
    if (!Need(count)) return {};
    auto view = bytes_.subspan(pos_, count);
    pos_ += count;
    return view;
  }
  std::span<const uint8_t> rest() { return bytes(remaining()); }
  void skip(size_t count) { bytes(count); }

 private:
  bool Need(size_t count) {
    if (!ok_ || bytes_.size() - pos_ < count) {
      ok_ = false;
      return false;
    }
    return true;
  }

  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
  bool ok_ = true;
};

}  // namespace protocol
