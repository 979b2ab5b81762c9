#include "client/media/engine/removable_disk.h"

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>

#include "client/media/engine/byte_source.h"
#include "platform/trace.h"
#include "protocol/byte_reader.h"

namespace media {

const std::array<IndexColumnInfo, kIndexColumnCount> kIndexColumns = {{
    {"File Index", 20},
    {"File Name", 100},
    {"Year", 50},
    {"Month", 50},
    {"Day", 50},
    {"Hour", 50},
    {"Event", 90},
    {"Start Address", 90},
    {"Size(Sector)", 90},
    {"Video Mode", 90},
}};

namespace {

constexpr char kSignature[] = "Veldmark";
constexpr int kMaxDrives = 259;
constexpr uint64_t kIndexOffset = 2 * kSectorSize;

std::string Format(const char* format, auto... values) {
  char text[64];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

// The two digits of a BCD byte, high nibble first.
std::string Digits(uint8_t bcd) { return Format("%01d%01d", bcd >> 4, bcd & 0x0F); }

IndexTable::Row EntryRow(std::span<const uint8_t> entry) {
  protocol::ByteReader reader(entry);
  const uint32_t file_index = reader.u32le();
  const uint8_t year = reader.u8();
  const uint8_t month = reader.u8();
  const uint8_t day = reader.u8();
  const uint8_t hour = reader.u8();
  const uint8_t start_minute = reader.u8();
  const uint8_t start_second = reader.u8();
  const uint8_t end_minute = reader.u8();
  const uint8_t end_second = reader.u8();
  const uint32_t start_address = reader.u32le();
  const uint32_t size = reader.u32le();
  reader.skip(29);
  const uint8_t video_mode = reader.u8();

  IndexTable::Row row;
  row[0] = Format("%d", static_cast<int>(file_index));
  row[1] = Digits(hour) + ":" + Digits(start_minute) + ":" + Digits(start_second) + "/" + Digits(hour) + ":" +
           Digits(end_minute) + ":" + Digits(end_second);
  row[2] = "20" + Digits(year);
  row[3] = Digits(month);
  row[4] = Digits(day);
  row[5] = Digits(hour);
  // row[6], "Event": the index carries no event.
  row[7] = Format("%ld", static_cast<long>(start_address));
  row[8] = Format("%ld", static_cast<long>(size));
  row[9] = video_mode == 1 ? "NTSC" : video_mode == 0 ? "PAL" : "";
  return row;
}

// A whole disk, not a partition: sda, nvme0n1, vda.
bool IsWholeDisk(const std::string& name) {
  static const std::regex pattern("sd[a-z]+|nvme[0-9]+n[0-9]+|vd[a-z]+");
  return std::regex_match(name, pattern);
}

}  // namespace

void IndexTable::InsertColumns() { columns_.assign(kIndexColumns.begin(), kIndexColumns.end()); }

const std::string& IndexTable::text(int row, IndexColumn column) const {
  static const std::string empty;
  if (row < 0 || row >= row_count()) return empty;
  return rows_[static_cast<size_t>(row)][static_cast<size_t>(column)];
}

std::vector<IndexTable::Row> ListIndex(std::span<const uint8_t> index, size_t readable_entries) {
  std::vector<IndexTable::Row> rows;
  const size_t entries = std::min({readable_entries, kIndexEntries, index.size() / kIndexEntrySize});
  for (size_t i = 0; i < entries; ++i) {
    const auto entry = index.subspan(i * kIndexEntrySize, kIndexEntrySize);
    // Bytes 2 and 3 set: an empty or erased slot, or an index of 65,536 and more.
    if (entry[2] != 0 || entry[3] != 0) continue;
    rows.push_back(EntryRow(entry));
  }
  return rows;
}

std::vector<std::string> CRemovableDisk::CandidateDrives() {
  std::vector<std::string> drives;
  if (const char* listed = std::getenv("KAVIRO_DISKS")) {
    std::string rest = listed;
    for (size_t colon; (colon = rest.find(':')) != std::string::npos; rest.erase(0, colon + 1)) {
      if (colon > 0) drives.push_back(rest.substr(0, colon));
    }
    if (!rest.empty()) drives.push_back(rest);
    return drives;
  }
  if (DIR* dev = opendir("/dev")) {
    while (const dirent* item = readdir(dev)) {
      if (IsWholeDisk(item->d_name)) drives.push_back(std::string("/dev/") + item->d_name);
    }
    closedir(dev);
  }
  // sda before sdb before sdaa; then nvme, then vd, as the kernel numbers them.
  auto rank = [](const std::string& path) {
    return path.starts_with("/dev/sd") ? 0 : path.starts_with("/dev/nvme") ? 1 : 2;
  };
  std::sort(drives.begin(), drives.end(), [&](const std::string& a, const std::string& b) {
    if (rank(a) != rank(b)) return rank(a) < rank(b);
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
  });
  return drives;
}

std::string SizeText(long sectors) {
  const uint64_t bytes = static_cast<uint64_t>(std::max(sectors, 0L)) * kSectorSize;
  return Format("%ldMB", static_cast<long>(bytes >> 20));
}

std::unique_ptr<FileByteSource> OpenSignedDisk(std::string* path) {
  const std::vector<std::string> drives = CRemovableDisk::CandidateDrives();
  for (size_t number = 0; number < static_cast<size_t>(kMaxDrives); ++number) {
    if (number >= drives.size()) {
      Trace("Removable HDD open error !!!");
      return nullptr;
    }
    auto disk = FileByteSource::Open(drives[number]);
    if (!disk) {
      // The scan ends at the first drive that does not open (as a plain user
      // meets with /dev/sda).
      Trace("Removable HDD open error !!!");
      return nullptr;
    }
    std::array<uint8_t, kSectorSize> sector{};
    if (!disk->ReadAt(0, sector)) {
      Trace("DeviceIOControl failed. Error Code : %d", errno);
      return nullptr;
    }
    if (std::memcmp(sector.data(), kSignature, 8) == 0) {
      *path = drives[number];
      return disk;
    }
  }
  Trace("Removable HDD open error !!!");
  return nullptr;
}

bool CRemovableDisk::AttachIndexTable(IndexTable* table) {
  if (table == nullptr) return false;
  table_ = table;
  table_->InsertColumns();
  return true;
}

bool CRemovableDisk::OpenAndList() {
  if (table_ == nullptr) return false;
  disk_ = OpenSignedDisk(&disk_path_);
  if (!disk_) return false;
  std::vector<uint8_t> index(kIndexSectors * kSectorSize, 0);
  size_t sectors_read = 0;
  for (; sectors_read < kIndexSectors; ++sectors_read) {
    const auto sector = std::span(index).subspan(sectors_read * kSectorSize, kSectorSize);
    if (!disk_->ReadAt(kIndexOffset + sectors_read * kSectorSize, sector)) break;
  }
  if (sectors_read < kIndexSectors) {
    Trace("[REMOVABLE DISK] Index read ended at sector %zu", 2 + sectors_read);
  }
  // Entries that could not be read are not files: listing their zero bytes
  // would offer files that point at the disk's first sector.
  for (auto& row : ListIndex(index, sectors_read * kSectorSize / kIndexEntrySize)) table_->AddRow(std::move(row));
  disk_.reset();
  return true;
}

long CRemovableDisk::Number(int row, IndexColumn column) const {
  if (table_ == nullptr) return 0;
  return std::strtol(table_->text(row, column).c_str(), nullptr, 10);
}

int CRemovableDisk::Year(int row) const { return static_cast<int>(Number(row, IndexColumn::kYear)); }
int CRemovableDisk::Month(int row) const { return static_cast<int>(Number(row, IndexColumn::kMonth)); }
int CRemovableDisk::Day(int row) const { return static_cast<int>(Number(row, IndexColumn::kDay)); }
int CRemovableDisk::Hour(int row) const { return static_cast<int>(Number(row, IndexColumn::kHour)); }
long CRemovableDisk::FileIndex(int row) const { return Number(row, IndexColumn::kFileIndex); }
long CRemovableDisk::StartAddress(int row) const { return Number(row, IndexColumn::kStartAddress); }
long CRemovableDisk::Size(int row) const { return Number(row, IndexColumn::kSize); }

std::string CRemovableDisk::FileName(int row) const {
  return table_ == nullptr ? std::string() : table_->text(row, IndexColumn::kFileName);
}

int CRemovableDisk::VideoMode(int row) const {
  return table_ != nullptr && table_->text(row, IndexColumn::kVideoMode) == "PAL" ? 0 : 1;
}

int CRemovableDisk::RowCount() const { return table_ == nullptr ? 0 : table_->row_count(); }

int CRemovableDisk::FindRow(long file_index) const {
  // The whole text must match: a prefix would find file 10 for file 1.
  const std::string wanted = std::to_string(file_index);
  for (int row = 0; row < RowCount(); ++row) {
    if (table_->text(row, IndexColumn::kFileIndex) == wanted) return row;
  }
  return -1;
}

void CRemovableDisk::Reset() {
  if (table_ != nullptr) table_->Clear();
  disk_.reset();
}

std::unique_ptr<FileByteSource> OpenDiskStretch(const std::string& disk_path, uint32_t start_sector,
                                                uint32_t size_sectors, std::string* error) {
  if (size_sectors == 0) {
    *error = "the file has no sectors";
    return nullptr;
  }
  auto disk = FileByteSource::Open(disk_path);
  if (!disk) {
    *error = "the disk does not open";
    return nullptr;
  }
  bool cut = false;
  // 64-bit sector arithmetic: a size of 4 GB and more is 2^23 sectors and up.
  const uint64_t base = static_cast<uint64_t>(start_sector) * kSectorSize;
  const uint64_t length = static_cast<uint64_t>(size_sectors) * kSectorSize;
  if (!disk->SetWindow(base, length, &cut)) {
    Trace("[REMOVABLE DISK] Start sector %u lies beyond the disk", start_sector);
    *error = "the start sector lies beyond the disk";
    return nullptr;
  }
  if (cut) {
    Trace("[REMOVABLE DISK] File of %u sectors from %u cut at the end of the disk", size_sectors, start_sector);
  }
  return disk;
}

}  // namespace media
