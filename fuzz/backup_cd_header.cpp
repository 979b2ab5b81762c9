// A backup CD's first block, any length, through the header parse.
#include <cstddef>
#include <cstdint>
#include <span>

#include "client/media/engine/backup_cd.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  media::BackupCdHeader header;
  if (media::ParseBackupCdHeader(std::span<const uint8_t>(data, size), &header)) {
    // Every BCD byte prints as two characters, whatever its nibbles.
    if (header.time_text.size() != 17 || header.year.size() != 2) __builtin_trap();
  }
  return 0;
}
