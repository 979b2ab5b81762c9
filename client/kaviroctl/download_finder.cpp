#include "client/kaviroctl/download_finder.h"

#include <QCoreApplication>

#include <cstdio>
#include <mutex>

#include "client/kaviroctl/interrupt.h"
#include "client/sessions/search_viewer.h"
#include "protocol/payload.h"

namespace kaviroctl {
namespace {

int Number(uint8_t bcd) { return (bcd >> 4) * 10 + (bcd & 0x0F); }

// The search mode's window as the download needs it: the calendar shows the
// asked date, the row of the asked file is selected, and the download dialog
// takes the record. The session's lines go to the console's ISessionUi.
class FinderUi : public sessions::ISearchUi {
 public:
  FinderUi(ConsoleUi& console, const DownloadRow& row) : console_(console), row_(row) {}

  void ReportConnectionState(int slot, sessions::ConnectionState state) override {
    console_.ReportConnectionState(slot, state);
  }
  void AddEventLog(uint32_t colour, const std::string& text) override { console_.AddEventLog(colour, text); }
  void ShowMessage(const std::string& text, sessions::MessageIcon icon) override { console_.ShowMessage(text, icon); }
  void ShowBusy(int id) override { console_.ShowBusy(id); }
  void HideBusy() override { console_.HideBusy(); }
  sessions::LogonFields ReadLogonFields() override { return console_.ReadLogonFields(); }
  void ClearPasswordField() override {}
  void PlayWarningBeeps() override {}
  bool ShowAlarm(const sessions::AlarmBox&) override { return true; }
  void StartBuzzer(int) override {}
  void StopBuzzer(int) override {}
  bool DeliverDvrStatus(const sessions::DvrStatusBlock&) override { return false; }
  bool DeliverLogPage(const sessions::DvrLogPage&) override { return false; }
  bool DeliverLightState(uint8_t) override { return false; }
  void CloseLightDialog() override {}

  void SetBoldDays(uint32_t) override {}
  void ClearBoldDays() override {}
  sessions::CalendarDate CalendarCurrentDate() override { return row_.date; }
  void ClearFileList() override {}
  void SetFileListRows(const std::vector<sessions::FileListRow>& rows) override {
    std::lock_guard guard(lock_);
    rows_ = rows;
    listed_ = true;
  }
  std::optional<int> SelectedFileRow() override {
    std::lock_guard guard(lock_);
    for (size_t i = 0; i < rows_.size(); ++i) {
      if (rows_[i].file_index == std::to_string(row_.file_index)) return static_cast<int>(i);
    }
    return std::nullopt;
  }
  void SetPlaybackPosition(int) override {}
  void EnablePlaybackPosition(bool) override {}
  void ShowStatusBar(std::optional<sessions::StatusBarSpan>) override {}
  void ShowPlaybackSpeed(int) override {}
  void EnableChannelButtons(int) override {}
  void EnablePlaybackButtons(bool) override {}
  std::optional<int> RunTimeToTimeDialog(const sessions::PlaybackRange&) override { return std::nullopt; }
  void OpenFileDownloadDialog(const sessions::FileDownloadRecord& record) override {
    std::lock_guard guard(lock_);
    record_ = record;
  }

  bool listed() const {
    std::lock_guard guard(lock_);
    return listed_;
  }
  std::optional<sessions::FileDownloadRecord> record() const {
    std::lock_guard guard(lock_);
    return record_;
  }

 private:
  ConsoleUi& console_;
  const DownloadRow row_;
  mutable std::mutex lock_;
  std::vector<sessions::FileListRow> rows_;             // guarded by lock_
  bool listed_ = false;                                 // guarded by lock_
  std::optional<sessions::FileDownloadRecord> record_;  // guarded by lock_
};

bool Pump(const std::function<bool()>& done, std::chrono::seconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (InterruptSignal() != 0 || std::chrono::steady_clock::now() >= deadline) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  return true;
}

}  // namespace

bool ParseMinuteSecond(const std::string& text, int* seconds) {
  int minute = 0;
  int second = 0;
  char tail = 0;
  if (text.size() != 5 || std::sscanf(text.c_str(), "%2d:%2d%c", &minute, &second, &tail) != 2) return false;
  if (minute < 0 || minute > 59 || second < 0 || second > 59) return false;
  *seconds = minute * 60 + second;
  return true;
}

Outcome FindDownloadRecord(const SearchTarget& target, const DownloadRow& row, std::chrono::seconds timeout,
                           sessions::FileDownloadRecord* record, std::ostream& err) {
  ConsoleUi console(/*quiet=*/true);
  FinderUi ui(console, row);
  sessions::CSearchViewer viewer(ui, nullptr);
  sessions::CSearchSession& session = viewer.session();
  if (session.SetLogonData(target.host, target.port, target.user, target.password, true) != 0) {
    return Outcome::kUsage;
  }
  const auto failed = [&] { return console.failure() != Outcome::kOk; };
  const auto logged_on = [&] { return console.state(0) == sessions::ConnectionState::kSearchLoggedOn; };
  Pump([&] { return failed() || logged_on(); }, timeout);
  Outcome outcome = Outcome::kTimeout;
  if (failed()) {
    outcome = console.failure();
  } else if (logged_on()) {
    viewer.ChangeCalendarDate(row.date);
    if (Pump([&] { return failed() || ui.listed(); }, timeout) && !failed()) {
      viewer.DownloadSelectedFile();
      outcome = ui.record() ? Outcome::kOk : Outcome::kNoSuchRow;
    } else if (failed()) {
      outcome = console.failure();
    }
  }
  if (session.connected()) viewer.Disconnect();
  if (outcome != Outcome::kOk) return outcome;

  *record = *ui.record();
  // Narrowed within the row's own range; outside it there is nothing to copy.
  const int first = Number(record->start_minute) * 60 + Number(record->start_second);
  const int last = Number(record->end_minute) * 60 + Number(record->end_second);
  const int from = row.from_s.value_or(first);
  const int to = row.to_s.value_or(last);
  if (from < first || to > last || from >= to) {
    char range[64];
    std::snprintf(range, sizeof range, "%02d:%02d to %02d:%02d", first / 60, first % 60, last / 60, last % 60);
    err << "kaviroctl: the file runs from " << range << "\n";
    return Outcome::kNoSuchRow;
  }
  record->start_minute = protocol::BcdFromNumber(from / 60);
  record->start_second = protocol::BcdFromNumber(from % 60);
  record->end_minute = protocol::BcdFromNumber(to / 60);
  record->end_second = protocol::BcdFromNumber(to % 60);
  return Outcome::kOk;
}

}  // namespace kaviroctl
