#include "client/media/local_player_ctl.h"

#include "platform/trace.h"

namespace media {

const CMediaPlayerCtl::DispatchTable& CLocalPlayerCtl::Table() {
  static const DispatchTable table = {
      {1, PlayerMethod::kOpen},
      {3, PlayerMethod::kForward},
      {4, PlayerMethod::kFastForward},
      {5, PlayerMethod::kReverse},
      {6, PlayerMethod::kFastReverse},
      {7, PlayerMethod::kStop},
      {8, PlayerMethod::kToggleRecording},
      {9, PlayerMethod::kFrameForward},
      {10, PlayerMethod::kFrameBack},
      {11, PlayerMethod::kChannelSelection},
      {12, PlayerMethod::kReset},
      {14, PlayerMethod::kSpeed},
  };
  return table;
}

CLocalPlayerCtl::CLocalPlayerCtl(QWidget* parent) : CMediaPlayerCtl(Table(), "[LOCAL PLAYER CONTROL]", parent) {}

bool CLocalPlayerCtl::OpenFile(const QVariantList& args, LoadedRecording* loaded) {
  if (args.size() != 1 || args[0].typeId() != QMetaType::QString) return false;
  std::string error;
  if (!LoadLocalFile(args[0].toString().toStdString(), loaded, &error)) {
    Trace("%s %s", trace_prefix_, error.c_str());
    return false;
  }
  return true;
}

void CLocalPlayerCtl::AnnounceOpened() {
  emit PlayerEvent(kEventPlaying, 1);
  emit PlayerEvent(kEventChannels, 240 + playback().channel_count());
}

}  // namespace media
