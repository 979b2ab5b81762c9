// CLocalPlayer: mode 3, the local player. Plays the .rmp or .amg file chosen
// in the local file browser in the local player control, and exports the
// chosen file's first channel to MP4 from the list's context menu.
//
// Threads: user-interface thread only.
#pragma once

#include "client/media/local_player_ctl.h"
#include "client/shell/local_file_browser.h"
#include "client/shell/player_host.h"

namespace shell {

inline constexpr ModeView kLocalPlayerHostView = [] {
  ModeView view = kLocalPlayerView;
  view.title = "Kaviro - Local Mpeg Player";
  return view;
}();

class CLocalPlayer final : public CPlayerHost {
  Q_OBJECT

 public:
  explicit CLocalPlayer(IShellWindow& window);

  ModeView View() const override { return kLocalPlayerHostView; }
  void Enter() override;
  void Leave() override;
  CLocalFileBrowser* browser() const { return browser_; }
  media::CLocalPlayerCtl* local_control() const { return static_cast<media::CLocalPlayerCtl*>(control_.data()); }
  // Exports channel 1 of a file to an MP4 beside it, with a progress dialog.
  bool ExportFile(const QString& path, QString* out_path);

 protected:
  void Select() override;
  void OnPlayerEvent(int kind, int value) override;

 private:
  CLocalFileBrowser* browser_;
};

}  // namespace shell
