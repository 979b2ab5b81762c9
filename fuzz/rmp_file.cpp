// Arbitrary bytes as an .rmp file and its .rmg index: the first byte says
// how many of the rest (times 7) are the index.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "client/media/engine/byte_source.h"
#include "client/media/engine/recorded_media.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t index_size = std::min<size_t>(size - 1, data[0] * size_t{7});
  const std::span<const uint8_t> rmg(data + 1, index_size);
  const std::span<const uint8_t> rmp(data + 1 + index_size, size - 1 - index_size);
  media::MemoryByteSource source(rmp);
  media::RecordedMedia recording;
  std::string error;
  if (!media::ReadRmpFile(source, rmg, 0, &recording, &error)) return 0;
  for (const auto& picture : recording.pictures) {
    if (picture.offset + picture.length > rmp.size()) __builtin_trap();
  }
  return 0;
}
