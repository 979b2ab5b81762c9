// The backup CD's header block and the search through the disc images.
#include "client/media/engine/backup_cd.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "client/media/engine/removable_disk.h"
#include "client/media/engine/testing/media_test_support.h"

namespace media {
namespace {

std::array<uint8_t, kCdBlockSize> Header(uint8_t hour, uint8_t start_minute, uint8_t start_second, uint8_t end_minute,
                                         uint8_t end_second, uint32_t sectors) {
  std::array<uint8_t, kCdBlockSize> block{};
  std::memcpy(block.data(), "VeldmarkCD", 10);
  block[11] = start_minute;
  block[12] = start_second;
  block[13] = end_minute;
  block[14] = end_second;
  for (int i = 0; i < 4; ++i) block[static_cast<size_t>(15 + i)] = static_cast<uint8_t>(sectors >> (8 * i));
  block[19] = 0x26;
  block[20] = 0x12;
  block[21] = 0x09;
  block[22] = hour;
  return block;
}

TEST(BackupCdHeader, ReadsTheBcdFieldsAsDecimalDigits) {
  BackupCdHeader header;
  ASSERT_TRUE(ParseBackupCdHeader(Header(0x14, 0x05, 0x00, 0x59, 0x59, 2097152), &header));
  EXPECT_EQ(header.time_text, "14:05:00-14:59:59");
  EXPECT_EQ(header.size_sectors, 2097152u);
  EXPECT_EQ(SizeText(static_cast<long>(header.size_sectors)), "1024MB");
  EXPECT_EQ(header.year, "26");
  EXPECT_EQ(header.month, "12");
  EXPECT_EQ(header.day, "09");
}

TEST(BackupCdHeader, RefusesShortBlocksAndOtherDiscs) {
  BackupCdHeader header;
  const auto block = Header(0x14, 0, 0, 0x59, 0x59, 1);
  // The header ends at byte 22: a block cut before it is no header at all.
  EXPECT_FALSE(ParseBackupCdHeader(std::span(block).first(22), &header));
  EXPECT_TRUE(ParseBackupCdHeader(std::span(block).first(23), &header));
  EXPECT_FALSE(ParseBackupCdHeader({}, &header));
  auto disk = block;
  std::memcpy(disk.data(), "Veldmark\0\0", 10);  // a DVR hard disk's signature, not a CD's
  EXPECT_FALSE(ParseBackupCdHeader(disk, &header));
}

class BackupCdSearch : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = test::TestFolder(); }
  void TearDown() override {
    unsetenv("KAVIRO_CDROMS");
    std::filesystem::remove_all(dir_);
  }
  std::string dir_;
};

TEST_F(BackupCdSearch, TakesTheFirstImageCarryingTheHeader) {
  const auto block = Header(0x08, 0x03, 0x44, 0x03, 0x54, 4096);
  test::WriteFile(dir_ + "/data.iso", std::vector<uint8_t>(2 * kCdBlockSize, 'x'));
  test::WriteFile(dir_ + "/short.iso", std::vector<uint8_t>(block.begin(), block.begin() + 100));
  test::WriteFile(dir_ + "/backup.iso", std::vector<uint8_t>(block.begin(), block.end()));
  const std::string list = dir_ + "/missing.iso:" + dir_ + "/data.iso:" + dir_ + "/short.iso::" + dir_ + "/backup.iso";
  setenv("KAVIRO_CDROMS", list.c_str(), 1);
  ASSERT_EQ(CBackupCd::CandidateDrives().front(), dir_ + "/missing.iso");

  CBackupCd cd;
  ASSERT_TRUE(cd.FindBackupCd());
  EXPECT_EQ(cd.device_path(), dir_ + "/backup.iso");
  EXPECT_EQ(cd.time_text(), "08:03:44-08:03:54");
  EXPECT_EQ(cd.size_mb(), 2);
  EXPECT_EQ(cd.year(), 2026);

  setenv("KAVIRO_CDROMS", (dir_ + "/data.iso").c_str(), 1);
  CBackupCd none;
  EXPECT_FALSE(none.FindBackupCd());
}

}  // namespace
}  // namespace media
