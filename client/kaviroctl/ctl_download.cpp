#include "client/kaviroctl/ctl_download.h"

#include <QCoreApplication>
#include <QObject>

#include <cstdio>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>

#include "client/kaviroctl/console_ui.h"
#include "client/kaviroctl/interrupt.h"
#include "client/sessions/download_file_name.h"
#include "client/sessions/file_download_session.h"
#include "client/sessions/owner_call.h"
#include "platform/winsock_errors.h"
#include "protocol/command_codes.h"

namespace kaviroctl {
namespace {

using sessions::DownloadOutcome;

constexpr int kBarWidth = 30;
// How long a cancel waits for the DVR's answer before the connection goes.
constexpr auto kCancelWait = std::chrono::seconds(1);

// The dialog's part on the console: progress lines and messages on standard
// error, the outcome kept for the exit code. Calls are handed to the main
// thread as the dialog's are to the user-interface thread.
class ConsoleDownloadUi : public sessions::IFileDownloadUi {
 public:
  ConsoleDownloadUi(CtlReport& report, std::ostream& err, bool terminal)
      : report_(report), err_(err), terminal_(terminal) {}

  void DownloadStarted() override {}
  void DownloadEnded(DownloadOutcome outcome) override {
    OnMain([&] { outcome_ = outcome; });
  }
  void SetProgressRange(long maximum) override {
    OnMain([&] { range_ = maximum; });
  }
  void ShowProgress(const std::string& size_text, const std::string& rate_text, long position) override {
    OnMain([&] {
      if (report_.json()) {
        // Standard output carries the progress; the bar would only repeat it.
        report_.Stream(QJsonObject{{"time", QString::fromStdString(IsoTime(std::chrono::system_clock::now()))},
                                   {"size", JsonText(size_text)},
                                   {"rate", JsonText(rate_text)},
                                   {"position", static_cast<qint64>(position)},
                                   {"range", static_cast<qint64>(range_)}});
        return;
      }
      if (!terminal_) {
        err_ << size_text << "  " << rate_text << "\n";
        return;
      }
      const long percent = range_ > 0 ? std::min<long>(100, position * 100 / range_) : 0;
      const int filled = static_cast<int>(percent * kBarWidth / 100);
      char line[128];
      std::snprintf(line, sizeof line, "\r[%s%s] %3ld%%  %s", std::string(filled, '#').c_str(),
                    std::string(kBarWidth - filled, '.').c_str(), percent, rate_text.c_str());
      err_ << line << std::flush;
      bar_shown_ = true;
    });
  }
  void ShowMessage(const std::string& text, sessions::MessageIcon) override {
    OnMain([&] {
      EndBar();
      err_ << "kaviroctl: " << text << "\n";
    });
  }
  void DisconnectSearchViewer() override {
    OnMain([&] { admin_took_over_ = true; });
  }

  std::optional<DownloadOutcome> outcome() const { return outcome_; }
  bool admin_took_over() const { return admin_took_over_; }
  void EndBar() {
    if (bar_shown_) err_ << "\n";
    bar_shown_ = false;
  }

 private:
  void OnMain(const std::function<void()>& work) { sessions::CallOnOwnerThread(&owner_, work); }

