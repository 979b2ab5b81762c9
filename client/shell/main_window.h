// CMainWindow: Kaviro's one skinned window of 1024 x 768 pixels. It owns the
// viewer mode and its state machine, the panels of the lower area, the
// event log, the wait indicator and the alarm boxes, and forwards every
// button's command to the viewer of the current mode before handling it.
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
#include <string>
#include <vector>

#include "client/shell/alarm_center.h"
#include "client/shell/connect_panel.h"
#include "client/shell/operator_dialogs.h"
#include "client/shell/wait_indicator.h"

class QDialog;

namespace shell {

class CBitmapSlider;
class CChannelPanel;
class CDvrPanel;
class CEventLog;
class CHoverButton;
class CLogonPrompt;
class CPanelBase;
class CPtzPresetPanel;
class IShellViewer;

enum class ViewerMode : int { kIdle = 0, kRemoteLive = 1, kRemoteSearch = 2, kLocalPlayer = 3, kRemovablePlayer = 4 };

class CMainWindow : public QWidget {
  Q_OBJECT

 public:
  // Where the video control sits in the window.
  static constexpr QRect kVideoArea{105, 54, 712, 484};

  CMainWindow();
  ~CMainWindow() override;

  // The viewer of a mode (not owned); null leaves the mode without viewer.
  void SetViewer(ViewerMode mode, IShellViewer* viewer);
  // Places the video control in its area.
  void AttachVideo(QWidget* video);

  // The private messages.
  void SetMode(int mode);                                        // UM_SET_MODE
  void SetPanel(int selector);                                   // UM_SET_PANEL
  void AddEventLog(unsigned colour, const std::string& text);   // UM_EVENT_LOG, any thread
  void OnPtzPreset(int button_id, int action);                   // UM_PTZ_PRESET
  void SetSliderPos(int position);                               // UM_SLIDER_POS

  // The Address Book dialog on one of its lists; the connect combos are
  // filled afresh afterwards.
  void OpenAddressBook(ListKind list);
  // A command of a button or combo, by control ID.
  void OnCommand(int control_id);
  // The video control's device analysis: non-zero = capable.
  void OnVideoCardAnalysis(int performance);
  // The removable player's position event.
  void OnRemovablePosition(int position);

  ViewerMode mode() const { return static_cast<ViewerMode>(mode_.load()); }
  bool video_card_capable() const { return video_card_capable_; }
  int panel() const { return panel_; }
  int latched(int group_first_id) const;
  // Shows one channel-layout button (1095-1098) pressed, the others released.
  void LatchLayoutButton(int control_id);

  // Discards Escape and Enter for the window and its children.
  bool eventFilter(QObject* watched, QEvent* event) override;

  CEventLog* event_log() const { return event_log_; }
  CConnectPanel* connect_panel() const { return connect_panel_; }
  CLogonPrompt* logon_prompt() const { return logon_prompt_; }
  CDvrPanel* dvr_panel() const { return dvr_panel_; }
  CChannelPanel* channel_panel() const { return channel_panel_; }
  CPtzPresetPanel* ptz_preset_panel() const { return ptz_presets_; }
  CBitmapSlider* slider() const { return slider_; }
  CHoverButton* button(int control_id) const;
  CWaitIndicator& wait() { return wait_; }
  CAlarmCenter& alarms() { return alarms_; }
  // Every question to the operator, the window's own and its dialogs'.
  COperatorDialogs& dialogs() { return dialogs_; }

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

 private:
  CHoverButton* AddButton(int control_id, int x, int y, int tooltip_id);
  void Wire(CPanelBase* panel);
  void Latch(int group_first_id, int control_id);
  IShellViewer* Viewer(int mode) const;
  int RunDialog(QDialog& dialog);
  void OnModeButton(int control_id);
  void OnClose();
  void OnConnectRequest(const ConnectionRequest& request);
  void OpenSetup();
  void OpenAbout();
  bool RunSelectDevice();
  void ShowDvrButtons(int count);
  void ShowPlayback(bool shown);

  std::atomic<int> mode_{0};
  int panel_ = 5;
  bool video_card_capable_ = false;
  std::map<int, int> latched_;  // group's first ID -> latched member, 0 for none
  std::map<int, CHoverButton*> buttons_;
  std::array<IShellViewer*, 5> viewers_{};
  CEventLog* event_log_;
  CConnectPanel* connect_panel_;
  CLogonPrompt* logon_prompt_;
  CDvrPanel* dvr_panel_;
  CChannelPanel* channel_panel_;
  CPtzPresetPanel* ptz_presets_;
  CBitmapSlider* slider_;
  QWidget* file_panel_;
  QWidget* video_ = nullptr;
  CWaitIndicator wait_;
  COperatorDialogs dialogs_;
  CAlarmCenter alarms_{dialogs_};
  std::function<std::vector<std::string>()> modems_;
  QPoint drag_start_;
};

}  // namespace shell
