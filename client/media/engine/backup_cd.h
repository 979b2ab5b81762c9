// CBackupCd: finds a DVR's backup CD among the CD-ROM drives (after the disc
// images named by $KAVIRO_CDROMS) by the "VeldmarkCD" header in its first
// 2,048-byte block, and keeps the header's one recording: its time text,
// size and date. The recording itself starts at block 1 in the record file
// format, `size` 512-byte sectors long.
//
// Threads: everything runs on the thread that owns the object.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace media {

inline constexpr size_t kCdBlockSize = 2048;
// The recording's first 512-byte sector: block 1 of the disc.
inline constexpr uint32_t kCdRecordingSector = kCdBlockSize / 512;

struct BackupCdHeader {
  std::string time_text;  // "14:05:00-14:59:59"
  uint32_t size_sectors = 0;
  std::string year;  // two digits after 2000
  std::string month;
  std::string day;
};

// The header of block 0; false when the block is too short or lacks the magic.
bool ParseBackupCdHeader(std::span<const uint8_t> block, BackupCdHeader* header);

// Reads logical block `lba` of a drive or disc image: SCSI READ CD through
// SG_IO where the node takes it, else a plain read. False when either fails.
bool ReadCdBlock(const std::string& path, uint32_t lba, std::span<uint8_t, kCdBlockSize> out);

class CBackupCd {
 public:
  // Examines CandidateDrives() in order; the first carrying the header wins.
  bool FindBackupCd();

  const std::string& time_text() const { return header_.time_text; }
  uint32_t size_sectors() const { return header_.size_sectors; }
  // sectors x 512 / 2^20, in 64 bits.
  long size_mb() const;
  int year() const;  // 2000 + the two digits
  const std::string& year_text() const { return header_.year; }
  const std::string& month() const { return header_.month; }
  const std::string& day() const { return header_.day; }
  const std::string& device_path() const { return device_path_; }

  // $KAVIRO_CDROMS (colon-separated image files) first, then /dev/sr0, sr1, ...
  static std::vector<std::string> CandidateDrives();

 private:
  BackupCdHeader header_;
  std::string device_path_;
};

}  // namespace media
