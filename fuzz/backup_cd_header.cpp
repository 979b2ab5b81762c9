// A backup CD's first block, any length, through the header parse.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "client/media/engine/backup_cd.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  media::BackupCdHeader header;
  if (media::ParseBackupCdHeader(std::span<const uint8_t>(data, size), &header)) {
    // The times print as hexadecimal, two characters a byte whatever its
    // nibbles; a date digit that is no decimal digit prints as its value,
    // so a date text has two to four characters.
    if (header.time_text.size() != 17) __builtin_trap();
    for (const std::string* text : {&header.year, &header.month, &header.day}) {
      if (text->size() < 2 || text->size() > 4) __builtin_trap();
    }
  }
  return 0;
}
