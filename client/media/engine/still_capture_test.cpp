// Capture files: their names in the image folder and the bitmap's layout,
// read back field by field and by QImage.
#include "client/media/engine/still_capture.h"

#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>

#include "client/media/engine/testing/media_test_support.h"
#include "viewer_control/engine/testing/engine_test_support.h"

namespace media {
namespace {

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t U16(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }

CapturedPixels Picture(int width, int height) {
  CapturedPixels image{width, height, std::vector<uint32_t>(static_cast<size_t>(width * height), 0x0000FF)};
  for (int x = 0; x < width; ++x) image.rgb[static_cast<size_t>(x)] = 0xFF0000;  // the top row red
  return image;
}

TEST(StillCapture, TwentyFourBitsHaveNoPaletteAndPaddedBottomUpRows) {
  EXPECT_EQ(CaptureBitCount(16), 24);
  EXPECT_EQ(CaptureBitCount(32), 24);
  const auto bytes = EncodeBmp(Picture(5, 3), 24);
  const uint32_t row = 16;  // 15 bytes padded to 4
  ASSERT_EQ(bytes.size(), 54 + 3 * row);
  EXPECT_EQ(bytes[0], 'B');
  EXPECT_EQ(bytes[1], 'M');
  EXPECT_EQ(U32(bytes, 2), bytes.size());
  EXPECT_EQ(U32(bytes, 6), 0u);
  EXPECT_EQ(U32(bytes, 10), 54u);
  EXPECT_EQ(U32(bytes, 14), 40u);
  EXPECT_EQ(U32(bytes, 18), 5u);
  EXPECT_EQ(U32(bytes, 22), 3u);
  EXPECT_EQ(U16(bytes, 26), 1);
  EXPECT_EQ(U16(bytes, 28), 24);
  EXPECT_EQ(U32(bytes, 30), 0u);
  EXPECT_EQ(U32(bytes, 34), 3 * row);
  // Bottom-up: the last row in the file is the red top row, blue-green-red order.
  const size_t top = 54 + 2 * row;
  EXPECT_EQ(bytes[top], 0);
  EXPECT_EQ(bytes[top + 2], 255);
  EXPECT_EQ(bytes[54], 255) << "the bottom row is blue";
  EXPECT_EQ(bytes[54 + 15], 0) << "padding";

  const QImage back = QImage::fromData(bytes.data(), static_cast<int>(bytes.size()), "BMP");
  ASSERT_FALSE(back.isNull());
  EXPECT_EQ(back.pixel(0, 0), qRgb(255, 0, 0));
  EXPECT_EQ(back.pixel(4, 2), qRgb(0, 0, 255));
}

TEST(StillCapture, EightBitsCarryAFullPaletteBeforeThePixels) {
  const auto bytes = EncodeBmp(Picture(6, 2), 8);
  EXPECT_EQ(U32(bytes, 10), 1078u);
  EXPECT_EQ(U16(bytes, 28), 8);
  EXPECT_EQ(U32(bytes, 34), 2 * 8u);
  ASSERT_EQ(bytes.size(), 1078u + 16);
  EXPECT_EQ(U32(bytes, 2), bytes.size());
  const QImage back = QImage::fromData(bytes.data(), static_cast<int>(bytes.size()), "BMP");
  ASSERT_FALSE(back.isNull());
  EXPECT_EQ(back.pixel(2, 0), qRgb(255, 0, 0));
  EXPECT_EQ(back.pixel(2, 1), qRgb(0, 0, 255));
}

TEST(StillCapture, CapturesInOneMinuteTakeTheNextFreeSuffix) {
  const std::string dir = test::TestFolder() + "/";
  std::tm local{};
  local.tm_year = 126;
  local.tm_mon = 11;
  local.tm_mday = 9;
  local.tm_hour = 14;
  local.tm_min = 5;
  const std::string first = CaptureFileName(dir, local);
  EXPECT_EQ(first, dir + "202612091405.bmp");
  ASSERT_TRUE(WriteBmp(first, Picture(4, 4), 24));
  EXPECT_FALSE(WriteBmp(first, Picture(4, 4), 24)) << "an existing capture is never overwritten";
  const std::string second = CaptureFileName(dir, local);
  EXPECT_EQ(second, dir + "202612091405_0.bmp");
  // Any extension counts as taken.
  test::WriteFile(dir + "202612091405_0.png", {1});
  EXPECT_EQ(CaptureFileName(dir, local), dir + "202612091405_1.bmp");
  EXPECT_FALSE(WriteBmp(dir + "missing/x.bmp", Picture(4, 4), 24));
  std::filesystem::remove_all(dir);
}

TEST(StillCapture, ADiskThatFillsLeavesNoHalfBitmap) {
  const std::string dir = test::TestFolder();
  const std::string path = dir + "/full.bmp";
  {
    vistrel::test::FileSizeLimit full(1000);
    EXPECT_FALSE(WriteBmp(path, Picture(64, 64), 24));
  }
  EXPECT_FALSE(std::filesystem::exists(path)) << "a cut bitmap stays behind";
  // With room again the same name is free and the picture whole.
  ASSERT_TRUE(WriteBmp(path, Picture(64, 64), 24));
  EXPECT_FALSE(QImage(QString::fromStdString(path), "BMP").isNull());
  std::filesystem::remove_all(dir);
}

TEST(StillCapture, TheSaveFileListShowsBitmapsWithTheirSizeInKb) {
  EXPECT_EQ(SizeInKb(0), "1 KB");
  EXPECT_EQ(SizeInKb(1000), "1 KB");
  EXPECT_EQ(SizeInKb(1023), "1 KB");
  EXPECT_EQ(SizeInKb(1024), "2 KB");
  const std::string dir = test::TestFolder();
  test::WriteFile(dir + "/b.bmp", std::vector<uint8_t>(1024, 0));
  test::WriteFile(dir + "/a.bmp", std::vector<uint8_t>(1000, 0));
  test::WriteFile(dir + "/c.png", std::vector<uint8_t>(10, 0));
  std::filesystem::create_directories(dir + "/d.bmp");
  const auto images = ListSavedImages(dir);
  ASSERT_EQ(images.size(), 2u) << "bitmap files only";
  EXPECT_EQ(images[0].name, "a.bmp");
  EXPECT_EQ(images[0].size, "1 KB");
  EXPECT_EQ(images[1].size, "2 KB");
  EXPECT_EQ(images[0].date.size(), 10u);
  EXPECT_EQ(images[0].time.size(), 5u);
  EXPECT_TRUE(ListSavedImages(dir + "/missing").empty());
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace media
