#include "client/kaviroctl/console_ui.h"

#include <cstdio>
#include <utility>

#include "platform/string_table.h"

namespace kaviroctl {
namespace {

// The search mode's boxes and notice, as the sessions word them.
constexpr const char* kNoRecordFileText = "Can't found record file. To select again.";
constexpr const char* kAdminPlaybackText = "Can't playback the record file in DVR. Admin use playback in the DVR";
constexpr const char* kVersionText = "Dastel-8 or Dastel-4 is not the DVR of version.\nThe connection is ended.";
constexpr int kPermissionDeniedTextId = 213;

WatchLine MakeWatchLine(const std::string& kind, const std::string& text) {
  WatchLine line;
  line.kind = kind;
  line.text = text;
  return line;
}

}  // namespace

const char* OutcomeText(Outcome outcome) {
  switch (outcome) {
    case Outcome::kOk:
      return "ok";
    case Outcome::kFailed:
      return "failed";
    case Outcome::kUsage:
      return "usage";
    case Outcome::kUnreachable:
      return "the DVR does not answer (unreachable host)";
    case Outcome::kRefused:
      return "the DVR refused the connection";
    case Outcome::kWrongUser:
      return "wrong user name";
    case Outcome::kWrongPassword:
      return "wrong password";
    case Outcome::kLogonFailed:
      return "logon failed";
    case Outcome::kAdminBusy:
      return "the DVR's administrator is using it";
    case Outcome::kTimeout:
      return "timed out";
    case Outcome::kNoRecordFile:
      return kNoRecordFileText;
    case Outcome::kAdminPlayback:
      return kAdminPlaybackText;
    case Outcome::kPermissionDenied:
      return "[NOTICE] Permission denied. Network disconnect.";
    case Outcome::kNoSuchFile:
      return "no such file row or a bad range";
    case Outcome::kNoDisk:
      return "Can not find Removable hard disk drive !!!";
    case Outcome::kConnectionLost:
      return "connection lost";
    case Outcome::kWriteFailed:
      return "recording write failed";
  }
  return "failed";
}

int ReportUsageError(const std::vector<std::string>& errors, std::ostream& err) {
  for (const std::string& error : errors) err << "kaviroctl: " << error << "\n";
  err << "see kaviroctl --help\n";
  return static_cast<int>(Outcome::kUsage);
}

void ConsoleUi::ReportConnectionState(int slot, sessions::ConnectionState state) {
  std::lock_guard guard(lock_);
  if (slot >= 0 && slot < 4) states_[slot] = state;
}

void ConsoleUi::AddEventLog(uint32_t, const std::string& text) {
  if (!quiet_) std::fprintf(stderr, "log: %s\n", text.c_str());
  {
    std::lock_guard guard(lock_);
    QueueWatchLine(MakeWatchLine("log", text));
  }
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
  } else if (text == platform::LoadString(kPermissionDeniedTextId)) {
    Fail(Outcome::kPermissionDenied);
  } else if (text == platform::LoadString(198)) {
    std::lock_guard guard(lock_);
    connect_failed_ = true;
    if (failure_ == Outcome::kOk) failure_ = Outcome::kFailed;
  }
}

void ConsoleUi::ShowMessage(const std::string& text, sessions::MessageIcon) {
  if (!quiet_) std::fprintf(stderr, "message: %s\n", text.c_str());
  if (text == kNoRecordFileText) Fail(Outcome::kNoRecordFile);
  if (text == kAdminPlaybackText) Fail(Outcome::kAdminPlayback);
  if (text == kVersionText) Fail(Outcome::kLogonFailed);
}

bool ConsoleUi::ShowAlarm(const sessions::AlarmBox& alarm) {
  std::unique_lock guard(lock_);
  const std::string source = alarm.kind == sessions::AlarmKind::kSensor ? "sensor" : "channel";
  const std::string which =
      "DVR " + std::to_string(alarm.dvr_number) + ", " + source + " " + std::to_string(alarm.number);
  WatchLine line = MakeWatchLine("alarm", alarm.caption + ", " + which);
  line.dvr = alarm.dvr_number;
  line.source = source;
  line.number = alarm.number;
  line.caption = alarm.caption;
  QueueWatchLine(line);
  released_changed_.wait(guard, [this] { return acknowledge_ || released_; });
  if (acknowledge_) {
    line.kind = "acknowledged";
    line.text = which;
    line.caption.clear();
    QueueWatchLine(line);
  }
  return acknowledge_;
}

bool ConsoleUi::DeliverDvrStatus(const sessions::DvrStatusBlock& status) {
  std::lock_guard guard(lock_);
  if (status_open_) status_ = status;
  return status_open_;
}

bool ConsoleUi::DeliverLogPage(const sessions::DvrLogPage& page) {
  std::lock_guard guard(lock_);
  if (log_open_) log_page_ = page;
  return log_open_;
}

bool ConsoleUi::DeliverLightState(uint8_t status) {
  std::lock_guard guard(lock_);
  if (light_open_) light_ = status;
  return light_open_;
}

void ConsoleUi::CloseLightDialog() {
  std::lock_guard guard(lock_);
  light_open_ = false;
}

void ConsoleUi::OpenDialogs(bool status, bool log, bool light) {
  std::lock_guard guard(lock_);
  status_open_ = status;
  log_open_ = log;
  light_open_ = light;
}

std::optional<sessions::DvrStatusBlock> ConsoleUi::TakeStatus() {
  std::lock_guard guard(lock_);
  return std::exchange(status_, std::nullopt);
}

std::optional<sessions::DvrLogPage> ConsoleUi::TakeLogPage() {
  std::lock_guard guard(lock_);
  return std::exchange(log_page_, std::nullopt);
}

std::optional<uint8_t> ConsoleUi::TakeLightState() {
  std::lock_guard guard(lock_);
  return std::exchange(light_, std::nullopt);
}

void ConsoleUi::AnswerAlarms(bool acknowledge) {
  std::lock_guard guard(lock_);
  acknowledge_ = acknowledge;
  released_changed_.notify_all();
}

void ConsoleUi::Release() {
  std::lock_guard guard(lock_);
  released_ = true;
  released_changed_.notify_all();
}

std::vector<WatchLine> ConsoleUi::TakeWatchLines() {
  std::lock_guard guard(lock_);
  std::vector<WatchLine> lines = std::exchange(watch_lines_, {});
  if (watch_lines_left_out_ > 0) {
    WatchLine left_out = MakeWatchLine("left out", std::to_string(std::exchange(watch_lines_left_out_, 0)) + " lines");
    left_out.time = std::chrono::system_clock::now();
    lines.push_back(left_out);
  }
  return lines;
}

// Nothing may take the lines for a long time (only `watch` does), so what
// waits for them is bounded.
void ConsoleUi::QueueWatchLine(WatchLine line) {
  line.time = std::chrono::system_clock::now();
  if (watch_lines_.size() < kWatchLineLimit) {
    watch_lines_.push_back(std::move(line));
  } else {
    ++watch_lines_left_out_;
  }
}

bool ConsoleUi::connect_failed() const {
  std::lock_guard guard(lock_);
  return connect_failed_;
}

bool ConsoleUi::admin_took_over() const {
  std::lock_guard guard(lock_);
  return admin_alert_;
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
