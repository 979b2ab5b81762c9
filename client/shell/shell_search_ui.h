// CShellSearchUi: what the search session and the search viewer see of the
// user interface, carried out through the main window's interface. What the
// search mode shares with the live sessions (event log, boxes, busy
// indicator, logon fields, alarms, service dialogs) goes through the same
// CShellSessionUi; the mode's own calls show the calendar, the file list,
// the slider, the status bar, the play speed and the buttons. Every call is
// handed to the user-interface thread and returns when it has run there.
//
// Threads: any thread.
#pragma once

#include "client/sessions/search_ui.h"
#include "client/shell/shell_session_ui.h"

namespace shell {

class IShellWindow;

class CShellSearchUi : public sessions::ISearchUi {
 public:
  explicit CShellSearchUi(IShellWindow& window) : window_(window), common_(window) {}

  sessions::ConnectionState state() const { return state_; }

  // ISessionUi.
  void ReportConnectionState(int slot, sessions::ConnectionState state) override;
  void AddEventLog(uint32_t colour, const std::string& text) override { common_.AddEventLog(colour, text); }
  void ShowMessage(const std::string& text, sessions::MessageIcon icon) override { common_.ShowMessage(text, icon); }
  void ShowBusy(int text_id) override { common_.ShowBusy(text_id); }
  void HideBusy() override { common_.HideBusy(); }
  sessions::LogonFields ReadLogonFields() override { return common_.ReadLogonFields(); }
  void ClearPasswordField() override { common_.ClearPasswordField(); }
  void PlayWarningBeeps() override { common_.PlayWarningBeeps(); }
  bool ShowAlarm(const sessions::AlarmBox& alarm) override { return common_.ShowAlarm(alarm); }
  void UpdateAlarm(const sessions::AlarmBox& alarm) override { common_.UpdateAlarm(alarm); }
  void StartBuzzer(int alarm_id) override { common_.StartBuzzer(alarm_id); }
  void StopBuzzer(int alarm_id) override { common_.StopBuzzer(alarm_id); }
  bool DeliverDvrStatus(const sessions::DvrStatusBlock& status) override { return common_.DeliverDvrStatus(status); }
  bool DeliverLogPage(const sessions::DvrLogPage& page) override { return common_.DeliverLogPage(page); }
  bool DeliverLightState(uint8_t status) override { return common_.DeliverLightState(status); }
  void CloseLightDialog() override { common_.CloseLightDialog(); }
  void ShowRotation(bool running) override { common_.ShowRotation(running); }
  void ShowRecording(bool on) override { common_.ShowRecording(on); }
  void ResetConnectionControls() override;

  // ISearchUi.
  void SetBoldDays(uint32_t day_mask) override;
  void ClearBoldDays() override { SetBoldDays(0); }
  sessions::CalendarDate CalendarCurrentDate() override;
  void ClearFileList() override { SetFileListRows({}); }
  void SetFileListRows(const std::vector<sessions::FileListRow>& rows) override;
  std::optional<int> SelectedFileRow() override;
  void SetPlaybackPosition(int seconds) override;
  void EnablePlaybackPosition(bool enabled) override;
  void ShowStatusBar(std::optional<sessions::StatusBarSpan> span) override;
  void ShowPlaybackSpeed(int speed_index) override;
  void ShowPlaybackDirection(sessions::PlaybackDirection direction) override;
  void EnableChannelButtons(int count) override;
  void EnablePlaybackButtons(bool enabled) override;
  void ShowSelectedView(int view) override;
  std::optional<int> RunTimeToTimeDialog(const sessions::PlaybackRange& range) override;
  void OpenFileDownloadDialog(const sessions::FileDownloadRecord& record) override;

 private:
  bool InSearchMode() const;

  IShellWindow& window_;
  CShellSessionUi common_;
  sessions::ConnectionState state_ = sessions::ConnectionState::kIdle;  // user-interface thread
};

}  // namespace shell
