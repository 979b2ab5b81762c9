// The smaller panels of the main window's lower area and right column: the
// logon prompt, the DVR panel (channel indicators, service buttons,
// Disconnect, Light) and the channel panel (layout cross,
// PTZ arrows, Move/Zoom/Focus, Rotation and the sixteen camera buttons).
// Each places its children by main-window coordinates and reports clicks
// by control ID through Command.
//
// Threads: user-interface thread only.
#pragma once

#include <QWidget>

#include <array>
#include <map>
#include <span>

#include "client/shell/control_ids.h"

class QLabel;
class QLineEdit;

namespace shell {

class CHoverButton;

// One skinned button of a layout table: where it sits in main-window
// coordinates and its tooltip's string number.
struct ButtonPlace {
  ControlId id;
  int x;
  int y;
  int tooltip_id;
};

// Places buttons by main-window coordinates inside a panel at `origin`.
class CPanelBase : public QWidget {
  Q_OBJECT

 public:
  CPanelBase(QWidget* parent, QPoint origin);
  CHoverButton* button(ControlId id) const;
  // Skinned buttons with their main-window faces and tooltips.
  void AddButtons(std::span<const ButtonPlace> places);

 signals:
  void Command(ControlId id);
  void Held(ControlId id);
  void Released(ControlId id);

 protected:
  CHoverButton* AddButton(const ButtonPlace& place);
  QPoint Local(int x, int y) const { return QPoint(x, y) - origin_; }

  const QPoint origin_;
  std::map<ControlId, CHoverButton*> buttons_;
};

class CLogonPrompt : public CPanelBase {
 public:
  CLogonPrompt(QWidget* parent, QPoint origin);
  // Shows the prompt with both fields emptied and the focus on the user name.
  void Open();
  QLineEdit* user_edit() const { return user_; }
  QLineEdit* password_edit() const { return password_; }

 private:
  QLineEdit* user_;
  QLineEdit* password_;
};

class CDvrPanel : public CPanelBase {
 public:
  CDvrPanel(QWidget* parent, QPoint origin);
  // The pan/tilt flags of the selected DVR's eight channels.
  void ShowChannels(const std::array<uint8_t, 8>& pan_tilt, int channel_count);
  bool ChannelHasPtz(int channel) const { return ptz_[channel]; }

 private:
  std::array<QLabel*, 8> indicators_{};
  std::array<bool, 8> ptz_{};
};

class CChannelPanel : public CPanelBase {
 public:
  enum View { kPtzView = 0x1000, kLayoutView = 0x2000, kHidden = 0x3000 };

  CChannelPanel(QWidget* parent, QPoint origin);
  // `live`: 16CH and PTZ are enabled only in the live mode.
  void SetView(View view, bool live);
  View view() const { return view_; }
  void ShowCameras(bool shown);
  // Enables the arrows given (bits: up 1, down 2, left 4, right 8).
  void EnableArrows(uint8_t arrows);

 private:
  View view_ = kHidden;
};

}  // namespace shell
