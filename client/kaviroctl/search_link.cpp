#include "client/kaviroctl/search_link.h"

#include "client/kaviroctl/interrupt.h"
#include "client/sessions/socket_error_text.h"
#include "platform/winsock_errors.h"

namespace kaviroctl {
namespace {

const std::string kPrefix = "[SEARCH SESSION 0] ";
const std::string kMonthFailed = kPrefix + "Response record month infomation failed !!!";
const std::string kDayFailed = kPrefix + "RESPONSERECDAYINFO Failed !!!";
const std::string kRefused = kPrefix + sessions::ConnectErrorText(platform::kWsaConnRefused);
const std::string kUnreachable = kPrefix + sessions::ConnectErrorText(platform::kWsaTimedOut);
const std::string kStopped = "[SEARCH DVR 0] Response stop record stream !!!";

}  // namespace

SearchLink::SearchLink(bool quiet)
    : trace_({kMonthFailed, kDayFailed, kRefused, kUnreachable, kStopped}), ui_(quiet), engine_(nullptr, &frames_) {
  viewer_ = std::make_unique<sessions::CSearchViewer>(ui_, &engine_);
  engine_.SetEventSink(viewer_.get());
}

SearchLink::~SearchLink() {
  Disconnect();
  ui_.console.Release();
  engine_.SetEventSink(nullptr);
  viewer_.reset();
}

Outcome SearchLink::Connect(const LinkTarget& target, const sessions::CalendarDate& date,
                            std::chrono::seconds timeout) {
  ui_.calendar = date;
  sessions::CSearchSession& session = viewer_->session();
  if (session.SetLogonData(target.host, target.port, target.user, target.password, !target.modem) != 0) {
    return Outcome::kUsage;
  }
  const bool settled = PumpEvents(
      [&] {
        return ui_.console.failure() != Outcome::kOk || ui_.day_lists > 0 || trace_.Contains(kDayFailed) ||
               trace_.Contains(kStopped);
      },
      timeout);
  if (ui_.console.failure() != Outcome::kOk) {
    return ui_.console.connect_failed() ? ClassifyConnectFailure() : ui_.console.failure();
  }
  if (trace_.Contains(kStopped)) return LossOutcome();
  if (trace_.Contains(kDayFailed)) return Outcome::kFailed;
  return settled ? Outcome::kOk : Outcome::kTimeout;
}

Outcome SearchLink::Play(int row, std::optional<int> from_minute, std::chrono::seconds timeout) {
  ui_.selected_row = row;
  ui_.from_minute = from_minute;
  if (from_minute) {
    viewer_->TimeToTimePlayback();
  } else {
    viewer_->PlaySelectedFile();
  }
  const bool settled = PumpEvents(
      [&] { return ui_.console.failure() != Outcome::kOk || viewer_->session().stream_connected() || !connected(); },
      timeout);
  if (ui_.console.failure() != Outcome::kOk) return ui_.console.failure();
  if (!connected()) return LossOutcome();
  return settled ? Outcome::kOk : Outcome::kTimeout;
}

Outcome SearchLink::LossOutcome() const {
  return ui_.console.admin_took_over() ? Outcome::kAdminBusy : Outcome::kConnectionLost;
}

Outcome SearchLink::ClassifyConnectFailure() const {
  if (trace_.Contains(kRefused)) return Outcome::kRefused;
  if (trace_.Contains(kUnreachable)) return Outcome::kUnreachable;
  return Outcome::kFailed;
}

void SearchLink::Disconnect() {
  if (viewer_ && viewer_->session().connected()) viewer_->Disconnect();
}

bool SearchLink::connected() const { return viewer_->session().connected(); }

bool SearchLink::month_info_failed() const { return trace_.Contains(kMonthFailed); }

}  // namespace kaviroctl
