#include "client/sessions/reconnect_policy.h"

#include <array>
#include <utility>

namespace sessions {
namespace {

constexpr std::array<int, 6> kDelaysS = {2, 4, 8, 16, 30, 60};

}  // namespace

const char* SlotStateName(SlotState state) {
  switch (state) {
    case SlotState::kOffline:
      return "offline";
    case SlotState::kConnecting:
      return "connecting";
    case SlotState::kOnline:
      return "online";
    case SlotState::kReconnecting:
      return "reconnecting";
    case SlotState::kFailed:
      return "failed";
  }
  return "offline";
}

std::chrono::milliseconds ReconnectBackoff::Next() {
  const size_t step = std::min<size_t>(static_cast<size_t>(attempts_), kDelaysS.size() - 1);
  // Counting stops at a bound: a DVR away for years must not wrap the count.
  if (attempts_ < 1000000) ++attempts_;
  return std::chrono::seconds(kDelaysS[step]);
}

QtReconnectTimer::QtReconnectTimer() {
  timer_.setSingleShot(true);
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    // Taken out first: the shot may start the next one.
    if (auto fire = std::exchange(fire_, nullptr)) fire();
  });
}

void QtReconnectTimer::Start(std::chrono::milliseconds delay, std::function<void()> fire) {
  fire_ = std::move(fire);
  timer_.start(delay);
}

ReconnectPolicy::ReconnectPolicy(std::unique_ptr<IReconnectTimer> timer, std::function<void()> attempt,
                                 std::function<void(const SlotStatus&)> changed, Clock clock)
    : timer_(std::move(timer)), attempt_(std::move(attempt)), changed_(std::move(changed)), clock_(std::move(clock)) {
  status_.changed = clock_();
}

void ReconnectPolicy::SetTimer(std::unique_ptr<IReconnectTimer> timer) {
  if (timer_) timer_->Stop();
  timer_ = std::move(timer);
}

void ReconnectPolicy::Enter(SlotState state) {
  if (status_.state != state) status_.changed = clock_();
  status_.state = state;
  if (changed_) changed_(status_);
}

void ReconnectPolicy::Connecting(const SlotTarget& target) {
  timer_->Stop();
  target_ = target;
  backoff_.Reset();
  attempting_ = false;
  status_.alias = target.alias;
  status_.address = target.network ? target.address + ":" + std::to_string(target.port) : target.address;
  status_.dropped = false;
  status_.attempt = 0;
  status_.next_delay = {};
  Enter(SlotState::kConnecting);
}

void ReconnectPolicy::Online(int channel_count) {
  timer_->Stop();
  backoff_.Reset();
  attempting_ = false;
  status_.channel_count = channel_count;
  status_.dropped = false;
  status_.attempt = 0;
  status_.next_delay = {};
  Enter(SlotState::kOnline);
}

void ReconnectPolicy::Dropped() {
  if (status_.state == SlotState::kOnline) {
    status_.dropped = true;
    if (target_.auto_reconnect) {
      Schedule();
    } else {
      Enter(SlotState::kFailed);
    }
  } else if (attempting_) {
    // The attempt's connection closed before its stream came up.
    AttemptFailed();
  } else if (status_.state == SlotState::kConnecting) {
    Enter(SlotState::kFailed);
  }
}

void ReconnectPolicy::ConnectFailed() {
  if (attempting_) {
    AttemptFailed();
  } else if (status_.state == SlotState::kConnecting) {
    Enter(SlotState::kFailed);
  }
}

void ReconnectPolicy::AttemptFailed() {
  attempting_ = false;
  if (target_.auto_reconnect) {
    Schedule();
  } else {
    Enter(SlotState::kFailed);
  }
}

void ReconnectPolicy::Refused() {
  timer_->Stop();
  attempting_ = false;
  status_.dropped = false;
  status_.next_delay = {};
  Enter(SlotState::kFailed);
}

void ReconnectPolicy::OperatorDisconnected() {
  timer_->Stop();
  attempting_ = false;
  const bool changed = status_.state != SlotState::kOffline || status_.dropped;
  status_.dropped = false;
  status_.attempt = 0;
  status_.next_delay = {};
  if (changed) Enter(SlotState::kOffline);
}

bool ReconnectPolicy::ReconnectNow() {
  if (!status_.dropped || attempting_) return false;
  timer_->Stop();
  backoff_.Reset();
  status_.attempt = 1;
  status_.next_delay = {};
  Enter(SlotState::kReconnecting);
  Attempt();
  return true;
}

void ReconnectPolicy::Schedule() {
  const std::chrono::milliseconds delay = backoff_.Next();
  ++status_.attempt;
  status_.next_delay = delay;
  timer_->Start(delay, [this] { Attempt(); });
  Enter(SlotState::kReconnecting);
}

void ReconnectPolicy::Attempt() {
  attempting_ = true;
  if (attempt_) attempt_();
}

}  // namespace sessions
