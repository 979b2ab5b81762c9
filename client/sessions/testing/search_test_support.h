// Test support of the search mode: a search user interface that records
// what the window would show, on top of the sessions' RecordingUi.
#pragma once

#include <mutex>
#include <optional>
#include <vector>

#include "client/sessions/search_ui.h"
#include "client/sessions/testing/session_test_support.h"

namespace sessions::testing {

// The session-wide calls go to `common` (messages, event log, states); the
// search mode's own are kept here. Every call is expected on the test's
// thread, where the search viewer runs.
class RecordingSearchUi : public ISearchUi {
 public:
  RecordingUi common;

  // ISessionUi, handed to `common`.
  void ReportConnectionState(int slot, ConnectionState state) override { common.ReportConnectionState(slot, state); }
  void AddEventLog(uint32_t colour, const std::string& text) override { common.AddEventLog(colour, text); }
  void ShowMessage(const std::string& text, MessageIcon icon) override { common.ShowMessage(text, icon); }
  void ShowBusy(int text_id) override { common.ShowBusy(text_id); }
  void HideBusy() override { common.HideBusy(); }
  LogonFields ReadLogonFields() override { return common.ReadLogonFields(); }
  void ClearPasswordField() override { common.ClearPasswordField(); }
  void PlayWarningBeeps() override { common.PlayWarningBeeps(); }
  bool ShowAlarm(const AlarmBox& alarm) override { return common.ShowAlarm(alarm); }
  void StartBuzzer(int alarm_id) override { common.StartBuzzer(alarm_id); }
  void StopBuzzer(int alarm_id) override { common.StopBuzzer(alarm_id); }
  bool DeliverDvrStatus(const DvrStatusBlock& status) override { return common.DeliverDvrStatus(status); }
  bool DeliverLogPage(const DvrLogPage& page) override { return common.DeliverLogPage(page); }
  bool DeliverLightState(uint8_t status) override { return common.DeliverLightState(status); }
  void CloseLightDialog() override { common.CloseLightDialog(); }
  void ShowRotation(bool running) override { rotation = running; }
  void ShowRecording(bool on) override { recording = on; }
  void ResetConnectionControls() override { ++control_resets; }

  // ISearchUi.
  void SetBoldDays(uint32_t day_mask) override { bold_days = day_mask; }
  void ClearBoldDays() override { bold_days = 0; }
  CalendarDate CalendarCurrentDate() override { return calendar; }
  void ClearFileList() override { rows.clear(); }
  void SetFileListRows(const std::vector<FileListRow>& new_rows) override { rows = new_rows; }
  std::optional<int> SelectedFileRow() override { return selected_row; }
  void SetPlaybackPosition(int seconds) override { positions.push_back(seconds); }
  void EnablePlaybackPosition(bool enabled) override { position_enabled = enabled; }
  void ShowStatusBar(std::optional<StatusBarSpan> span) override { status_bar = span; }
  void ShowPlaybackSpeed(int speed_index) override { speed = speed_index; }
  void ShowPlaybackDirection(PlaybackDirection shown) override { direction = shown; }
  void EnableChannelButtons(int count) override { channel_buttons = count; }
  void EnablePlaybackButtons(bool enabled) override { playback_buttons = enabled; }
  void ShowSelectedView(int shown) override { view = shown; }
  std::optional<int> RunTimeToTimeDialog(const PlaybackRange& range) override {
    time_to_time_ranges.push_back(range);
    return time_to_time_choice;
  }
  void OpenFileDownloadDialog(const FileDownloadRecord& record) override { downloads.push_back(record); }

  CalendarDate calendar;
  std::optional<int> selected_row;
  std::optional<int> time_to_time_choice;

  uint32_t bold_days = 0;
  std::vector<FileListRow> rows;
  std::vector<int> positions;
  bool position_enabled = false;
  std::optional<StatusBarSpan> status_bar;
  int speed = 0;
  PlaybackDirection direction = PlaybackDirection::kStopped;
  int channel_buttons = 0;
  bool playback_buttons = false;
  int view = kViewAll;
  bool rotation = false;
  bool recording = false;
  int control_resets = 0;
  std::vector<PlaybackRange> time_to_time_ranges;
  std::vector<FileDownloadRecord> downloads;
};

}  // namespace sessions::testing
