// CLightDialog: "Kaviro - Light Control", four light check boxes of one
// DVR. It asks its session for the light status when it first shows,
// enables the boxes of the lights the DVR has and checks those that are on;
// a click sends the last status with that light's on-bit changed.
//
// The dialog serves a live slot or the search session through LightLink,
// which each viewer fills with its own session's two requests.
//
// Threads: user-interface thread only; light states reach it through
// CShellSessionUi, which finds it by its title.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "client/shell/skinned_widgets.h"

class QCheckBox;

namespace shell {

// What the light dialog controls. Either may be empty (no session): the
// dialog then sends nothing.
struct LightLink {
  std::function<int()> request_status;     // BYPASS "t" "w" 0x01 0x00
  std::function<int(uint8_t)> set_lights;  // BYPASS "t" "w" 0x00, the byte
};

class CLightDialog : public CSkinnedDialog {
 public:
  static constexpr int kTitleId = 349;
  static constexpr int kFirstBoxId = 1252;

  CLightDialog(QWidget* parent, LightLink link);

  // UM_LIGHT_STATE.
  void ShowState(uint8_t status);
  // A click on light n (1-4), the box now `checked`.
  void OnLightClicked(int light, bool checked);

  uint8_t status() const { return status_; }
  QCheckBox* box(int light) const { return boxes_.at(static_cast<size_t>(light - 1)); }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ShowIcon(int light);

  LightLink link_;
  bool requested_ = false;
  uint8_t status_ = 0;
  std::array<QCheckBox*, 4> boxes_{};
};

}  // namespace shell
