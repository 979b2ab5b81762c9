#include "flash_tool/image_unpacker.h"

#include <array>
#include <cstdio>

#include "protocol/byte_reader.h"

namespace tarvek {
namespace {

std::string Format(const char* format, unsigned long long a, unsigned long long b = 0) {
  char text[160];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

UnpackResult Fail(UnpackResult result, UnpackError error, std::string message) {
  result.error = error;
  result.message = std::move(message);
  result.data.clear();
  return result;
}

}  // namespace

uint32_t PackedChecksum(std::span<const uint8_t> packed_file) {
  uint32_t sum = 0;
  for (size_t i = 0; i < packed_file.size(); ++i) {
    if (i >= 28 && i < kPackedHeaderSize) continue;
    sum += packed_file[i];
  }
  return sum;
}

UnpackResult UnpackImage(std::span<const uint8_t> packed_file) {
  UnpackResult result;
  protocol::ByteReader header(packed_file);
  result.header.format = header.u32le();
  header.skip(16);
  result.header.packed_length = header.u32le();
  result.header.unpacked_length = header.u32le();
  result.header.checksum = header.u32le();
  if (!header.ok()) {
    return Fail(std::move(result), UnpackError::kTooShort,
                Format("file of %llu bytes is shorter than the 32-byte header", packed_file.size()));
  }
  if (result.header.format != kPackedFormat) {
    return Fail(std::move(result), UnpackError::kBadFormat,
                Format("unknown format %llu (expected 2)", result.header.format));
  }
  const std::span<const uint8_t> stream = packed_file.subspan(kPackedHeaderSize);
  if (result.header.packed_length != stream.size()) {
    return Fail(std::move(result), UnpackError::kBadPackedLength,
                Format("packed length %llu disagrees with the %llu bytes after the header", result.header.packed_length,
                       stream.size()));
  }
  // Every code of one or two bytes yields at most 18 bytes, so more output
  // than nine times the stream is a lie; refusing it also bounds the memory.
  if (static_cast<uint64_t>(result.header.unpacked_length) > static_cast<uint64_t>(stream.size()) * 9) {
    return Fail(std::move(result), UnpackError::kBadUnpackedLength,
                Format("unpacked length %llu is impossible for a %llu-byte code stream", result.header.unpacked_length,
                       stream.size()));
  }
  const uint32_t sum = PackedChecksum(packed_file);
  if (sum != result.header.checksum) {
    return Fail(std::move(result), UnpackError::kBadChecksum,
                Format("checksum 0x%08llX disagrees with the header's 0x%08llX", sum, result.header.checksum));
  }

  const size_t wanted = result.header.unpacked_length;
  std::array<uint8_t, kWindowSize> ring{};
  std::vector<uint8_t>& out = result.data;
  out.reserve(wanted);
  protocol::ByteReader codes(stream);
  bool group_complete = true;
  while (out.size() < wanted) {
    const uint8_t flags = codes.u8();
    if (!codes.ok()) break;
    group_complete = false;
    for (int bit = 7; bit >= 0 && out.size() < wanted; --bit) {
      if (flags & (1u << bit)) {
        const uint8_t byte = codes.u8();
        if (!codes.ok()) break;
        ring[out.size() & (kWindowSize - 1)] = byte;
        out.push_back(byte);
      } else {
        const uint8_t high = codes.u8();
        const uint8_t low = codes.u8();
        if (!codes.ok()) break;
        const size_t position = static_cast<size_t>(high) << 4 | low >> 4;
        const size_t length = (low & 0x0F) + kMinMatch;
        // Until the ring has filled once, only positions already written hold
        // the stream's bytes.
        if (out.size() < kWindowSize && position >= out.size()) {
          return Fail(std::move(result), UnpackError::kMatchBeforeData,
                      Format("match at window position %llu before byte %llu was produced", position, out.size()));
        }
        if (length > wanted - out.size()) {
          return Fail(std::move(result), UnpackError::kOverrun,
                      Format("match of %llu bytes runs past the announced length %llu", length, wanted));
        }
        for (size_t i = 0; i < length; ++i) {
          const uint8_t byte = ring[(position + i) & (kWindowSize - 1)];
          ring[out.size() & (kWindowSize - 1)] = byte;
          out.push_back(byte);
        }
      }
      if (bit == 0) group_complete = true;
    }
    if (!codes.ok()) break;
  }
  if (!codes.ok() || out.size() < wanted) {
    return Fail(std::move(result), UnpackError::kTruncated,
                Format("code stream ends after %llu of %llu bytes", out.size(), wanted));
  }
  // A stream whose codes fill their last group ends with a lone flag byte 0.
  if (group_complete && codes.remaining() == 1 && stream.back() == 0) codes.skip(1);
  if (codes.remaining() != 0) {
    return Fail(std::move(result), UnpackError::kTrailingBytes,
                Format("%llu bytes follow the end of the code stream", codes.remaining()));
  }
  return result;
}

}  // namespace tarvek
