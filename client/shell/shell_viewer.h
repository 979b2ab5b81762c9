// What the main window asks of the viewer of a mode: entering and leaving
// the mode, and the commands of the window's buttons, which reach the
// active viewer before the window's own handlers.
//
// Threads: user-interface thread only.
#pragma once

#include "client/shell/connect_panel.h"

namespace shell {

class IShellViewer {
 public:
  virtual ~IShellViewer() = default;

  virtual void Enter() = 0;
  virtual void Leave() = 0;
  // A click of a button or combo of the window, by control ID.
  virtual void OnCommand(int control_id) = 0;
  // Left button down and up on a button (press-and-hold controls).
  virtual void OnButtonHeld(int /*control_id*/, bool /*down*/) {}
  virtual void OnConnectRequest(const ConnectionRequest& request) = 0;
  // The preset panel's message: (button 1228-1235, 20 go / 18 store).
  virtual void OnPtzPreset(int /*button_id*/, int /*action*/) {}
  // The operator moved the position slider.
  virtual void OnSliderSeek(int /*position*/) {}
};

}  // namespace shell
