// A DVR recording disk as the recorder leaves it, written to an image file so
// that the removable player can be tried without a DVR: the "Veldmark"
// signature in sector 0, the file index in sectors 2-129 (1,024 entries of
// 64 bytes, unused slots 0xFF), then each file's data in the record file
// format, zero-padded to whole sectors. Sectors are 512 bytes.
//
// Each file holds at most `seconds_per_file` seconds from its start, and its
// index entry ends there, so that an image of a few days stays small.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "tools/dvremu/recordings.h"
#include "tools/dvremu/video_source.h"

namespace dvremu {

inline constexpr int kDiskSecondsPerFile = 10;

struct DiskEntry {
  uint32_t file_index = 0;
  int year = 2000;  // full year
  int month = 1;
  int day = 1;
  int hour = 0;
  int start_minute = 0;
  int start_second = 0;
  int end_minute = 0;
  int end_second = 0;
  uint32_t start_sector = 0;
  uint32_t size_sectors = 0;
  uint8_t video_mode = 1;  // 1 NTSC, 0 PAL
};

std::array<uint8_t, 64> BuildIndexEntry(const DiskEntry& entry);

// Writes the image; false with a reason when the file cannot be written.
// Files beyond the index's 1,024 entries are left out.
bool WriteDiskImage(const std::string& path, const VideoSource& video, const Recordings& recordings,
                    int seconds_per_file, std::string* error);

// A backup CD image: the "VeldmarkCD" header in block 0 (2,048 bytes), then
// the first recording in the record file format from block 1, zero-padded to
// whole blocks; the header's size counts its 512-byte sectors.
inline constexpr size_t kCdBlock = 2048;
std::array<uint8_t, kCdBlock> BuildCdHeader(const DiskEntry& entry);
bool WriteCdImage(const std::string& path, const VideoSource& video, const Recordings& recordings, int seconds_per_file,
                  std::string* error);

}  // namespace dvremu
