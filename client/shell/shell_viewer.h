// What the main window asks of the viewer of a mode: what the mode shows,
// entering and leaving it, and the commands of the window's buttons, which
// reach the active viewer before the window's own handlers. A viewer acts
// on the commands it knows and ignores the rest.
//
// Threads: user-interface thread only.
#pragma once

#include "client/shell/connect_panel.h"
#include "client/shell/control_ids.h"
#include "client/shell/mode_view.h"

namespace shell {

class IShellViewer {
 public:
  virtual ~IShellViewer() = default;

  // What the window shows while this viewer's mode is active.
  virtual ModeView View() const = 0;
  virtual void Enter() = 0;
  virtual void Leave() = 0;
  // A click of a button or combo of the window.
  virtual void OnCommand(ControlId id) = 0;
  // Left button down and up on a button (press-and-hold controls).
  virtual void OnButtonHeld(ControlId /*id*/, bool /*down*/) {}
  // Only in modes whose view takes connect requests.
  virtual void OnConnectRequest(const ConnectionRequest& /*request*/) {}
  // The preset panel's message: (button 1228-1235, 20 go / 18 store).
  virtual void OnPtzPreset(int /*button_id*/, int /*action*/) {}
  // The operator moved the position slider; only in modes whose view seeks.
  virtual void OnSliderSeek(int /*position*/) {}
  // The "Select Device" answer (Hard Disk 1078, Compact Disk 1250) before
  // the mode is entered: false, with the viewer's own box shown, leaves it.
  virtual bool OpenDevice(int /*device*/) { return true; }
  // While true the playback buttons keep the one shown pressed (recording
  // allows no other direction).
  virtual bool HoldsPlaybackGroup() const { return false; }
};

}  // namespace shell
