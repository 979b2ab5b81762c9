#include "client/media/engine/backup_cd.h"

#include <dirent.h>
#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/trace.h"
#include "protocol/byte_reader.h"

namespace media {

namespace {

constexpr char kMagic[] = "VeldmarkCD";
constexpr size_t kMagicSize = 10;
constexpr size_t kHeaderSize = 23;
constexpr size_t kSenseSize = 14;
constexpr unsigned kReadTimeoutMs = 10000;

std::string Digits(uint8_t bcd) {
  char text[8];
  std::snprintf(text, sizeof text, "%01d%01d", bcd >> 4, bcd & 0x0F);
  return text;
}

// One block of user data through READ CD; false when the node refuses SG_IO
// (a disc image, a drive behind another driver) or the command fails.
bool ReadCdCommand(int fd, uint32_t lba, std::span<uint8_t, kCdBlockSize> out) {
  uint8_t command[12] = {0xBE,
                         0,
                         static_cast<uint8_t>(lba >> 24),
                         static_cast<uint8_t>(lba >> 16),
                         static_cast<uint8_t>(lba >> 8),
                         static_cast<uint8_t>(lba),
                         0,
                         0,
                         1,
                         0x10 /* user data only */,
                         0,
                         0};
  uint8_t sense[kSenseSize] = {};
  sg_io_hdr_t io{};
  io.interface_id = 'S';
  io.dxfer_direction = SG_DXFER_FROM_DEV;
  io.cmd_len = sizeof command;
  io.cmdp = command;
  io.mx_sb_len = sizeof sense;
  io.sbp = sense;
  io.dxfer_len = static_cast<unsigned>(out.size());
  io.dxferp = out.data();
  io.timeout = kReadTimeoutMs;
  if (ioctl(fd, SG_IO, &io) != 0) return false;
  // Anything but a clean completion counts as no disc in that drive.
  return (io.info & SG_INFO_OK_MASK) == SG_INFO_OK && io.resid == 0;
}

}  // namespace

bool ParseBackupCdHeader(std::span<const uint8_t> block, BackupCdHeader* header) {
  if (block.size() < kHeaderSize || std::memcmp(block.data(), kMagic, kMagicSize) != 0) return false;
  protocol::ByteReader reader(block.subspan(kMagicSize + 1));
  const uint8_t start_minute = reader.u8();
  const uint8_t start_second = reader.u8();
  const uint8_t end_minute = reader.u8();
  const uint8_t end_second = reader.u8();
  const uint32_t size = reader.u32le();
  const uint8_t year = reader.u8();
  const uint8_t month = reader.u8();
  const uint8_t day = reader.u8();
  const uint8_t hour = reader.u8();
  char text[32];
  std::snprintf(text, sizeof text, "%02x:%02x:%02x-%02x:%02x:%02x", hour, start_minute, start_second, hour, end_minute,
                end_second);
  header->time_text = text;
  header->size_sectors = size;
  header->year = Digits(year);
  header->month = Digits(month);
  header->day = Digits(day);
  return true;
}

bool ReadCdBlock(const std::string& path, uint32_t lba, std::span<uint8_t, kCdBlockSize> out) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ReadCdCommand(fd, lba, out);
  if (!ok) {
    const off_t offset = static_cast<off_t>(lba) * static_cast<off_t>(kCdBlockSize);
    ok = pread(fd, out.data(), out.size(), offset) == static_cast<ssize_t>(out.size());
  }
  close(fd);
  return ok;
}

std::vector<std::string> CBackupCd::CandidateDrives() {
  std::vector<std::string> drives;
  if (const char* listed = std::getenv("KAVIRO_CDROMS")) {
    std::string rest = listed;
    for (size_t colon; (colon = rest.find(':')) != std::string::npos; rest.erase(0, colon + 1)) {
      if (colon > 0) drives.push_back(rest.substr(0, colon));
    }
    if (!rest.empty()) drives.push_back(rest);
  }
  std::vector<std::string> nodes;
  if (DIR* dev = opendir("/dev")) {
    while (const dirent* item = readdir(dev)) {
      const std::string name = item->d_name;
      if (name.size() > 2 && name.starts_with("sr") &&
          std::all_of(name.begin() + 2, name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        nodes.push_back("/dev/" + name);
      }
    }
    closedir(dev);
  }
  // sr2 before sr10.
  std::sort(nodes.begin(), nodes.end(), [](const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
  });
  drives.insert(drives.end(), nodes.begin(), nodes.end());
  return drives;
}

bool CBackupCd::FindBackupCd() {
  for (const std::string& drive : CandidateDrives()) {
    std::array<uint8_t, kCdBlockSize> block{};
    BackupCdHeader header;
    if (ReadCdBlock(drive, 0, block) && ParseBackupCdHeader(block, &header)) {
      header_ = std::move(header);
      device_path_ = drive;
      return true;
    }
  }
  Trace("[CDROM-Player] No match Veldmark backup CD!");
  return false;
}

long CBackupCd::size_mb() const { return static_cast<long>((static_cast<uint64_t>(header_.size_sectors) * 512) >> 20); }

int CBackupCd::year() const { return 2000 + std::atoi(header_.year.c_str()); }

}  // namespace media
