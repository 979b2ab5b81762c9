#include "client/kaviroctl/console_ui.h"

#include <cstdio>

#include "platform/string_table.h"

namespace kaviroctl {

const char* OutcomeText(Outcome outcome) {
  switch (outcome) {
    case Outcome::kOk: return "ok";
    case Outcome::kFailed: return "failed";
    case Outcome::kUsage: return "usage";
    case Outcome::kUnreachable: return "the DVR does not answer (unreachable host)";
    case Outcome::kRefused: return "the DVR refused the connection";
    case Outcome::kWrongUser: return "wrong user name";
    case Outcome::kWrongPassword: return "wrong password";
    case Outcome::kLogonFailed: return "logon failed";
    case Outcome::kAdminBusy: return "the DVR's administrator is using it";
    case Outcome::kTimeout: return "timed out";
  }
  return "failed";
}

void ConsoleUi::ReportConnectionState(int slot, sessions::ConnectionState state) {
  std::lock_guard guard(lock_);
  if (slot >= 0 && slot < 4) states_[slot] = state;
}

void ConsoleUi::AddEventLog(uint32_t, const std::string& text) {
  if (!quiet_) std::fprintf(stderr, "log: %s\n", text.c_str());
  if (text == platform::LoadString(181)) {
    std::lock_guard guard(lock_);
    admin_alert_ = true;
  } else if (text == platform::LoadString(326)) {
    Fail(Outcome::kWrongUser);
  } else if (text == platform::LoadString(327)) {
    Fail(Outcome::kWrongPassword);
  } else if (text == platform::LoadString(328)) {
    std::lock_guard guard(lock_);
    if (failure_ == Outcome::kOk) failure_ = admin_alert_ ? Outcome::kAdminBusy : Outcome::kLogonFailed;
  } else if (text == platform::LoadString(198)) {
    std::lock_guard guard(lock_);
    connect_failed_ = true;
    if (failure_ == Outcome::kOk) failure_ = Outcome::kFailed;
  }
}

void ConsoleUi::ShowMessage(const std::string& text, sessions::MessageIcon) {
  if (!quiet_) std::fprintf(stderr, "message: %s\n", text.c_str());
}

bool ConsoleUi::connect_failed() const {
  std::lock_guard guard(lock_);
  return connect_failed_;
}

void ConsoleUi::Fail(Outcome outcome) {
  std::lock_guard guard(lock_);
  if (failure_ == Outcome::kOk) failure_ = outcome;
}

Outcome ConsoleUi::failure() const {
  std::lock_guard guard(lock_);
  return failure_;
}

sessions::ConnectionState ConsoleUi::state(int slot) const {
  std::lock_guard guard(lock_);
  return states_[slot];
}

}  // namespace kaviroctl