  CtlReport& report_;
  std::ostream& err_;
  const bool terminal_;
  QObject owner_;  // lives on the main thread; the fields below are its
  std::optional<DownloadOutcome> outcome_;
  long range_ = 0;
  bool bar_shown_ = false;
  bool admin_took_over_ = false;
};

// Runs the event loop until `done` holds or `idle` passes without progress.
bool PumpUntil(const std::function<bool()>& done, const std::function<uint64_t()>& progress,
               std::chrono::milliseconds idle) {
  uint64_t seen = progress();
  auto deadline = std::chrono::steady_clock::now() + idle;
  while (!done()) {
    if (InterruptSignal() != 0) return false;
    if (const uint64_t now = progress(); now != seen) {
      seen = now;
      deadline = std::chrono::steady_clock::now() + idle;
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  return true;
}

Outcome ExitOf(const sessions::CFileDownloadSession& session, const ConsoleDownloadUi& ui, DownloadOutcome ended) {
  switch (ended) {
    case DownloadOutcome::kComplete:
      return Outcome::kOk;
    case DownloadOutcome::kRefused:
      if (ui.admin_took_over()) return Outcome::kAdminBusy;
      if (session.refusal_reason() == 1) return Outcome::kNoRecordFile;
      if (session.refusal_reason() == 2) return Outcome::kAdminPlayback;
      return Outcome::kFailed;
    case DownloadOutcome::kConnectFailed:
      return session.connect_error() == platform::kWsaConnRefused ? Outcome::kRefused : Outcome::kUnreachable;
    case DownloadOutcome::kWriteFailed:
      return Outcome::kWriteFailed;
    case DownloadOutcome::kFailed:
      return ui.admin_took_over() ? Outcome::kAdminBusy : Outcome::kConnectionLost;
    case DownloadOutcome::kCancelled:
      return Outcome::kFailed;
  }
  return Outcome::kFailed;
}

}  // namespace

int DownloadRecord(sessions::FileDownloadRecord record, const DownloadOptions& options, CtlReport& report,
                   std::ostream& err) {
  if (!sessions::IsDownloadRangeValid(record)) {
    err << "kaviroctl: " << OutcomeText(Outcome::kNoSuchFile) << "\n";
    return static_cast<int>(Outcome::kNoSuchFile);
  }
  std::string folder = options.out;
  if (folder.empty()) {
    folder = sessions::VideoStorageFolder();
  } else {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder, error)) folder.clear();
  }
  if (folder.empty()) {
    err << "kaviroctl: no folder to save in: give --out DIR or set the video storage folder\n";
    return static_cast<int>(Outcome::kFailed);
  }
  record.local_path = sessions::UniqueDownloadName(sessions::DownloadPathStem(folder, record), record);

  ConsoleDownloadUi ui(report, err, options.terminal);
  sessions::CFileDownloadSession session(ui);
  if (session.Start(record) != 0) {
    err << "kaviroctl: cannot open the file download connection\n";
    return static_cast<int>(Outcome::kFailed);
  }
  const auto ended = [&] { return ui.outcome().has_value(); };
  // A refused logon leaves the connection open, as the dialog does, with
  // nothing more to wait for.
  const auto logon_refused = [&] { return session.logon_result() > 0; };
  const auto progress = [&] { return session.received() + (session.connected() ? 1 : 0); };
  const bool finished = PumpUntil([&] { return ended() || logon_refused(); }, progress, options.timeout);
  const int signal = InterruptSignal();
  if (!finished && signal != 0) {
    // The bytes so far are kept: the session writes the trailer before it asks the DVR to stop.
    session.Cancel();
    const auto deadline = std::chrono::steady_clock::now() + kCancelWait;
    while (!ended() && std::chrono::steady_clock::now() < deadline) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
  }
  const uint64_t kept = session.received();
  const std::string path = session.file_path();
  const int logon = session.logon_result();
  session.Stop();
  ui.EndBar();

  Outcome result = Outcome::kTimeout;
  if (finished && ui.outcome()) {
    result = ExitOf(session, ui, *ui.outcome());
  } else if (logon == protocol::result::kWrongUser) {
    result = Outcome::kWrongUser;
  } else if (logon == protocol::result::kWrongPassword) {
    result = Outcome::kWrongPassword;
  } else if (logon > 0) {
    result = ui.admin_took_over() ? Outcome::kAdminBusy : Outcome::kLogonFailed;
  }
  if (signal != 0) {
    if (!path.empty()) err << "kaviroctl: kept " << kept << " bytes in " << path << "\n";
    err << "kaviroctl: interrupted\n";
    return 128 + signal;
  }
  if (result == Outcome::kOk) {
    report.text() << "saved: " << path << "\n";
    report.Set("saved", JsonText(path));
    report.Set("bytes", static_cast<qint64>(kept));
    return 0;
  }
  if (!path.empty()) err << "kaviroctl: kept " << kept << " bytes in " << path << "\n";
  err << "kaviroctl: " << OutcomeText(result) << "\n";
  return static_cast<int>(result);
}

}  // namespace kaviroctl
