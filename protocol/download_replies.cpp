#include "protocol/download_replies.h"

#include <algorithm>

#include "protocol/byte_reader.h"
#include "protocol/command_codes.h"

namespace protocol {

std::optional<FileDownloadReply> DecodeFileDownloadReply(std::span<const uint8_t> payload) {
  ByteReader reader(payload);
  FileDownloadReply reply;
  reply.result = reader.u8();
  if (!reader.ok()) return std::nullopt;
  if (reply.result != result::kSuccess) {
    if (reader.remaining() > 0) reply.reason = reader.u8();
    return reply;
  }
  reply.total_size = reader.u32le();
  if (!reader.ok()) return std::nullopt;
  return reply;
}

std::optional<FileInfoReply> DecodeFileInfoReply(std::span<const uint8_t> payload) {
  ByteReader reader(payload);
  FileInfoReply reply;
  reply.result = reader.u8();
  if (!reader.ok()) return std::nullopt;
  // The DVR's rule counts the result byte in: a payload of 64 bytes holds 63
  // block bytes, and the block is then kept with its last byte zero.
  if (reply.result == result::kSuccess && payload.size() >= kFileInfoBlockSize) {
    const auto rest = reader.rest();
    std::copy_n(rest.begin(), std::min(rest.size(), kFileInfoBlockSize), reply.block.begin());
    reply.has_block = true;
  }
  return reply;
}

std::optional<uint8_t> DecodeFileResult(std::span<const uint8_t> payload) {
  if (payload.empty()) return std::nullopt;
  return payload.front();
}

}  // namespace protocol
