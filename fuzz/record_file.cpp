// Arbitrary bytes as a record file (a download or a file's sectors on a DVR
// disk): every picture listed must lie inside the input.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "client/media/engine/byte_source.h"
#include "client/media/engine/recorded_media.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  media::MemoryByteSource source(std::span<const uint8_t>(data, size));
  media::RecordedMedia recording;
  std::string error;
  if (!media::ReadRecordFile(source, 0, &recording, &error)) return 0;
  for (const auto& picture : recording.pictures) {
    if (picture.offset + picture.length > size) __builtin_trap();
  }
  return 0;
}
