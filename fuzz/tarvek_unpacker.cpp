// Arbitrary bytes as a packed application image, through the unpacker the
// boot monitor and the command line use. Half the inputs get a header with
// the right lengths and checksum so that the code stream itself is reached.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "flash_tool/image_packer.h"
#include "flash_tool/image_unpacker.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::vector<uint8_t> file;
  if (data[0] & 1) {
    // The first byte's upper bits scale the announced output length.
    tarvek::PackedHeader header;
    header.packed_length = static_cast<uint32_t>(size - 1);
    header.unpacked_length = static_cast<uint32_t>((size - 1) * (data[0] >> 1) / 14);
    file.resize(tarvek::kPackedHeaderSize);
    tarvek::EncodeHeader(header, file.data());
    file.insert(file.end(), data + 1, data + size);
    header.checksum = tarvek::PackedChecksum(file);
    tarvek::EncodeHeader(header, file.data());
  } else {
    file.assign(data + 1, data + size);
  }
  const tarvek::UnpackResult result = tarvek::UnpackImage(file);
  if (result.ok()) {
    if (result.data.size() != result.header.unpacked_length) __builtin_trap();
    // What unpacks must pack again and come back the same.
    tarvek::ImagePacker packer;
    const tarvek::UnpackResult again = tarvek::UnpackImage(packer.Pack(result.data));
    if (!again.ok() || again.data != result.data) __builtin_trap();
  } else if (result.message.empty() || !result.data.empty()) {
    __builtin_trap();
  }
  return 0;
}
