// CRemovablePlayerCtl: the removable player control, class
// {E4A2960B-8F1D-4C73-B058-3A9D6F2E71C4}. Plays a file's sectors on the
// DVR disk named by the 19-byte open descriptor (date, hour, start sector,
// size in sectors, video mode); the disk is found again by its signature.
//
// Threads: UI thread, as CMediaPlayerCtl.
#pragma once

#include <optional>
#include <span>

#include "client/media/media_player_ctl.h"

namespace media {

inline constexpr const char* kRemovablePlayerClsid = "{E4A2960B-8F1D-4C73-B058-3A9D6F2E71C4}";
inline constexpr size_t kOpenDescriptorSize = 19;
// A descriptor whose year byte is 0xFF (the rest zero) plays the backup CD.
inline constexpr int kBackupCdYear = 0xFF;

struct OpenDescriptor {
  int year = 0;  // after 2000
  int month = 0;
  int day = 0;
  int hour = 0;
  uint32_t start_sector = 0;
  uint32_t size_sectors = 0;
  bool ntsc = true;
};

// The 19 bytes the host builds; nothing when they are fewer.
std::optional<OpenDescriptor> ReadOpenDescriptor(std::span<const uint8_t> bytes);
std::array<uint8_t, kOpenDescriptorSize> BuildOpenDescriptor(const OpenDescriptor& descriptor);

class CRemovablePlayerCtl final : public CMediaPlayerCtl {
  Q_OBJECT

 public:
  explicit CRemovablePlayerCtl(QWidget* parent = nullptr);
  static const DispatchTable& Table();

 protected:
  bool OpenFile(const QVariantList& args, LoadedRecording* loaded) override;
  void AnnounceOpened() override;

 private:
  std::optional<int> start_minute_;  // of the open in progress
};

}  // namespace media
