#include "client/kaviroctl/live_link.h"

#include <QCoreApplication>

#include <thread>

#include "client/sessions/socket_error_text.h"
#include "platform/winsock_errors.h"

namespace kaviroctl {

LiveLink::LiveLink(bool quiet) : ui_(quiet), engine_(nullptr, &frames_), control_(engine_) {
  viewer_ = std::make_unique<sessions::CLiveViewer>(ui_, &control_);
  control_.AttachViewer(viewer_.get());
  engine_.SetEventSink(&control_);
}

LiveLink::~LiveLink() {
  Disconnect();
  // Alarm boxes still up close now, after the disconnect, so that none of
  // them releases its alarm; the viewer then joins their threads.
  ui_.Release();
  engine_.SetEventSink(nullptr);
  control_.AttachViewer(nullptr);
  viewer_.reset();
}

bool LiveLink::Pump(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

Outcome LiveLink::Connect(const LinkTarget& target, std::chrono::seconds timeout) {
  sessions::CLiveSession& session = viewer_->session(0);
  if (session.SetLogonData(target.host, target.port, target.user, target.password, true) != 0) {
    return Outcome::kUsage;
  }
  const bool settled = Pump([&] { return ui_.failure() != Outcome::kOk || session.stream_connected(); },
                            timeout);
  if (ui_.failure() != Outcome::kOk) {
    return ui_.connect_failed() ? ClassifyConnectFailure() : ui_.failure();
  }
  return settled ? Outcome::kOk : Outcome::kTimeout;
}

Outcome LiveLink::ClassifyConnectFailure() const {
  const std::string prefix = "[LIVE DVR 0] ";
  if (trace_.Contains(prefix + sessions::ConnectErrorText(platform::kWsaConnRefused))) {
    return Outcome::kRefused;
  }
  if (trace_.Contains(prefix + sessions::ConnectErrorText(platform::kWsaTimedOut))) {
    return Outcome::kUnreachable;
  }
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
