#include "protocol/reassembler.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace protocol {
namespace {

// The first offset in `bytes` (after 0) where a case-insensitive "TOLVA" could
// begin, judging only the bytes that are there.
size_t NextMagicCandidate(std::span<const uint8_t> bytes) {
  static constexpr char kMagic[] = "TOLVA";
  for (size_t start = 1; start < bytes.size(); ++start) {
    const size_t span = std::min(kMagicSize, bytes.size() - start);
    bool match = true;
    for (size_t i = 0; i < span && match; ++i) {
      match = std::toupper(bytes[start + i]) == kMagic[i];
    }
    if (match) return start;
  }
  return bytes.size();
}

}  // namespace

Reassembler::Reassembler(size_t max_payload) : buffer_(kHeaderSize + max_payload) {}

std::span<uint8_t> Reassembler::Wanted() { return {buffer_.data() + received_, wanted_}; }

Reassembler::Step Reassembler::Received(size_t count) {
  count = std::min(count, wanted_);
  received_ += count;
  wanted_ -= count;
  if (received_ == kHeaderSize && wanted_ == 0) return HeaderComplete();
  return received_ >= kHeaderSize && wanted_ == 0 ? Step::kPacket : Step::kNeedMore;
}

Reassembler::Step Reassembler::HeaderComplete() {
  auto header = std::span<uint8_t, kHeaderSize>(buffer_.data(), kHeaderSize);
  if (!MagicMatches(header)) {
    const size_t skip = NextMagicCandidate(header);
    std::memmove(buffer_.data(), buffer_.data() + skip, kHeaderSize - skip);
    received_ = kHeaderSize - skip;
    wanted_ = skip;
    return Step::kResync;
  }
  CheckMagic(header);
  const size_t length = HeaderPayloadLength(header);
  if (length > max_payload()) {
    rejected_length_ = length;
    return Step::kOversize;
  }
  wanted_ = length;
  return length == 0 ? Step::kPacket : Step::kNeedMore;
}

PacketView Reassembler::Packet() const { return {std::span(buffer_.data(), received_)}; }

void Reassembler::Reset() {
  received_ = 0;
  wanted_ = kHeaderSize;
}

}  // namespace protocol
