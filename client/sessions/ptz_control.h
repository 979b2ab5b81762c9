// PtzControl: the pan/tilt/zoom/focus buttons of the live viewer and the PTZ
// preset panel. It picks the one pan/tilt camera the current layout shows
// and sends REQ_PANTILT to the selected slot's DVR.
//
// Threads: owner thread only (the live viewer's).
#pragma once

#include <cstdint>

namespace sessions {

class CLiveViewer;

enum class PanTiltMode : int { kMove = 32, kZoom = 16, kFocus = 48 };
enum class Arrow { kUp, kDown, kLeft, kRight };

inline constexpr uint8_t kPresetGo = 0x14;
inline constexpr uint8_t kPresetStore = 0x12;
// The preset panel's message: buttons 1228-1235, 20 = go, 18 = store.
inline constexpr int kFirstPresetButton = 1228;
inline constexpr int kPresetGoCommand = 20;
inline constexpr int kPresetStoreCommand = 18;

class PtzControl {
 public:
  explicit PtzControl(CLiveViewer& viewer);

  PanTiltMode mode() const { return mode_; }
  bool held() const { return held_; }
  // The mode buttons: enable their arrows and log the mode.
  void SetMode(PanTiltMode mode);

  // The channel number (1-8) of the one pan/tilt camera shown, 0 for none:
  // in 1x1 the shown channel; in 2x2 the only one of a 4-channel DVR; in 3x3
  // the only one of an 8-channel DVR.
  int Camera() const;

  // An arrow pressed and released. 0 when sent, 1 when nothing was to be
  // sent, E_FAIL when the send failed.
  int ArrowDown(Arrow arrow);
  int ArrowUp(Arrow arrow);
  // Preset 1-8, action kPresetGo or kPresetStore.
  int Preset(int preset, uint8_t action);
  // The preset panel's message (button id, 20 or 18).
  int OnPresetMessage(int button_id, int command);

 private:
  int Send(uint8_t camera, uint8_t action);

  CLiveViewer& viewer_;
  PanTiltMode mode_ = PanTiltMode::kMove;
  bool held_ = false;
};

}  // namespace sessions
