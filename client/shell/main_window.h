// CMainWindow: Kaviro's one skinned window of 1024 x 768 pixels. It owns the
// viewer mode and its state machine, the panels of the lower area, the
// event log, the wait indicator and the alarm boxes, and forwards every
// button's command to the viewer of the current mode before handling it.
// What a mode shows comes from the ModeView its viewer declares (the
// built-in declaration while the mode has no viewer).
//
// Threads: user-interface thread, except AddEventLog, which any thread may
// call (it waits until the line is appended, as the synchronous window
// message did), and mode(), read by workers (an atomic).
#pragma once

#include <QWidget>

#include <array>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "client/shell/alarm_center.h"
#include "client/shell/connect_panel.h"
#include "client/shell/control_ids.h"
#include "client/shell/mode_view.h"
#include "client/shell/operator_dialogs.h"
#include "client/shell/shell_window.h"
#include "client/shell/wait_indicator.h"

class QDialog;

namespace shell {

class CAlarmCounter;
class CBitmapSlider;
class CChannelPanel;
class CDvrPanel;
class CEventLog;
class CHoverButton;
class CKeyboardShortcuts;
class CLogonPrompt;
class CMonthCalendar;
class CPanelBase;
class CPlaybackStatusBar;
class CRecordFileList;
class CSpeedPicture;
class CPtzPresetPanel;
class CSlotStateMark;
class IShellViewer;

class CMainWindow : public QWidget, public IShellWindow {
  Q_OBJECT

 public:
  // Where the video control sits in the window.
  static constexpr QRect kVideoArea{105, 54, 712, 484};
  // The frame around it, whose double-click shows the grid full screen.
  static constexpr QRect kVideoBorder{99, 49, 724, 494};

  CMainWindow();
  ~CMainWindow() override;

  // The viewer of a mode (not owned); null leaves the mode without viewer.
  void SetViewer(ViewerMode mode, IShellViewer* viewer);
  QWidget* host() override { return this; }
  // Places the video control in its area.
  void AttachVideo(QWidget* video) override;

  // The private messages.
  void SetMode(ViewerMode mode);                                        // UM_SET_MODE
  void SetPanel(LowerPanel panel) override;                             // UM_SET_PANEL
  void AddEventLog(unsigned colour, const std::string& text) override;  // UM_EVENT_LOG, any thread
  void OnPtzPreset(int button_id, int action);                          // UM_PTZ_PRESET
  void SetSliderPos(int position) override;                             // UM_SLIDER_POS

  // The Address Book dialog on one of its lists; the connect combos are
  // filled afresh afterwards.
  void OpenAddressBook(ListKind list) override;
  int RunDialog(QDialog& dialog) override;
  // A command of a button or combo.
  void OnCommand(ControlId id);
  void OnVideoCardAnalysis(int performance) override;
  // The removable player's position event.
  void OnRemovablePosition(int position);

  ViewerMode mode() const override { return static_cast<ViewerMode>(mode_.load()); }
  bool video_card_capable() const { return video_card_capable_; }
  LowerPanel panel() const { return panel_; }
  // The pressed button of the radio group that `group_first` starts, if any.
  std::optional<ControlId> latched(ControlId group_first) const;

  // What the sessions and viewers ask of the window.
  void ShowMessage(const std::string& text, BoxIcon icon) override;
  void ClearConnectFields() override;
  sessions::LogonFields ReadLogonFields() const override;
  void ClearLogonFields() override;
  void ClearLogonPassword() override;
  bool IsButtonEnabled(ControlId id) const override;
  void EnableButton(ControlId id, bool enabled) override;
  void LatchButton(ControlId id, bool latched) override;
  void LatchLayoutButton(ControlId id) override;
  void ShowDvrChannels(const std::array<uint8_t, 8>& pan_tilt, int channel_count) override;
  void EnablePanTiltArrows(uint8_t arrows) override;
  void ShowPtzPresets(bool shown) override;
  void ShowSlotStatus(int slot, const sessions::SlotStatus& status) override;
  void OfferReconnect(bool shown) override;
  CSlotStateMark* slot_mark(int slot) const { return slot_marks_.at(slot); }
  void SetBoldDays(uint32_t day_mask) override;
  sessions::CalendarDate CalendarDate() const override;
  void SetFileRows(const std::vector<sessions::FileListRow>& rows) override;
  std::optional<int> SelectedFileRow() const override;
  void EnableSlider(bool enabled) override;
  void ShowStatusBar(std::optional<sessions::StatusBarSpan> span) override;
  void ShowPlaySpeed(int speed_index) override;
  void LatchPlaybackButton(std::optional<ControlId> id) override;

