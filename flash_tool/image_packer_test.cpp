#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "flash_tool/image_packer.h"
#include "flash_tool/image_unpacker.h"

namespace tarvek {
namespace {

std::vector<uint8_t> Stream(const std::vector<uint8_t>& packed) {
  return {packed.begin() + kPackedHeaderSize, packed.end()};
}

uint32_t U32le(const std::vector<uint8_t>& bytes, size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

// Code-like bytes with repeats, runs of zeros and noise, like a firmware image.
std::vector<uint8_t> FirmwareLike(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> data;
  data.reserve(size);
  while (data.size() < size) {
    switch (random() % 3) {
      case 0:
        data.insert(data.end(), random() % 300, 0);
        break;
      case 1:
        for (int i = random() % 200; i > 0; --i) data.push_back(static_cast<uint8_t>(random()));
        break;
      default: {
        const size_t back = 1 + random() % 5000, count = 3 + random() % 40;
        for (size_t i = 0; i < count; ++i)
          data.push_back(data.size() >= back ? data[data.size() - back] : static_cast<uint8_t>(i));
      }
    }
  }
  data.resize(size);
  return data;
}

TEST(ImagePacker, EmptyInputIsHeaderAndOneClosingFlag) {
  const std::vector<uint8_t> packed = ImagePacker().Pack({});
  ASSERT_EQ(packed.size(), 33u);
  EXPECT_EQ(U32le(packed, 0), 2u);
  for (size_t i = 4; i < 20; ++i) EXPECT_EQ(packed[i], 0) << i;
  EXPECT_EQ(U32le(packed, 20), 1u);
  EXPECT_EQ(U32le(packed, 24), 0u);
  EXPECT_EQ(packed[32], 0);
  // Header bytes 0-27 sum to 2 + 1; the stream adds nothing.
  EXPECT_EQ(U32le(packed, 28), 3u);
}

TEST(ImagePacker, EightDistinctBytesFillOneGroupAndCloseWithZero) {
  const std::vector<uint8_t> input = {1, 2, 3, 4, 5, 6, 7, 8};
  const std::vector<uint8_t> packed = ImagePacker().Pack(input);
  const std::vector<uint8_t> expected = {0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 0};
  EXPECT_EQ(Stream(packed), expected);
  EXPECT_EQ(U32le(packed, 20), 10u);
  EXPECT_EQ(U32le(packed, 24), 8u);
  EXPECT_EQ(U32le(packed, 28), 2u + 10 + 8 + (0xFF + 36));
}

TEST(ImagePacker, RunOfTwentyCodesAsLiteralOverlappingMatchLiteral) {
  const std::vector<uint8_t> input(20, 0x61);
  const std::vector<uint8_t> packed = ImagePacker().Pack(input);
  const std::vector<uint8_t> expected = {0xA0, 0x61, 0x00, 0x0F, 0x61};
  EXPECT_EQ(Stream(packed), expected);
  EXPECT_EQ(U32le(packed, 20), 5u);
  EXPECT_EQ(U32le(packed, 24), 20u);
  const UnpackResult result = UnpackImage(packed);
  ASSERT_TRUE(result.ok()) << result.message;
  EXPECT_EQ(result.data, input);
}

TEST(ImagePacker, ProgressEvery8192InputBytes) {
  std::vector<int> seen;
  ImagePacker().Pack(std::vector<uint8_t>(8192 * 4, 7), [&](int percent) { seen.push_back(percent); });
  EXPECT_EQ(seen, (std::vector<int>{25, 50, 75, 100}));
}

TEST(ImagePacker, RoundTripsManySizesAndContents) {
  ImagePacker packer;  // reused: each Pack starts from a clean state
  std::mt19937 random(99);
  for (size_t size : {0u, 1u, 2u, 3u, 17u, 18u, 19u, 4095u, 4096u, 4097u, 4114u, 8192u, 12289u, 1u << 20}) {
    std::vector<uint8_t> noise(size);
    for (auto& byte : noise) byte = static_cast<uint8_t>(random());
    std::vector<uint8_t> text(size);
    for (size_t i = 0; i < size; ++i) text[i] = "boot: load image at 0x8000\n"[i % 27];
    for (const auto& input :
         {noise, text, FirmwareLike(size, static_cast<uint32_t>(size)), std::vector<uint8_t>(size, 0)}) {
      const std::vector<uint8_t> packed = packer.Pack(input);
      const UnpackResult result = UnpackImage(packed);
      ASSERT_TRUE(result.ok()) << "size " << size << ": " << result.message;
      ASSERT_EQ(result.data, input) << "size " << size;
      EXPECT_EQ(result.header.checksum, PackedChecksum(packed));
    }
  }
}

TEST(ImagePacker, MatchesReachAcrossTheWindowWrap) {
  // A block repeated just inside the window distance must still decode once
  // the ring has wrapped several times.
  std::vector<uint8_t> block = FirmwareLike(4000, 5);
  std::vector<uint8_t> input;
  for (int i = 0; i < 6; ++i) input.insert(input.end(), block.begin(), block.end());
  const std::vector<uint8_t> packed = ImagePacker().Pack(input);
  EXPECT_LT(packed.size(), input.size() / 3);
  const UnpackResult result = UnpackImage(packed);
  ASSERT_TRUE(result.ok()) << result.message;
  EXPECT_EQ(result.data, input);
}

}  // namespace
}  // namespace tarvek
