// A DVR disk's index sectors, any length, through the listing of its entries
// and the column readers the players use.
#include <cstddef>
#include <cstdint>
#include <span>

#include "client/media/engine/removable_disk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  // The readable part is as long as the input: shorter or longer than an index.
  const auto rows = media::ListIndex(bytes, size / media::kIndexEntrySize);
  if (rows.size() > media::kIndexEntries) __builtin_trap();
  volatile size_t sink = 0;
  for (const auto& row : rows) {
    for (const auto& cell : row) sink = sink + cell.size();
  }
  return 0;
}
