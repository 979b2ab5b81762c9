// Checks and unpacks a packed application image (see image_packer.h). The
// input is untrusted: every length is checked before it is used, and a damaged
// file is rejected with an error naming what is wrong. Used by the boot
// monitor, the command line and the tests; stateless, any thread.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "flash_tool/image_packer.h"

namespace tarvek {

enum class UnpackError {
  kNone = 1,
  kTooShort,           // fewer than 32 bytes: no header
  kBadFormat,          // the format field is not 2
  kBadPackedLength,    // the packed length disagrees with the bytes after the header
  kBadUnpackedLength,  // more output announced than the code stream could produce
  kBadChecksum,        // the byte sum disagrees with the header
  kTruncated,          // the code stream ends before the announced output
  kMatchBeforeData,    // a match refers to bytes not yet produced
  kOverrun,            // a match runs past the announced output
  kTrailingBytes,      // bytes follow the end of the code stream
};

struct UnpackResult {
  UnpackError error = UnpackError::kNone;
  std::string message;  // empty on success
  PackedHeader header;
  std::vector<uint8_t> data;

  bool ok() const { return error == UnpackError::kNone; }
};

// Sums header bytes 0-27 and the code stream the way the packer does.
uint32_t PackedChecksum(std::span<const uint8_t> packed_file);

// Checks the header and checksum, then decodes the code stream through a
// 4,096-byte ring that starts at position 0.
UnpackResult UnpackImage(std::span<const uint8_t> packed_file);

}  // namespace tarvek
