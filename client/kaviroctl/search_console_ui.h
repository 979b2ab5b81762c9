// The search mode's user interface on a console: the session-wide calls go
// to a ConsoleUi (messages, notices, the exit code), and what the window
// would show (calendar, file list, position, stream controls) is kept for the
// commands to print. The calendar shows the date the command asked for.
//
// Threads: the search viewer calls the search part on the command's thread.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "client/kaviroctl/console_ui.h"
#include "client/sessions/search_ui.h"

namespace kaviroctl {

class ConsoleSearchUi : public sessions::ISearchUi {
 public:
  explicit ConsoleSearchUi(bool quiet) : console(quiet) {}

  ConsoleUi console;

  void ReportConnectionState(int slot, sessions::ConnectionState state) override {
    console.ReportConnectionState(slot, state);
  }
  void AddEventLog(uint32_t colour, const std::string& text) override { console.AddEventLog(colour, text); }
  void ShowMessage(const std::string& text, sessions::MessageIcon icon) override { console.ShowMessage(text, icon); }
  void ShowBusy(int text_id) override { console.ShowBusy(text_id); }
  void HideBusy() override { console.HideBusy(); }
  sessions::LogonFields ReadLogonFields() override { return console.ReadLogonFields(); }
  void ClearPasswordField() override {}
  void PlayWarningBeeps() override {}
  bool ShowAlarm(const sessions::AlarmBox& alarm) override { return console.ShowAlarm(alarm); }
  void StartBuzzer(int) override {}
  void StopBuzzer(int) override {}
  bool DeliverDvrStatus(const sessions::DvrStatusBlock& status) override { return console.DeliverDvrStatus(status); }
  bool DeliverLogPage(const sessions::DvrLogPage& page) override { return console.DeliverLogPage(page); }
  bool DeliverLightState(uint8_t status) override { return console.DeliverLightState(status); }
  void CloseLightDialog() override { console.CloseLightDialog(); }

  void SetBoldDays(uint32_t day_mask) override { bold_days = day_mask; }
  void ClearBoldDays() override { bold_days = 0; }
  sessions::CalendarDate CalendarCurrentDate() override { return calendar; }
  void ClearFileList() override { rows.clear(); }
  void SetFileListRows(const std::vector<sessions::FileListRow>& new_rows) override {
    rows = new_rows;
    ++day_lists;
  }
  std::optional<int> SelectedFileRow() override { return selected_row; }
  void SetPlaybackPosition(int seconds) override {
    if (on_position) on_position(seconds);
  }
  void EnablePlaybackPosition(bool) override {}
  void ShowStatusBar(std::optional<sessions::StatusBarSpan>) override {}
  void ShowPlaybackSpeed(int) override {}
  void EnableChannelButtons(int) override {}
  void EnablePlaybackButtons(bool) override {}
  std::optional<int> RunTimeToTimeDialog(const sessions::PlaybackRange&) override { return from_minute; }
  void OpenFileDownloadDialog(const sessions::FileDownloadRecord& record) override { download_record = record; }

  sessions::CalendarDate calendar;
  std::optional<int> selected_row;
  std::optional<int> from_minute;
  std::function<void(int)> on_position;
  // The record the download step filled, for kaviroctl download.
  std::optional<sessions::FileDownloadRecord> download_record;

  uint32_t bold_days = 0;
  std::vector<sessions::FileListRow> rows;
  int day_lists = 0;
};

}  // namespace kaviroctl
