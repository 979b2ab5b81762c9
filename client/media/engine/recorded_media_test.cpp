#include "client/media/engine/recorded_media.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "client/media/engine/byte_source.h"
#include "client/media/engine/removable_disk.h"
#include "client/media/engine/testing/media_test_support.h"
#include "platform/trace.h"
#include "tools/dvremu/disk_image.h"
#include "tools/dvremu/recordings.h"
#include "tools/dvremu/video_source.h"

namespace media {
namespace {

namespace fs = std::filesystem;

using test::File;
using test::RecordFileBytes;
using test::RmpBytes;
using test::Video;

TEST(RecordFileReader, ListsFramesOfEveryChannel) {
  auto bytes = RecordFileBytes(2);
  RecordedMedia media;
  std::string error;
  MemoryByteSource source(bytes);
  ASSERT_TRUE(ReadRecordFile(source, 0, &media, &error)) << error;
  EXPECT_TRUE(std::equal(media.vol.begin(), media.vol.end(), Video().vol_header().begin()));
  EXPECT_EQ(media.pictures.size(), 240u);
  EXPECT_EQ(media.frame_count(), 60u);
  EXPECT_EQ(media.channel_count(), 4);
  EXPECT_TRUE(media.pictures[0].is_intra());
  EXPECT_EQ(media.pictures[4 * 30].second_in_hour(), 5 * 60 + 1);
  EXPECT_EQ(media.frame_end(59), 240u);

  // A download's 5-byte trailer changes nothing.
  for (uint8_t b : {42, 0, 0, 0, 1}) bytes.push_back(b);
  RecordedMedia with_trailer;
  MemoryByteSource trailed(bytes);
  ASSERT_TRUE(ReadRecordFile(trailed, 0, &with_trailer, &error));
  EXPECT_EQ(with_trailer.pictures.size(), 240u);
}

TEST(RecordFileReader, SkipsGarbageAndCutsATruncatedEnd) {
  auto bytes = RecordFileBytes(1);
  const size_t second_packet = 12 + 19;
  bytes.insert(bytes.begin() + second_packet, {0x54, 0x4F, 0x4C, 0x56, 0x99, 1, 2, 3});  // "TOLV" noise
  platform::TraceCapture traces;
  RecordedMedia media;
  std::string error;
  bytes.resize(bytes.size() - 5);  // into the last picture
  MemoryByteSource source(bytes);
  ASSERT_TRUE(ReadRecordFile(source, 0, &media, &error));
  EXPECT_EQ(media.pictures.size(), 119u) << "all but the cut last picture";
  EXPECT_TRUE(traces.Contains("[MEDIA READER] Skipped 8 bytes between packets at 31"));
  bool cut = false;
  for (const auto& text : traces.Texts()) cut |= text.find("cut short by the end of the file") != std::string::npos;
  EXPECT_TRUE(cut);
}

TEST(RecordFileReader, RefusesWhatHoldsNothingPlayable) {
  std::string error;
  RecordedMedia media;
  MemoryByteSource empty({});
  EXPECT_FALSE(ReadRecordFile(empty, 0, &media, &error));
  auto bytes = RecordFileBytes(1);
  std::vector<uint8_t> without_vol(bytes.begin() + 12 + 19, bytes.end());
  MemoryByteSource no_vol(without_vol);
  EXPECT_FALSE(ReadRecordFile(no_vol, 0, &media, &error));
  EXPECT_EQ(error, "no VOL header");
  std::vector<uint8_t> vol_only(bytes.begin(), bytes.begin() + 12 + 19);
  MemoryByteSource only(vol_only);
  RecordedMedia media2;
  EXPECT_FALSE(ReadRecordFile(only, 0, &media2, &error));
  EXPECT_EQ(error, "no pictures");
}

TEST(RmpReader, ReadsPicturesAndChecksTheGroupIndex) {
  std::vector<uint8_t> rmp, rmg;
  RmpBytes(2, 3, &rmp, &rmg);
  ASSERT_EQ(rmg.size(), 14u);
  std::string error;
  RecordedMedia media;
  MemoryByteSource source(rmp);
  ASSERT_TRUE(ReadRmpFile(source, rmg, 0, &media, &error)) << error;
  EXPECT_EQ(media.pictures.size(), 90u);
  EXPECT_EQ(media.pictures[30].number, 0);
  EXPECT_EQ(media.pictures[0].channel, 2);
  EXPECT_EQ(media.channel_count(), 4);

  // An index pointing past the end is not followed; the pictures stay.
  platform::TraceCapture traces;
  rmg[3 + 7] = 0xFF;
  rmg[6 + 7] = 0x7F;
  RecordedMedia again;
  ASSERT_TRUE(ReadRmpFile(source, rmg, 0, &again, &error));
  EXPECT_EQ(again.pictures.size(), 90u);
  EXPECT_TRUE(traces.Contains("[MEDIA READER] Group index wrong after 1 groups, not used further"));
  rmg.resize(9);
  ASSERT_TRUE(ReadRmpFile(source, rmg, 0, &again, &error));
  EXPECT_TRUE(traces.Contains("[MEDIA READER] Group index ends in a partial record"));
}

TEST(RmpReader, RefusesShortOrForeignFiles) {
  std::vector<uint8_t> rmp, rmg;
  RmpBytes(1, 1, &rmp, &rmg);
  std::string error;
  RecordedMedia media;
  std::vector<uint8_t> header_only(rmp.begin(), rmp.begin() + 24);
  MemoryByteSource empty_recording(header_only);
  EXPECT_FALSE(ReadRmpFile(empty_recording, {}, 0, &media, &error)) << "a recording with no I picture";
  std::vector<uint8_t> cut(rmp.begin(), rmp.begin() + 20);
  MemoryByteSource short_source(cut);
  EXPECT_FALSE(ReadRmpFile(short_source, {}, 0, &media, &error));
  rmp[0] = 'X';
  MemoryByteSource foreign(rmp);
  EXPECT_FALSE(ReadRmpFile(foreign, {}, 0, &media, &error));
}

TEST(RmpReader, MergedChannelsPlayFrameByFrame) {
  std::vector<RecordedMedia> parts(2);
  std::vector<uint8_t> rmp1, rmp2, rmg;
  RmpBytes(3, 1, &rmp2, &rmg);
  RmpBytes(1, 1, &rmp1, &rmg);
  std::string error;
  MemoryByteSource one(rmp2), two(rmp1);
  ASSERT_TRUE(ReadRmpFile(one, {}, 0, &parts[0], &error));
  ASSERT_TRUE(ReadRmpFile(two, {}, 1, &parts[1], &error));
  const RecordedMedia merged = MergeChannels(std::move(parts));
  EXPECT_EQ(merged.frame_count(), 30u);
  EXPECT_EQ(merged.pictures[0].channel, 1);
  EXPECT_EQ(merged.pictures[1].channel, 3);
  EXPECT_EQ(merged.pictures[1].source, 0);
}

TEST(DiskRecording, ImageWrittenByTheEmulatorListsAndReads) {
  const fs::path dir = fs::temp_directory_path() / ("kaviro_media_" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string image = (dir / "dvr.img").string();
  dvremu::Recordings recordings;
  std::tm now{};
  now.tm_year = 126;
  now.tm_mon = 11;
  now.tm_mday = 9;
  now.tm_hour = 15;
  now.tm_min = 30;
  recordings.Generate(1, now, 1, Video());
  std::string error;
  ASSERT_TRUE(dvremu::WriteDiskImage(image, Video(), recordings, 2, &error)) << error;
  setenv("KAVIRO_DISKS", image.c_str(), 1);

  IndexTable table;
  CRemovableDisk disk;
  disk.AttachIndexTable(&table);
  ASSERT_TRUE(disk.OpenAndList());
  ASSERT_EQ(disk.RowCount(), static_cast<int>(recordings.files().size()));
  const auto& first = recordings.files().front();
  EXPECT_EQ(disk.FileIndex(0), static_cast<long>(first.index));
  EXPECT_EQ(disk.StartAddress(0), 130);
  EXPECT_EQ(disk.VideoMode(0), 1);

  platform::TraceCapture traces;
  auto data = OpenDiskStretch(disk.disk_path(), static_cast<uint32_t>(disk.StartAddress(0)),
                              static_cast<uint32_t>(disk.Size(0)), &error);
  ASSERT_NE(data, nullptr);
  RecordedMedia media;
  ASSERT_TRUE(ReadRecordFile(*data, 0, &media, &error)) << error;
  EXPECT_EQ(media.pictures.size(), 2u * 30 * 4);
  EXPECT_EQ(media.pictures[0].time.hour, first.hour);
  EXPECT_TRUE(traces.Texts().empty()) << "zero padding is not garbage: " << traces.Texts().front();
  unsetenv("KAVIRO_DISKS");
  fs::remove_all(dir);
}

}  // namespace
}  // namespace media
