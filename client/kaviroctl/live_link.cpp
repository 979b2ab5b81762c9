#include "client/kaviroctl/live_link.h"

#include "client/kaviroctl/interrupt.h"
#include "client/sessions/socket_error_text.h"
#include "platform/winsock_errors.h"

namespace kaviroctl {
namespace {

constexpr LinkTrace kWatched[] = {LinkTrace::kStatusFailed, LinkTrace::kLogFailed,   LinkTrace::kLightFailed,
                                  LinkTrace::kRefused,      LinkTrace::kUnreachable, LinkTrace::kLogonSent,
                                  LinkTrace::kLoggedOn,     LinkTrace::kStopped,     LinkTrace::kSettingDone,
                                  LinkTrace::kSettingFailed};

std::string TraceText(LinkTrace line) {
  const std::string prefix = "[LIVE DVR 0] ";
  switch (line) {
    case LinkTrace::kStatusFailed:
      return prefix + "response dvr status failed.";
    case LinkTrace::kLogFailed:
      return prefix + "response log file by date failed.";
    case LinkTrace::kLightFailed:
      return prefix + "response dvr light failed.";
    case LinkTrace::kRefused:
      return prefix + sessions::ConnectErrorText(platform::kWsaConnRefused);
    case LinkTrace::kUnreachable:
      return prefix + sessions::ConnectErrorText(platform::kWsaTimedOut);
    case LinkTrace::kLogonSent:
      return prefix + "send authentication data(id, password...).";
    case LinkTrace::kLoggedOn:
      return "[LIVESESSION 0] live session logon.";
    case LinkTrace::kStopped:
      return prefix + "Response stop live stream !!!";
    case LinkTrace::kSettingDone:
      return prefix + "response e-mail setting.";
    case LinkTrace::kSettingFailed:
      return prefix + "response e-mail setting failed.";
  }
  return {};
}

std::vector<std::string> WatchedTexts() {
  std::vector<std::string> texts;
  for (LinkTrace line : kWatched) texts.push_back(TraceText(line));
  return texts;
}

}  // namespace

LiveLink::LiveLink(bool quiet) : trace_(WatchedTexts()), ui_(quiet), engine_(nullptr, &frames_) {
  viewer_ = std::make_unique<sessions::CLiveViewer>(ui_, &engine_);
  engine_.SetEventSink(viewer_.get());
}

LiveLink::~LiveLink() {
  Disconnect();
  // Alarm boxes still up close now, after the disconnect, so that none of
  // them releases its alarm; the viewer then joins their threads.
  ui_.Release();
  engine_.SetEventSink(nullptr);
  viewer_.reset();
}

bool LiveLink::Pump(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  return PumpEvents(done, timeout);
}

Outcome LiveLink::Connect(const LinkTarget& target, std::chrono::seconds timeout) {
  sessions::CLiveSession& session = viewer_->session(0);
  sessions::SlotTarget slot_target;
  slot_target.address = target.host;
  slot_target.port = target.port;
  slot_target.user_name = target.user;
  slot_target.password = target.password;
  slot_target.network = !target.modem;
  slot_target.auto_reconnect = target.reconnect;
  if (viewer_->ConnectSlot(0, slot_target) != 0) return Outcome::kUsage;
  const bool settled =
      Pump([&] { return ui_.failure() != Outcome::kOk || session.stream_connected() || Traced(LinkTrace::kStopped); },
           timeout);
  if (ui_.failure() != Outcome::kOk) {
    return ui_.connect_failed() ? ClassifyConnectFailure() : ui_.failure();
  }
  if (Traced(LinkTrace::kStopped)) {
    // The DVR ended the connection: between our logon data and its answer
    // that is a logon it did not accept, otherwise a lost connection.
    if (ui_.admin_took_over()) return Outcome::kAdminBusy;
    const bool unanswered = Traced(LinkTrace::kLogonSent) && !Traced(LinkTrace::kLoggedOn);
    return unanswered ? Outcome::kLogonFailed : Outcome::kConnectionLost;
  }
  return settled ? Outcome::kOk : Outcome::kTimeout;
}

bool LiveLink::PumpWhileConnected(std::chrono::milliseconds duration) {
  return !Pump([this] { return !connected(); }, duration) && connected();
}

Outcome LiveLink::LossOutcome() const { return ui_.admin_took_over() ? Outcome::kAdminBusy : Outcome::kConnectionLost; }

bool LiveLink::Traced(LinkTrace line) const { return trace_.Contains(TraceText(line)); }

Outcome LiveLink::ClassifyConnectFailure() const {
  if (Traced(LinkTrace::kRefused)) return Outcome::kRefused;
  if (Traced(LinkTrace::kUnreachable)) return Outcome::kUnreachable;
  return Outcome::kFailed;
}

void LiveLink::Disconnect() {
  if (viewer_ && viewer_->session(0).connected()) viewer_->DisconnectSlot(0);
}

bool LiveLink::connected() const { return viewer_->session(0).connected(); }

int LiveLink::channel_count() const { return viewer_->cells().CellsOf(0).size(); }

uint8_t LiveLink::pan_tilt_mask() const {
  uint8_t mask = 0;
  const auto& flags = viewer_->ChannelFlags(0);
  for (int i = 0; i < 8; ++i) mask |= static_cast<uint8_t>((flags[i] & 1) << i);
  return mask;
}

int LiveLink::SlotOfChannel(int channel) const {
  const auto& cells = viewer_->cells().CellsOf(0);
  return channel >= 1 && channel <= static_cast<int>(cells.size()) ? cells[channel - 1] : -1;
}

}  // namespace kaviroctl
