#include "flash_tool/image_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace tarvek {
namespace {

namespace fs = std::filesystem;

TEST(ImageFile, OnlyRegularFilesWithinTheLimitAreRead) {
  const fs::path dir = fs::temp_directory_path() / ("tarvek_image_file_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path file = dir / "app.bin";
  std::ofstream(file, std::ios::binary) << std::string(11, 'x');

  const ImageRead whole = ReadImageFile(file.string(), 11);
  EXPECT_EQ(whole.status, ImageReadStatus::kOk);
  EXPECT_EQ(whole.bytes.size(), 11u);
  EXPECT_EQ(ReadImageFile(file.string(), 10).status, ImageReadStatus::kTooLarge);

  EXPECT_EQ(ReadImageFile(dir.string(), 100).status, ImageReadStatus::kNotRegularFile);
  EXPECT_EQ(ReadImageFile("/dev/zero", kLargestUnpackedImage).status, ImageReadStatus::kNotRegularFile);
  const fs::path fifo = dir / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(ReadImageFile(fifo.string(), 100).status, ImageReadStatus::kNotRegularFile);
  EXPECT_EQ(ReadImageFile((dir / "missing").string(), 100).status, ImageReadStatus::kCannotOpen);
  fs::remove_all(dir);
}

TEST(ImageFile, TheLimitHoldsForWhatIsReadNotJustTheStatedSize) {
  // Files under /proc state a size of 0 and hold more.
  const ImageRead read = ReadImageFile("/proc/self/maps", 16);
  EXPECT_EQ(read.status, ImageReadStatus::kTooLarge);
  EXPECT_TRUE(read.bytes.empty());
}

TEST(ImageFile, TheLargestImageStillFitsThePackedLength) {
  // Worst case every byte is a literal: nine stream bytes per eight, plus
  // the closing flag byte when the last group is full.
  EXPECT_LE(kLargestUnpackedImage / 8 * 9 + 1, 0xFFFFFFFFull);
  EXPECT_GT((kLargestUnpackedImage + 8) / 8 * 9 + 1, 0xFFFFFFFFull);
}

}  // namespace
}  // namespace tarvek
