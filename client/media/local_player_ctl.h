// CLocalPlayerCtl: the local player control, class
// {71C5A8E2-3D90-4B17-A6F4-98B2E0D5C13A}. Plays our .rmp recordings (with
// the channels recorded beside them) and downloaded .amg files by path.
//
// Threads: UI thread, as CMediaPlayerCtl.
#pragma once

#include "client/media/media_player_ctl.h"

namespace media {

inline constexpr const char* kLocalPlayerClsid = "{71C5A8E2-3D90-4B17-A6F4-98B2E0D5C13A}";

class CLocalPlayerCtl final : public CMediaPlayerCtl {
  Q_OBJECT

 public:
  explicit CLocalPlayerCtl(QWidget* parent = nullptr);
  static const DispatchTable& Table();

 protected:
  bool OpenFile(const QVariantList& args, LoadedRecording* loaded) override;
  void AnnounceOpened() override;
};

}  // namespace media
