#include "client/shell/local_player.h"

#include "client/sessions/session_ui.h"
#include "client/shell/export_progress.h"
#include "client/shell/shell_window.h"
#include "platform/trace.h"

namespace shell {
namespace {

using enum ControlId;

constexpr PlayerDispIds kLocalIds{.open = 1,
                                  .forward = 3,
                                  .fast_forward = 4,
                                  .reverse = 5,
                                  .fast_reverse = 6,
                                  .stop = 7,
                                  .record = 8,
                                  .frame_forward = 9,
                                  .frame_back = 10,
                                  .layout = 11,
                                  .reset = 12,
                                  .speed = 14};
constexpr PlayerTexts kLocalTexts{"[LOCAL PLAYER]", "[LOCAL PLAYER]", "[LOCAL PLAYER] LocalPlayerctrl is destroy !!!"};

}  // namespace

CLocalPlayer::CLocalPlayer(IShellWindow& window)
    : CPlayerHost(window, ViewerMode::kLocalPlayer, new media::CLocalPlayerCtl(window.host()), kLocalIds, kLocalTexts),
      browser_(new CLocalFileBrowser(window.host(), QRect(124, 612, 206, 140), QRect(333, 612, 287, 140))) {
  browser_->hide();
  connect(browser_, &CLocalFileBrowser::ExportRequested, this, [this](const QString& path) {
    QString out;
    ExportFile(path, &out);
  });
}

void CLocalPlayer::Enter() {
  CPlayerHost::Enter();
  channel_count_ = 8;
  browser_->show();
  browser_->raise();
}

void CLocalPlayer::Leave() {
  browser_->hide();
  CPlayerHost::Leave();
}

void CLocalPlayer::Select() {
  const QString path = browser_->chosen_path();
  if (path.isEmpty()) {
    window_.ShowMessage("To select a record file", BoxIcon::kInformation);
    return;
  }
  if (Call(ids_.open, {path}) == 0) {
    Trace("[LOCAL PLAYER] File open error !!!");
    return;
  }
  speed_index_ = kRestingSpeedIndex;
  window_.ShowPlaySpeed(speed_index_);
}

void CLocalPlayer::OnPlayerEvent(int kind, int value) {
  if (kind != media::kEventChannels) return CPlayerHost::OnPlayerEvent(kind, value);
  const int count = value == 241 ? 1 : value == 244 ? 4 : value == 248 ? 8 : 0;
  if (count == 0) return;
  channel_count_ = count;
  next_single_ = 1;
  for (int id = ToInt(kFastReverse); id <= ToInt(kFastForward); ++id) {
    window_.EnableButton(static_cast<ControlId>(id), true);
  }
  window_.EnableButton(kRecord, false);
  window_.EnableButton(kSpeedUp, false);
  window_.EnableButton(kSpeedDown, false);
  StopCommand();
  window_.EnableSlider(false);
  SetChannelButtons(count);
  OnCommand(count == 1 ? kLayout1Ch : count == 4 ? kLayout4Ch : kLayout8Ch);
}

bool CLocalPlayer::ExportFile(const QString& path, QString* out_path) {
  media::LoadedRecording loaded;
  std::string error;
  *out_path = path.left(path.size() - 4) + ".mp4";
  if (!media::LoadLocalFile(path.toStdString(), &loaded, &error)) {
    window_.ShowMessage("Export failed: " + error, BoxIcon::kError);
    return false;
  }
  return ExportWithProgress(window_, loaded, *out_path);
}

}  // namespace shell
