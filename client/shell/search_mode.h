// CSearchMode: the remote search and playback viewer as the main window
// drives it. It declares what the search mode shows, owns the search viewer
// (with its session) and the sessions' user interface for it, and turns the
// window's buttons into the viewer's commands: the calendar, the file
// actions, the playback group, speed, record, the channel buttons and
// layouts, rotation, the logon prompt's OK, Disconnect and Light. It plays
// in the Vistrel control that the live mode hosts (one control serves both
// remote modes); the mode must end before that control's adapter.
//
// Threads: user-interface thread only; the session's worker reaches the
// window through the viewer and CShellSearchUi.
#pragma once

#include <memory>

#include "client/sessions/command_socket.h"
#include "client/shell/shell_search_ui.h"
#include "client/shell/shell_viewer.h"
#include "client/shell/vistrel_adapter.h"

namespace sessions {
class CSearchViewer;
}

namespace shell {

class IShellWindow;

class CSearchMode : public IShellViewer {
 public:
  CSearchMode(IShellWindow& window, CVistrelAdapter& vistrel, sessions::Pinger pinger = {});
  ~CSearchMode() override;

  sessions::CSearchViewer& viewer() { return *viewer_; }
  CShellSearchUi& ui() { return ui_; }

  ModeView View() const override { return kSearchView; }
  void Enter() override;
  void Leave() override;
  void OnCommand(ControlId id) override;
  void OnConnectRequest(const ConnectionRequest& request) override;
  void OnSliderSeek(int position) override;
  bool HoldsPlaybackGroup() const override;

 private:
  void ShowLayout(ControlId id);

  IShellWindow& window_;
  CVistrelAdapter& vistrel_;
  CShellSearchUi ui_;
  std::unique_ptr<sessions::CSearchViewer> viewer_;
};

}  // namespace shell