  // The video grid alone on the whole screen, and back to the window as it
  // was. Only while the mode shows video; a change of mode leaves it.
  bool full_screen() const { return full_screen_; }
  bool CanShowFullScreen() const;
  void ToggleFullScreen();
  void LeaveFullScreen();
  // The keys of the window, opened by F1.
  void OpenShortcutsPage();

  // Discards Escape and Enter for the window and its children.
  bool eventFilter(QObject* watched, QEvent* event) override;

  CEventLog* event_log() const { return event_log_; }
  CAlarmCounter* alarm_counter() const { return alarm_counter_; }
  CConnectPanel* connect_panel() const { return connect_panel_; }
  CLogonPrompt* logon_prompt() const { return logon_prompt_; }
  CDvrPanel* dvr_panel() const { return dvr_panel_; }
  CChannelPanel* channel_panel() const { return channel_panel_; }
  CPtzPresetPanel* ptz_preset_panel() const { return ptz_presets_; }
  CBitmapSlider* slider() const { return slider_; }
  CMonthCalendar* calendar() const { return calendar_; }
  CRecordFileList* file_list() const { return file_list_; }
  CPlaybackStatusBar* status_bar() const { return status_bar_; }
  CSpeedPicture* speed_picture() const { return speed_; }
  CHoverButton* button(ControlId id) const;
  CWaitIndicator& wait() override { return wait_; }
  CAlarmCenter& alarms() override { return alarms_; }
  // Every question to the operator, the window's own and its dialogs'.
  COperatorDialogs& dialogs() override { return dialogs_; }

  // Modem names for the Setup dialog (the modem link's device list).
  void SetModemSource(std::function<std::vector<std::string>()> source) { modems_ = std::move(source); }

 signals:
  // Turn Off, or Close in Idle: the program ends.
  void TurnedOff();
  // The telephone number for the modem link.
  void DialNumber(const QString& number);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void AddButton(const ButtonPlace& place);
  void Wire(CPanelBase* panel);
  void ForwardHeld(ControlId id, bool down);
  void Latch(ControlId group_first, std::optional<ControlId> id);
  IShellViewer* Viewer(ViewerMode mode) const;
  IShellViewer* CurrentViewer() const { return Viewer(mode()); }
  // The declaration of a mode: its viewer's, or the built-in one.
  ModeView ViewOf(ViewerMode mode) const;
  void OnModeButton(ControlId id, ViewerMode mode);
  void OnClose();
  void OnConnectRequest(const ConnectionRequest& request);
  void OpenSetup();
  void OpenAbout();
  bool RunSelectDevice();
  // What the viewer window shows into the image folder; false logs nothing.
  bool CaptureImage();
  // The captured bitmaps; the Print button's door to the preview.
  void OpenSaveFileList();
  void ShowDvrButtons(int count);
  void ShowPlayback(bool shown);

  std::atomic<int> mode_{0};
  ModeView view_ = kIdleView;  // the current mode's
  LowerPanel panel_ = LowerPanel::kNone;
  bool video_card_capable_ = false;
  std::map<ControlId, ControlId> latched_;  // group's first ID -> latched member
  std::map<ControlId, CHoverButton*> buttons_;
  std::array<IShellViewer*, kModeCount> viewers_{};
  CEventLog* event_log_;
  CAlarmCounter* alarm_counter_;
  CConnectPanel* connect_panel_;
  CLogonPrompt* logon_prompt_;
  CDvrPanel* dvr_panel_;
  CChannelPanel* channel_panel_;
  CPtzPresetPanel* ptz_presets_;
  CBitmapSlider* slider_;
  CPanelBase* file_panel_;
  CMonthCalendar* calendar_;
  CRecordFileList* file_list_;
  CPlaybackStatusBar* status_bar_;
  CSpeedPicture* speed_;
  std::array<CSlotStateMark*, 4> slot_marks_{};
  QWidget* video_ = nullptr;
  CWaitIndicator wait_;
  COperatorDialogs dialogs_;
  CAlarmCenter alarms_{dialogs_};
  std::function<std::vector<std::string>()> modems_;
  QPoint drag_start_;
  bool full_screen_ = false;
  QRect normal_geometry_;  // the window's place before full screen
  CKeyboardShortcuts* shortcuts_ = nullptr;
};

}  // namespace shell
