// IShellWindow: what a viewer and the sessions' user interface may ask of
// the main window. They say what should show; which widget shows it stays
// the window's business.
//
// Threads: user-interface thread, except mode() and AddEventLog, which any
// thread may call (AddEventLog returns once the line is appended).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "client/sessions/search_ui.h"
#include "client/sessions/session_ui.h"
#include "client/shell/connect_panel.h"
#include "client/shell/control_ids.h"
#include "client/shell/mode_view.h"
#include "client/shell/operator_dialogs.h"

class QDialog;
class QWidget;

namespace shell {

class CAlarmCenter;
class CWaitIndicator;

class IShellWindow {
 public:
  virtual ~IShellWindow() = default;

  virtual ViewerMode mode() const = 0;
  virtual void SetPanel(LowerPanel panel) = 0;
  virtual void AddEventLog(unsigned colour, const std::string& text) = 0;
  virtual void ShowMessage(const std::string& text, BoxIcon icon) = 0;
  virtual CWaitIndicator& wait() = 0;
  virtual CAlarmCenter& alarms() = 0;
  // The door for every question to the operator.
  virtual COperatorDialogs& dialogs() = 0;
  // The Address Book dialog on one of its lists.
  virtual void OpenAddressBook(ListKind list) = 0;
  // Runs a dialog of the window modally, through the operator's door.
  virtual int RunDialog(QDialog& dialog) = 0;

  // The parent of the controls a viewer hosts.
  virtual QWidget* host() = 0;
  // The video control of the remote modes, placed in its area.
  virtual void AttachVideo(QWidget* video) = 0;
  // The video control's device analysis: non-zero = capable.
  virtual void OnVideoCardAnalysis(int performance) = 0;

  // The connect panel's fields and the logon prompt's.
  virtual void ClearConnectFields() = 0;
  virtual sessions::LogonFields ReadLogonFields() const = 0;
  virtual void ClearLogonFields() = 0;
  virtual void ClearLogonPassword() = 0;

  // Buttons by control ID; an ID the window does not have is ignored.
  virtual bool IsButtonEnabled(ControlId id) const = 0;
  virtual void EnableButton(ControlId id, bool enabled) = 0;
  virtual void LatchButton(ControlId id, bool latched) = 0;
  // Shows one channel-layout button pressed, the others of its group released.
  virtual void LatchLayoutButton(ControlId id) = 0;

  // The pan/tilt flags of the selected DVR's eight channels.
  virtual void ShowDvrChannels(const std::array<uint8_t, 8>& pan_tilt, int channel_count) = 0;
  // Enables the PTZ arrows given (bits: up 1, down 2, left 4, right 8).
  virtual void EnablePanTiltArrows(uint8_t arrows) = 0;
  virtual void ShowPtzPresets(bool shown) = 0;
  // A DVR slot's connection state on its button, and the connect panel's
  // one-click reconnect for the selected slot when it dropped.
  virtual void ShowSlotStatus(int /*slot*/, const sessions::SlotStatus& /*status*/) {}
  virtual void OfferReconnect(bool /*shown*/) {}

  // The search and playback widgets: the month calendar (bit i of a mask is
  // day i + 1 of the month shown), the file list, the position slider and
  // the bar under it, the play speed (index 0-4) and the playback group.
  virtual void SetBoldDays(uint32_t day_mask) = 0;
  virtual sessions::CalendarDate CalendarDate() const = 0;
  virtual void SetFileRows(const std::vector<sessions::FileListRow>& rows) = 0;
  virtual std::optional<int> SelectedFileRow() const = 0;
  virtual void SetSliderPos(int position) = 0;
  virtual void EnableSlider(bool enabled) = 0;
  virtual void ShowStatusBar(std::optional<sessions::StatusBarSpan> span) = 0;
  virtual void ShowPlaySpeed(int speed_index) = 0;
  // Shows one playback button pressed (none: all released).
  virtual void LatchPlaybackButton(std::optional<ControlId> id) = 0;
};

}  // namespace shell
