// The sessions' user interface on a console: message boxes and event-log
// lines go to standard error, and what went wrong is kept for the exit code.
// The service dialogs are stand-ins that count as open while a command waits
// for their data; alarms and event-log lines are also queued for `watch`.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "client/sessions/session_ui.h"

namespace kaviroctl {

// Exit codes of kaviroctl, one per way a connection can fail.
enum class Outcome : int {
  kOk = 0,
  kFailed = 1,
  kUsage = 2,
  kUnreachable = 3,
  kRefused = 4,
  kWrongUser = 5,
  kWrongPassword = 6,
  kLogonFailed = 7,
  kAdminBusy = 8,
  kTimeout = 9,
  kNoRecordFile = 10,
  kAdminPlayback = 11,
  kPermissionDenied = 12,
  kNoSuchFile = 13,
  kNoDisk = 14,
  kConnectionLost = 15,
  kWriteFailed = 16,
};

const char* OutcomeText(Outcome outcome);

// A usage error is short: a line per fault, then where the whole story is.
// Returns the usage exit code.
int ReportUsageError(const std::vector<std::string>& errors, std::ostream& err);

// One line for `watch`, stamped when it came.
struct WatchLine {
  std::chrono::system_clock::time_point time;
  std::string kind;  // "log", "alarm", "acknowledged" or "left out"
  std::string text;  // what follows "kind: " on the printed line
  // An alarm's box: its DVR, "sensor" or "channel" and the number; 0: none.
  int dvr = 0;
  std::string source;
  int number = 0;
  std::string caption;
};

class ConsoleUi : public sessions::ISessionUi {
 public:
  explicit ConsoleUi(bool quiet) : quiet_(quiet) {}

  void ReportConnectionState(int slot, sessions::ConnectionState state) override;
  void AddEventLog(uint32_t colour, const std::string& text) override;
  void ShowMessage(const std::string& text, sessions::MessageIcon icon) override;
  void ShowBusy(int) override {}
  void HideBusy() override {}
  sessions::LogonFields ReadLogonFields() override { return {}; }
  void ClearPasswordField() override {}
  void PlayWarningBeeps() override {}
  // Acknowledged when alarms are answered (AnswerAlarms), else held until Release.
  bool ShowAlarm(const sessions::AlarmBox& alarm) override;
  void StartBuzzer(int) override {}
  void StopBuzzer(int) override {}
  bool DeliverDvrStatus(const sessions::DvrStatusBlock& status) override;
  bool DeliverLogPage(const sessions::DvrLogPage& page) override;
  bool DeliverLightState(uint8_t status) override;
  void CloseLightDialog() override;

  // The stand-in dialogs: open one before its request, take its data after.
  void OpenDialogs(bool status, bool log, bool light);
  std::optional<sessions::DvrStatusBlock> TakeStatus();
  std::optional<sessions::DvrLogPage> TakeLogPage();
  std::optional<uint8_t> TakeLightState();
  // Alarm boxes answer OK at once (true) or wait for Release (false).
  void AnswerAlarms(bool acknowledge);
  // Lets every waiting alarm box return (at exit).
  void Release();
  // Alarm and event-log lines since the last call. At most kWatchLineLimit
  // wait between two calls; a line then says how many more were left out.
  static constexpr size_t kWatchLineLimit = 1000;
  std::vector<WatchLine> TakeWatchLines();

  // The failure seen so far, kOk while none.
  Outcome failure() const;
  sessions::ConnectionState state(int slot) const;
  // Whether the command connection could not be made (the cause is in the traces).
  bool connect_failed() const;
  // Whether the DVR said its administrator is using it.
  bool admin_took_over() const;

 private:
  void Fail(Outcome outcome);
  void QueueWatchLine(WatchLine line);  // lock_ held

  const bool quiet_;
  mutable std::mutex lock_;
  Outcome failure_ = Outcome::kOk;                  // guarded by lock_
  bool admin_alert_ = false;                        // guarded by lock_
  bool connect_failed_ = false;                     // guarded by lock_
  sessions::ConnectionState states_[4] = {};        // guarded by lock_
  bool status_open_ = false;                        // guarded by lock_
  bool log_open_ = false;                           // guarded by lock_
  bool light_open_ = false;                         // guarded by lock_
  std::optional<sessions::DvrStatusBlock> status_;  // guarded by lock_
  std::optional<sessions::DvrLogPage> log_page_;    // guarded by lock_
  std::optional<uint8_t> light_;                    // guarded by lock_
  bool acknowledge_ = false;                        // guarded by lock_
  bool released_ = false;                           // guarded by lock_
  std::condition_variable released_changed_;
  std::vector<WatchLine> watch_lines_;  // guarded by lock_
  size_t watch_lines_left_out_ = 0;     // guarded by lock_
};

}  // namespace kaviroctl
