// The sessions' user interface on a console: message boxes and event-log
// lines go to standard error, and what went wrong is kept for the exit code.
#pragma once

#include <mutex>
#include <string>

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
};

const char* OutcomeText(Outcome outcome);

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

  // The failure seen so far, kOk while none.
  Outcome failure() const;
  sessions::ConnectionState state(int slot) const;
  // Whether the command connection could not be made (the cause is in the traces).
  bool connect_failed() const;

 private:
  void Fail(Outcome outcome);

  const bool quiet_;
  mutable std::mutex lock_;
  Outcome failure_ = Outcome::kOk;  // guarded by lock_
  bool admin_alert_ = false;        // guarded by lock_
  bool connect_failed_ = false;     // guarded by lock_
  sessions::ConnectionState states_[4] = {};  // guarded by lock_
};

}  // namespace kaviroctl
