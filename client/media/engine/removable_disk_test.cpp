#include "client/media/engine/removable_disk.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "client/media/engine/byte_source.h"
#include "platform/trace.h"
#include "tools/dvremu/disk_image.h"

namespace media {
namespace {

namespace fs = std::filesystem;

class DiskFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("kaviro_disk_" + std::to_string(getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override {
    unsetenv("KAVIRO_DISKS");
    fs::remove_all(dir_);
  }

  // An image: `signed_disk` writes the signature; `index` fills sector 2 on
  // (0xFF beyond it); `sectors` is the whole image's length.
  std::string Image(const std::string& name, bool signed_disk, const std::vector<uint8_t>& index,
                    size_t sectors = 200) {
    std::vector<uint8_t> bytes(sectors * kSectorSize, 0);
    if (signed_disk) std::copy_n("Veldmark", 8, bytes.begin());
    const size_t index_bytes = std::min(kIndexSectors * kSectorSize, bytes.size() - std::min(bytes.size(), 1024ul));
    std::fill_n(bytes.begin() + 1024, index_bytes, 0xFF);
    std::copy_n(index.begin(), std::min(index.size(), index_bytes), bytes.begin() + 1024);
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    chmod(path.c_str(), 0444);  // the reader never asks for more
    return path;
  }

  static void Append(std::vector<uint8_t>* index, const dvremu::DiskEntry& entry) {
    const auto bytes = dvremu::BuildIndexEntry(entry);
    index->insert(index->end(), bytes.begin(), bytes.end());
  }

  fs::path dir_;
};

TEST_F(DiskFolder, SkipsTheSystemDiskAndListsTheSignedOne) {
  std::vector<uint8_t> index;
  dvremu::DiskEntry entry{.file_index = 7,
                          .year = 2026,
                          .month = 12,
                          .day = 9,
                          .hour = 14,
                          .start_minute = 5,
                          .start_second = 0,
                          .end_minute = 59,
                          .end_second = 59,
                          .start_sector = 130,
                          .size_sectors = 2048,
                          .video_mode = 0};
  Append(&index, entry);
  const std::string system = Image("system.img", false, {});
  const std::string dvr = Image("dvr.img", true, index);
  setenv("KAVIRO_DISKS", (system + ":" + dvr).c_str(), 1);

  IndexTable table;
  CRemovableDisk disk;
  ASSERT_FALSE(disk.AttachIndexTable(nullptr));
  ASSERT_TRUE(disk.AttachIndexTable(&table));
  ASSERT_EQ(table.columns().size(), 10u);
  EXPECT_STREQ(table.columns()[0].heading, "File Index");
  EXPECT_EQ(table.columns()[0].width_px, 20);
  EXPECT_STREQ(table.columns()[8].heading, "Size(Sector)");
  EXPECT_EQ(table.columns()[1].width_px, 100);

  ASSERT_TRUE(disk.OpenAndList());
  EXPECT_EQ(disk.disk_path(), dvr);
  ASSERT_EQ(disk.RowCount(), 1);
  const IndexTable::Row expected = {"7", "14:05:00/14:59:59", "2026", "12", "09", "14", "", "130", "2048", "PAL"};
  EXPECT_EQ(table.rows()[0], expected);
  EXPECT_EQ(disk.Year(0), 2026);
  EXPECT_EQ(disk.Day(0), 9);
  EXPECT_EQ(disk.StartAddress(0), 130);
  EXPECT_EQ(disk.Size(0), 2048);
  EXPECT_EQ(disk.VideoMode(0), 0);
  EXPECT_EQ(disk.FileName(0), "14:05:00/14:59:59");
  EXPECT_EQ(disk.Year(5), 0) << "a missing row reads 0";

  disk.Reset();
  EXPECT_EQ(disk.RowCount(), 0);
}

TEST_F(DiskFolder, ScanEndsAtTheFirstDriveThatDoesNotOpen) {
  const std::string dvr = Image("dvr.img", true, {});
  setenv("KAVIRO_DISKS", ((dir_ / "missing.img").string() + ":" + dvr).c_str(), 1);
  platform::TraceCapture traces;
  IndexTable table;
  CRemovableDisk disk;
  disk.AttachIndexTable(&table);
  EXPECT_FALSE(disk.OpenAndList());
  EXPECT_TRUE(traces.Contains("Removable HDD open error !!!"));

  // No signature anywhere: the scan runs off the list of drives.
  setenv("KAVIRO_DISKS", Image("plain.img", false, {}).c_str(), 1);
  EXPECT_FALSE(disk.OpenAndList());
  // Shorter than a sector: the read of sector 0 fails.
  std::ofstream((dir_ / "tiny.img").string()) << "Veldmark";
  setenv("KAVIRO_DISKS", (dir_ / "tiny.img").c_str(), 1);
  EXPECT_FALSE(disk.OpenAndList());
  EXPECT_TRUE(traces.Contains("DeviceIOControl failed. Error Code : 5"));
}

TEST_F(DiskFolder, EntriesListedOnlyWhenTheirIndexFitsSixteenBits) {
  std::vector<uint8_t> index;
  Append(&index, {.file_index = 65536});
  Append(&index, {.file_index = 70000, .start_sector = 5});
  index.insert(index.end(), 64, 0);  // a zero entry is a file: index 0 of 2000
  dvremu::DiskEntry odd{.file_index = 3, .year = 2025, .video_mode = 2};
  Append(&index, odd);
  setenv("KAVIRO_DISKS", Image("dvr.img", true, index).c_str(), 1);
  IndexTable table;
  CRemovableDisk disk;
  disk.AttachIndexTable(&table);
  ASSERT_TRUE(disk.OpenAndList());
  ASSERT_EQ(disk.RowCount(), 2);
  EXPECT_EQ(table.text(0, IndexColumn::kFileIndex), "0");
  EXPECT_EQ(table.text(0, IndexColumn::kYear), "2000");
  EXPECT_EQ(table.text(0, IndexColumn::kVideoMode), "PAL");
  EXPECT_EQ(table.text(1, IndexColumn::kVideoMode), "") << "mode 2 is neither";
  EXPECT_EQ(disk.VideoMode(1), 1) << "and plays as NTSC";
  for (int row = 0; row < 2; ++row) EXPECT_EQ(table.text(row, IndexColumn::kEvent), "");
}

TEST_F(DiskFolder, AllErasedIndexIsAnEmptyTableAndSuccess) {
  setenv("KAVIRO_DISKS", Image("dvr.img", true, {}).c_str(), 1);
  IndexTable table;
  CRemovableDisk disk;
  disk.AttachIndexTable(&table);
  EXPECT_TRUE(disk.OpenAndList());
  EXPECT_EQ(disk.RowCount(), 0);
}

TEST_F(DiskFolder, UnreadIndexSectorsListNoFiles) {
  // The image ends inside the index: what could not be read is not offered
  // as a thousand files at sector 0.
  std::vector<uint8_t> index;
  Append(&index, {.file_index = 1, .start_sector = 130, .size_sectors = 1});
  platform::TraceCapture traces;
  setenv("KAVIRO_DISKS", Image("cut.img", true, index, 5).c_str(), 1);
  IndexTable table;
  CRemovableDisk disk;
  disk.AttachIndexTable(&table);
  ASSERT_TRUE(disk.OpenAndList());
  EXPECT_EQ(disk.RowCount(), 1);
  EXPECT_TRUE(traces.Contains("[REMOVABLE DISK] Index read ended at sector 5"));
}

TEST_F(DiskFolder, FindRowMatchesTheWholeFileIndex) {
  std::vector<uint8_t> index;
  Append(&index, {.file_index = 10});
  Append(&index, {.file_index = 1});
  Append(&index, {.file_index = 100});
  setenv("KAVIRO_DISKS", Image("dvr.img", true, index).c_str(), 1);
  IndexTable table;
  CRemovableDisk disk;
  disk.AttachIndexTable(&table);
  ASSERT_TRUE(disk.OpenAndList());
  EXPECT_EQ(disk.FindRow(1), 1);
  EXPECT_EQ(disk.FindRow(10), 0);
  EXPECT_EQ(disk.FindRow(100), 2);
  EXPECT_EQ(disk.FindRow(0), -1);
}

TEST(RemovableDiskSizes, FileSizesOfFourGigabytesAndMoreDoNotWrap) {
  EXPECT_EQ(SizeText(2047), "0MB");
  EXPECT_EQ(SizeText(2048), "1MB");
  EXPECT_EQ(SizeText(8388608), "4096MB");
  EXPECT_EQ(SizeText(4294967295L), "2097151MB");
}

TEST_F(DiskFolder, StretchesAreCheckedAgainstTheDisk) {
  const std::string path = Image("dvr.img", true, {}, 300);
  std::string error;
  EXPECT_EQ(OpenDiskStretch(path, 130, 0, &error), nullptr);
  EXPECT_EQ(OpenDiskStretch(path, 300, 1, &error), nullptr);
  EXPECT_EQ(OpenDiskStretch(path, 0xFFFFFFFFu, 1, &error), nullptr);

  platform::TraceCapture traces;
  // 4 GB of sectors from a disk of 300: cut at its end, not wrapped around.
  auto cut = OpenDiskStretch(path, 130, 8u << 20, &error);
  ASSERT_NE(cut, nullptr);
  EXPECT_EQ(cut->size(), 170u * kSectorSize);
  EXPECT_TRUE(traces.Contains("[REMOVABLE DISK] File of 8388608 sectors from 130 cut at the end of the disk"));
  auto whole = OpenDiskStretch(path, 0, 2, &error);
  ASSERT_NE(whole, nullptr);
  std::array<uint8_t, 8> signature;
  ASSERT_TRUE(whole->ReadAt(0, signature));
  EXPECT_EQ(std::string(signature.begin(), signature.end()), "Veldmark");
  EXPECT_FALSE(whole->ReadAt(1020, signature)) << "no read past the window";
}

}  // namespace
}  // namespace media
