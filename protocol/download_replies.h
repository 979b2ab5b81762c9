// Typed decoders for the replies of the DVR's file download port. Each is a
// pure function: payload bytes in, the reply's fields or std::nullopt
// ("malformed") out. As on the command port, a refusal may end after its
// result byte, but a success must carry every field that follows it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace protocol {

inline constexpr size_t kFileInfoBlockSize = 64;

// RESP_FILEDOWNLOAD: the total size on success, a reason on failure.
struct FileDownloadReply {
  uint8_t result = 0;
  uint32_t total_size = 0;  // meaningful only with a successful result
  uint8_t reason = 0;       // 0 when a refusal gave none
};

// RESP_FILEINFO. The block is taken only from a payload of at least 64 bytes
// (the DVR's own rule); a shorter success leaves it all zero.
struct FileInfoReply {
  uint8_t result = 0;
  bool has_block = false;
  std::array<uint8_t, kFileInfoBlockSize> block{};
};

std::optional<FileDownloadReply> DecodeFileDownloadReply(std::span<const uint8_t> payload);
std::optional<FileInfoReply> DecodeFileInfoReply(std::span<const uint8_t> payload);
// LOGON_RESULT, FILEDOWNLOAD_COMPLETE and RESP_CANCEL_FILEDOWNLOAD of this
// port: the result byte alone.
std::optional<uint8_t> DecodeFileResult(std::span<const uint8_t> payload);

}  // namespace protocol
