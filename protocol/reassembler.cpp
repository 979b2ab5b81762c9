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

Reassembler::Reassembler(size_t max_payload, Framing framing) : framing_(framing), buffer_(kHeaderSize + max_payload) {}

std::span<uint8_t> Reassembler::Wanted() { return {buffer_.data() + received_, wanted_}; }

Reassembler::Step Reassembler::Received(size_t count) {
  count = std::min(count, wanted_);
  received_ += count;
  wanted_ -= count;
  if (received_ == kHeaderSize && wanted_ == 0) return HeaderComplete();
  if (extended_ && received_ == kExtendedHeaderSize && wanted_ == 0) return ExtendedLengthComplete();
  return received_ >= kHeaderSize && wanted_ == 0 ? Step::kPacket : Step::kNeedMore;
}

Reassembler::Step Reassembler::HeaderComplete() {
  auto header = std::span<uint8_t, kHeaderSize>(buffer_.data(), kHeaderSize);
  if (!MagicMatches(header)) return SkipToNextMagic();
  if (framing_ == Framing::kReceiver) CheckMagic(header);
  const size_t length = HeaderPayloadLength(header);
  if (framing_ == Framing::kLine && length == kExtendedLength) {
    extended_ = true;
    wanted_ = kExtendedHeaderSize - kHeaderSize;
    return Step::kNeedMore;
  }
  if (length > max_payload()) {
    rejected_length_ = length;
    return Step::kOversize;
  }
  wanted_ = length;
  return length == 0 ? Step::kPacket : Step::kNeedMore;
}

Reassembler::Step Reassembler::ExtendedLengthComplete() {
  const uint8_t* field = buffer_.data() + kHeaderSize;
  const size_t length = static_cast<size_t>(field[0]) << 24 | static_cast<size_t>(field[1]) << 16 |
                        static_cast<size_t>(field[2]) << 8 | field[3];
  // L counts its own four bytes; anything shorter, or longer than the buffer,
  // cannot be a packet of ours.
  if (length < 4 || length - 4 > buffer_.size() - kExtendedHeaderSize) {
    rejected_length_ = length;
    return Step::kOversize;
  }
  wanted_ = length - 4;
  return wanted_ == 0 ? Step::kPacket : Step::kNeedMore;
}

Reassembler::Step Reassembler::SkipToNextMagic() {
  const size_t skip = NextMagicCandidate(std::span<const uint8_t>(buffer_.data(), received_));
  std::memmove(buffer_.data(), buffer_.data() + skip, received_ - skip);
  received_ -= skip;
  // At least the first byte goes (a magic cannot start inside "OLVA"), so
  // what is left is short of a header and judged again once refilled.
  extended_ = false;
  wanted_ = kHeaderSize - received_;
  return Step::kResync;
}

Reassembler::Step Reassembler::DropHeader() { return SkipToNextMagic(); }

PacketView Reassembler::Packet() const {
  return {std::span(buffer_.data(), received_), extended_ ? kExtendedHeaderSize : kHeaderSize};
}

void Reassembler::Reset() {
  received_ = 0;
  wanted_ = kHeaderSize;
  extended_ = false;
}

}  // namespace protocol
