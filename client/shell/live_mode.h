// CLiveMode: the remote live viewer as the main window drives it. It
// declares what the live mode shows. It owns
// the Vistrel control (through its adapter), the live viewer with its four
// DVR sessions, and the sessions' user interface, and turns the window's
// buttons into the viewer's commands: DVR 1-4, layouts, cameras, pan/tilt
// with press-and-hold arrows, Move/Zoom/Focus, rotation, recording, the
// preset panel, the status, log and light dialogs of the selected DVR, the
// logon prompt's OK and Disconnect.
//
// Threads: user-interface thread only; the sessions' workers reach the
// window through CShellSessionUi.
#pragma once

#include <memory>

#include "client/sessions/live_viewer.h"
#include "client/shell/light_dialog.h"
#include "client/shell/shell_session_ui.h"
#include "client/shell/shell_viewer.h"
#include "client/shell/vistrel_adapter.h"

namespace shell {

class IShellWindow;

class CLiveMode : public IShellViewer {
 public:
  CLiveMode(IShellWindow& window, sessions::Pinger pinger = {});
  ~CLiveMode() override;

  sessions::CLiveViewer& viewer() { return *viewer_; }
  CVistrelAdapter& vistrel() { return *vistrel_; }
  CShellSessionUi& ui() { return ui_; }

  ModeView View() const override { return kLiveView; }
  void Enter() override;
  void Leave() override;
  void OnCommand(ControlId id) override;
  void OnButtonHeld(ControlId id, bool down) override;
  void OnConnectRequest(const ConnectionRequest& request) override;
  void OnPtzPreset(int button_id, int action) override;

 private:
  int FirstCellOfSelected() const;
  // The light dialog's requests for a slot's session.
  LightLink LightLinkOf(int slot);
  void RefreshCameraButtons();

  IShellWindow& window_;
  CShellSessionUi ui_;
  std::unique_ptr<CVistrelAdapter> vistrel_;
  std::unique_ptr<sessions::CLiveViewer> viewer_;
  int logon_slot_ = -1;  // the slot whose DVR asked for a logon
};

}  // namespace shell
