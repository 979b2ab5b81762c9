// LiveLayouts: the live grid's layouts (1x1, 2x2, 3x3, 4x4) over the cells
// the four DVR slots share, the channel mask each layout asks of the DVRs,
// and the channel rotation that steps a layout through the occupied cells.
//
// Threads: owner thread only (the live viewer's); the rotation timer runs on
// its event loop.
#pragma once

#include <cstdint>

class QTimer;

namespace sessions {

class CLiveViewer;

enum class Layout : int { k1x1 = 1, k2x2 = 2, k3x3 = 3, k4x4 = 4 };

inline constexpr int kRotationPeriodMs = 3000;

class LiveLayouts {
 public:
  explicit LiveLayouts(CLiveViewer& viewer);
  ~LiveLayouts();
  LiveLayouts(const LiveLayouts&) = delete;
  LiveLayouts& operator=(const LiveLayouts&) = delete;

  Layout layout() const { return layout_; }
  // The start cell the layout shows now.
  int start_cell(Layout layout) const;
  // The camera the 1x1 layout shows: channel position + 1 (0 before any).
  int camera_1x1() const { return camera_1x1_; }
  bool rotating() const;
  void set_rotation_period_ms(int period_ms);

  // The layout buttons: they stop the rotation first. 0, or E_FAIL for a
  // cell no slot owns, a cell an 8-channel DVR's 2x2 cannot start on, a
  // 3x3 without an occupied cell, a 4x4 of an empty grid or a refused
  // control call.
  int Align1x1(int cell);
  int Align2x2(int cell);
  int Align3x3(int cell);
  int Align4x4();

  // The grid of a slot as its DVR button or its stream start shows it: 2x2
  // for 4 channels, 3x3 for 8, from its first cell; the control alone is told.
  void ShowSlot(int slot);

  void ToggleRotation();
  void StopRotation();
  // One rotation step (the timer's).
  void Tick();

 private:
  int Apply1x1(int cell);
  int Apply2x2(int cell);
  int Apply3x3(int cell);
  int Apply4x4();
  bool CallControl(int slot, int start_cell, Layout layout);
  void SendMask(int slot, uint8_t mask);

  CLiveViewer& viewer_;
  QTimer* rotation_;  // owned by the viewer's QObject tree
  Layout layout_ = Layout::k3x3;
  int start_1x1_ = 0;
  int start_2x2_ = 0;
  int start_3x3_ = 0;
  int camera_1x1_ = 0;
};

}  // namespace sessions
