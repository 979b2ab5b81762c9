#include "client/media/removable_player_ctl.h"

#include <QByteArray>

#include "client/media/engine/backup_cd.h"
#include "client/media/engine/removable_disk.h"
#include "platform/trace.h"
#include "protocol/byte_reader.h"

namespace media {

std::optional<OpenDescriptor> ReadOpenDescriptor(std::span<const uint8_t> bytes) {
  protocol::ByteReader reader(bytes);
  OpenDescriptor descriptor;
  descriptor.year = reader.u8();
  reader.skip(1);
  descriptor.month = reader.u8();
  reader.skip(1);
  descriptor.day = reader.u8();
  reader.skip(1);
  descriptor.hour = reader.u8();
  reader.skip(1);
  descriptor.start_sector = reader.u32le();
  reader.skip(1);
  descriptor.size_sectors = reader.u32le();
  reader.skip(1);
  descriptor.ntsc = reader.u8() != 0;
  if (!reader.ok()) return std::nullopt;
  return descriptor;
}

std::array<uint8_t, kOpenDescriptorSize> BuildOpenDescriptor(const OpenDescriptor& descriptor) {
  std::array<uint8_t, kOpenDescriptorSize> bytes{};
  bytes[0] = static_cast<uint8_t>(descriptor.year);
  bytes[2] = static_cast<uint8_t>(descriptor.month);
  bytes[4] = static_cast<uint8_t>(descriptor.day);
  bytes[6] = static_cast<uint8_t>(descriptor.hour);
  for (int i = 0; i < 4; ++i) {
    bytes[static_cast<size_t>(8 + i)] = static_cast<uint8_t>(descriptor.start_sector >> (8 * i));
    bytes[static_cast<size_t>(13 + i)] = static_cast<uint8_t>(descriptor.size_sectors >> (8 * i));
  }
  bytes[18] = descriptor.ntsc ? 1 : 0;
  return bytes;
}

const CMediaPlayerCtl::DispatchTable& CRemovablePlayerCtl::Table() {
  static const DispatchTable table = {
      {1, PlayerMethod::kOpen},
      {2, PlayerMethod::kOpenAtMinute},
      {3, PlayerMethod::kForward},
      {4, PlayerMethod::kFastForward},
      {5, PlayerMethod::kReverse},
      {6, PlayerMethod::kFastReverse},
      {7, PlayerMethod::kFrameBack},
      {8, PlayerMethod::kFrameForward},
      {9, PlayerMethod::kStop},
      {10, PlayerMethod::kToggleRecording},
      {11, PlayerMethod::kReset},
      {12, PlayerMethod::kJump},
      {13, PlayerMethod::kChannelSelection},
      {14, PlayerMethod::kSpeed},
  };
  return table;
}

CRemovablePlayerCtl::CRemovablePlayerCtl(QWidget* parent)
    : CMediaPlayerCtl(Table(), "[REMOVABLE PLAYER CONTROL]", parent) {}

bool CRemovablePlayerCtl::OpenFile(const QVariantList& args, LoadedRecording* loaded) {
  start_minute_.reset();
  if (args.empty() || args.size() > 2 || args[0].typeId() != QMetaType::QByteArray) return false;
  if (args.size() == 2) {
    bool ok = false;
    const int minute = args[1].toInt(&ok);
    if (!ok || minute < 0 || minute > 59) return false;
    start_minute_ = minute;
  }
  const QByteArray bytes = args[0].toByteArray();
  const auto descriptor = ReadOpenDescriptor(
      std::span(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size())));
  if (!descriptor) {
    Trace("%s Open descriptor of %lld bytes refused", trace_prefix_, static_cast<long long>(bytes.size()));
    return false;
  }
  std::string disk_path;
  uint32_t start_sector = descriptor->start_sector;
  uint32_t size_sectors = descriptor->size_sectors;
  bool ntsc = descriptor->ntsc;
  if (descriptor->year == kBackupCdYear) {
    // The backup CD: its header, not the descriptor, says where the recording lies.
    CBackupCd cd;
    if (!cd.FindBackupCd()) return false;
    disk_path = cd.device_path();
    start_sector = kCdRecordingSector;
    size_sectors = cd.size_sectors();
    ntsc = true;  // the header names no video mode: as a blank one on a disk
  } else if (!OpenSignedDisk(&disk_path)) {
    return false;
  }
  std::string error;
  if (!LoadDiskFile(disk_path, start_sector, size_sectors, ntsc, loaded, &error)) {
    Trace("%s %s", trace_prefix_, error.c_str());
    return false;
  }
  return true;
}

void CRemovablePlayerCtl::AnnounceOpened() {
  if (start_minute_) playback().JumpTo(*start_minute_ * 60);
  emit PlayerEvent(kEventPlaying, 1);
}

}  // namespace media
