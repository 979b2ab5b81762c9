// CRemovableDisk: finds a DVR's recording disk among the PC's drives (or the
// disk images named by $KAVIRO_DISKS), checks its "Veldmark" signature, and
// lists its file index into an index table of ten text columns, which is the
// only form in which the players see the index.
//
// The disk is only ever opened read-only, for the scan, and closed again;
// the removable player finds it once more when it opens a file's sectors.
// Windows 9x paths (the raw-disk driver) are not supported.
//
// Threads: everything runs on the thread that owns the object (the UI
// thread, or kaviroctl's main thread).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace media {

class FileByteSource;

inline constexpr size_t kSectorSize = 512;
inline constexpr size_t kIndexSectors = 128;
inline constexpr size_t kIndexEntrySize = 64;
inline constexpr size_t kIndexEntries = kIndexSectors * kSectorSize / kIndexEntrySize;
inline constexpr int kIndexColumnCount = 10;

enum class IndexColumn {
  kFileIndex = 0,
  kFileName,
  kYear,
  kMonth,
  kDay,
  kHour,
  kEvent,
  kStartAddress,
  kSize,
  kVideoMode,
};

struct IndexColumnInfo {
  const char* heading;
  int width_px;
};
extern const std::array<IndexColumnInfo, kIndexColumnCount> kIndexColumns;

// The index table: headings as inserted, rows of ten texts, all left-aligned.
class IndexTable {
 public:
  using Row = std::array<std::string, kIndexColumnCount>;
  void InsertColumns();
  void AddRow(Row row) { rows_.push_back(std::move(row)); }
  void Clear() { rows_.clear(); }
  int row_count() const { return static_cast<int>(rows_.size()); }
  const std::string& text(int row, IndexColumn column) const;
  const std::vector<IndexColumnInfo>& columns() const { return columns_; }
  const std::vector<Row>& rows() const { return rows_; }

 private:
  std::vector<IndexColumnInfo> columns_;
  std::vector<Row> rows_;
};

// The rows of a 65,536-byte index: one per entry whose file index has bytes 2
// and 3 zero, in index order. `readable_entries` entries were read from the
// disk; those after them are not listed.
std::vector<IndexTable::Row> ListIndex(std::span<const uint8_t> index, size_t readable_entries);

class CRemovableDisk {
 public:
  // Refuses a missing table; otherwise keeps it and inserts the ten columns.
  bool AttachIndexTable(IndexTable* table);

  // Finds the disk, reads its index into the table and closes it again.
  bool OpenAndList();

  // Column readers by row; a missing row or an empty cell reads 0.
  int Year(int row) const;
  int Month(int row) const;
  int Day(int row) const;
  int Hour(int row) const;
  long FileIndex(int row) const;
  long StartAddress(int row) const;
  long Size(int row) const;
  std::string FileName(int row) const;
  // 1 (NTSC) unless the cell reads "PAL": a blank mode plays as NTSC.
  int VideoMode(int row) const;

  int RowCount() const;
  // The row whose file index is exactly `file_index`, -1 when none is.
  int FindRow(long file_index) const;
  // Empties the table and closes the disk if open.
  void Reset();

  // The drive or image where the signature was found by the last scan.
  const std::string& disk_path() const { return disk_path_; }

  // The drives examined, in order: $KAVIRO_DISKS (colon-separated) when
  // set, else the whole-disk nodes /dev/sd*, /dev/nvme*n*, /dev/vd*.
  static std::vector<std::string> CandidateDrives();

 private:
  long Number(int row, IndexColumn column) const;

  IndexTable* table_ = nullptr;
  std::unique_ptr<FileByteSource> disk_;  // open only during the scan
  std::string disk_path_;
};

// A file's size in the removable player's file list: "%ldMB" of sectors x
// 512 / 2^20, rounded down, in 64 bits (a 4 GB file is 2^23 sectors).
std::string SizeText(long sectors);

// The first drive of CandidateDrives() carrying the signature, opened
// read-only, with its path; null when the scan fails (traced as the reader does).
std::unique_ptr<FileByteSource> OpenSignedDisk(std::string* path);

// The sectors of one file on the disk at `disk_path`: refused when the size
// is 0 or the start lies beyond the disk; cut, with a trace, where the
// stretch runs past the end. Null with a reason.
std::unique_ptr<FileByteSource> OpenDiskStretch(const std::string& disk_path, uint32_t start_sector,
                                                uint32_t size_sectors, std::string* error);

}  // namespace media
