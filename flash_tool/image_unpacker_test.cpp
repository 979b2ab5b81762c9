#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "flash_tool/image_packer.h"
#include "flash_tool/image_unpacker.h"

namespace tarvek {
namespace {

// Builds a packed file around a hand-written code stream with a right checksum.
std::vector<uint8_t> Packed(const std::vector<uint8_t>& stream, uint32_t unpacked_length) {
  std::vector<uint8_t> file(kPackedHeaderSize);
  PackedHeader header;
  header.packed_length = static_cast<uint32_t>(stream.size());
  header.unpacked_length = unpacked_length;
  EncodeHeader(header, file.data());
  file.insert(file.end(), stream.begin(), stream.end());
  header.checksum = PackedChecksum(file);
  EncodeHeader(header, file.data());
  return file;
}

TEST(ImageUnpacker, RejectsDamagedHeaders) {
  const std::vector<uint8_t> good = ImagePacker().Pack(std::vector<uint8_t>(100, 9));
  ASSERT_TRUE(UnpackImage(good).ok());

  EXPECT_EQ(UnpackImage(std::span(good).first(31)).error, UnpackError::kTooShort);
  EXPECT_EQ(UnpackImage({}).error, UnpackError::kTooShort);

  std::vector<uint8_t> format = good;
  format[0] = 3;
  EXPECT_EQ(UnpackImage(format).error, UnpackError::kBadFormat);

  std::vector<uint8_t> cut = good;
  cut.pop_back();
  EXPECT_EQ(UnpackImage(cut).error, UnpackError::kBadPackedLength);

  std::vector<uint8_t> huge = good;
  huge[27] = 0x7F;  // a 2 GB promise from a few bytes
  const UnpackResult lie = UnpackImage(huge);
  EXPECT_EQ(lie.error, UnpackError::kBadUnpackedLength);
  EXPECT_NE(lie.message.find("impossible"), std::string::npos);

  std::vector<uint8_t> flipped = good;
  flipped.back() ^= 0x40;
  const UnpackResult sum = UnpackImage(flipped);
  EXPECT_EQ(sum.error, UnpackError::kBadChecksum);
  EXPECT_NE(sum.message.find("checksum"), std::string::npos);
  EXPECT_TRUE(sum.data.empty());
}

TEST(ImageUnpacker, RejectsDamagedCodeStreams) {
  // A match as the very first code has nothing to copy from.
  EXPECT_EQ(UnpackImage(Packed({0x00, 0x00, 0x00}, 3)).error, UnpackError::kMatchBeforeData);
  // One byte produced, then a match from position 5 which was never written.
  EXPECT_EQ(UnpackImage(Packed({0x80, 0x41, 0x00, 0x50}, 4)).error, UnpackError::kMatchBeforeData);
  // A match longer than the output the header announces.
  EXPECT_EQ(UnpackImage(Packed({0x80, 0x41, 0x00, 0x0F}, 5)).error, UnpackError::kOverrun);
  // The stream stops inside a match code, and after a flag byte.
  EXPECT_EQ(UnpackImage(Packed({0x80, 0x41, 0x00}, 4)).error, UnpackError::kTruncated);
  EXPECT_EQ(UnpackImage(Packed({0xFF}, 1)).error, UnpackError::kTruncated);
  // Codes beyond the announced length, and a missing closing flag byte.
  EXPECT_EQ(UnpackImage(Packed({0xC0, 0x41, 0x42}, 1)).error, UnpackError::kTrailingBytes);
  const std::vector<uint8_t> full = {0xFF, 1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_TRUE(UnpackImage(Packed({0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 0}, 8)).ok());
  EXPECT_TRUE(UnpackImage(Packed(full, 8)).ok());  // a monitor only needs the bytes
  EXPECT_EQ(UnpackImage(Packed({0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 8)).error, UnpackError::kTrailingBytes);
}

TEST(ImageUnpacker, OverlappingMatchRepeatsTheLastBytes) {
  const UnpackResult result = UnpackImage(Packed({0xC0, 'a', 'b', 0x00, 0x03}, 8));
  ASSERT_TRUE(result.ok()) << result.message;
  EXPECT_EQ(std::string(result.data.begin(), result.data.end()), "abababab");
}

}  // namespace
}  // namespace tarvek
