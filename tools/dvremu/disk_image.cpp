#include "tools/dvremu/disk_image.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "protocol/payload.h"

namespace dvremu {
namespace {

constexpr size_t kSector = 512;
constexpr size_t kIndexEntries = 1024;
constexpr uint32_t kFirstDataSector = 130;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// The first `seconds` of a record file, zero-padded to a multiple of `align`
// bytes; its length in 512-byte sectors in *sectors.
bool WriteRecordData(std::FILE* file, const VideoSource& video, const RecordFile& record, int seconds, size_t align,
                     uint32_t* sectors) {
  Stretch stretch;
  stretch.first_frame = 0;
  stretch.end_frame = static_cast<int64_t>(seconds) * video.format().fps;
  RecordFileStream data(video, record, stretch);
  std::vector<uint8_t> chunk;
  uint64_t written = 0;
  bool ok = true;
  while (!data.done() && ok) {
    data.Read(1 << 20, &chunk);
    ok = std::fwrite(chunk.data(), 1, chunk.size(), file) == chunk.size();
    written += chunk.size();
  }
  const size_t padding = (align - written % align) % align;
  const std::vector<uint8_t> zeros(padding, 0);
  ok = ok && std::fwrite(zeros.data(), 1, zeros.size(), file) == zeros.size();
  *sectors = static_cast<uint32_t>((written + padding) / kSector);
  return ok;
}

// The first `seconds` of a record as an index entry or CD header gives them.
DiskEntry EntryOf(const RecordFile& record, int seconds) {
  DiskEntry entry;
  entry.year = record.year;
  entry.month = record.month;
  entry.day = record.day;
  entry.hour = record.hour;
  entry.start_minute = record.start_minute;
  entry.start_second = record.start_second;
  const int end = record.start_in_hour_s() + seconds;
  entry.end_minute = std::min(59, end / 60);
  entry.end_second = end >= 3600 ? 59 : end % 60;
  return entry;
}

}  // namespace

std::array<uint8_t, 64> BuildIndexEntry(const DiskEntry& entry) {
  protocol::PayloadWriter out;
  out.u32le(entry.file_index);
  out.bcd(entry.year % 100).bcd(entry.month).bcd(entry.day).bcd(entry.hour);
  out.bcd(entry.start_minute).bcd(entry.start_second).bcd(entry.end_minute).bcd(entry.end_second);
  out.u32le(entry.start_sector);
  out.u32le(entry.size_sectors);
  std::vector<uint8_t> bytes = out.take();
  bytes.resize(64, 0);
  bytes[49] = entry.video_mode;
  std::array<uint8_t, 64> result;
  std::copy(bytes.begin(), bytes.end(), result.begin());
  return result;
}

bool WriteDiskImage(const std::string& path, const VideoSource& video, const Recordings& recordings,
                    int seconds_per_file, std::string* error) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  std::vector<uint8_t> index(kIndexEntries * 64, 0xFF);
  std::vector<uint8_t> head(kFirstDataSector * kSector, 0);
  std::memcpy(head.data(), "Veldmark", 8);
  bool ok = std::fwrite(head.data(), 1, head.size(), file.get()) == head.size();

  const int fps = video.format().fps;
  uint32_t sector = kFirstDataSector;
  size_t slot = 0;
  for (const RecordFile& record : recordings.files()) {
    if (slot >= kIndexEntries || !ok) break;
    const int seconds = std::min(seconds_per_file, record.duration_s);
    uint32_t sectors = 0;
    ok = WriteRecordData(file.get(), video, record, seconds, kSector, &sectors);

    DiskEntry entry = EntryOf(record, seconds);
    entry.file_index = record.index;
    entry.start_sector = sector;
    entry.size_sectors = sectors;
    entry.video_mode = fps == 25 ? 0 : 1;
    const auto bytes = BuildIndexEntry(entry);
    std::copy(bytes.begin(), bytes.end(), index.begin() + static_cast<std::ptrdiff_t>(slot * 64));
    ++slot;
    sector += sectors;
  }
  ok = ok && std::fseek(file.get(), 2 * kSector, SEEK_SET) == 0 &&
       std::fwrite(index.data(), 1, index.size(), file.get()) == index.size();
  ok = ok && std::fflush(file.get()) == 0;
  if (!ok) {
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

std::array<uint8_t, kCdBlock> BuildCdHeader(const DiskEntry& entry) {
  protocol::PayloadWriter out;
  out.raw(reinterpret_cast<const uint8_t*>("VeldmarkCD"), 10).u8(0);
  out.bcd(entry.start_minute).bcd(entry.start_second).bcd(entry.end_minute).bcd(entry.end_second);
  out.u32le(entry.size_sectors);
  out.bcd(entry.year % 100).bcd(entry.month).bcd(entry.day).bcd(entry.hour);
  const std::vector<uint8_t> bytes = out.take();
  std::array<uint8_t, kCdBlock> block{};
  std::copy(bytes.begin(), bytes.end(), block.begin());
  return block;
}

bool WriteCdImage(const std::string& path, const VideoSource& video, const Recordings& recordings, int seconds_per_file,
                  std::string* error) {
  if (recordings.files().empty()) {
    *error = "no recording to write";
    return false;
  }
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  const RecordFile& record = recordings.files().front();
  const int seconds = std::min(seconds_per_file, record.duration_s);
  std::array<uint8_t, kCdBlock> block{};
  bool ok = std::fwrite(block.data(), 1, block.size(), file.get()) == block.size();
  DiskEntry entry = EntryOf(record, seconds);
  ok = ok && WriteRecordData(file.get(), video, record, seconds, kCdBlock, &entry.size_sectors);
  block = BuildCdHeader(entry);
  ok = ok && std::fseek(file.get(), 0, SEEK_SET) == 0 &&
       std::fwrite(block.data(), 1, block.size(), file.get()) == block.size();
  ok = ok && std::fflush(file.get()) == 0;
  if (!ok) {
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace dvremu
