// ReconnectPolicy: the connection state of one DVR slot as the operator sees
// it (offline, connecting, online, reconnecting, failed) and the automatic
// reconnect after a drop, with its back-off of 2, 4, 8, 16, 30 and 60 s, then
// 60 s each. The live viewer keeps one per slot and tells it what happened;
// the policy says when to try again and never does so after the operator's
// own disconnect or a refusal (administrator takeover, wrong user name or
// password, the DVR turning the client away).
//
// Threads: owner thread only (the live viewer's). The timer calls back on
// that thread too; tests drive it by hand through IReconnectTimer.
#pragma once

#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace sessions {

enum class SlotState : int { kOffline = 1, kConnecting, kOnline, kReconnecting, kFailed };

// "offline", "connecting", ...: for traces, tooltips and kaviroctl.
const char* SlotStateName(SlotState state);

// What a slot was asked to connect to, kept for the attempts after a drop.
struct SlotTarget {
  std::string alias;  // the address-book entry, empty for a manual logon
  std::string address;
  uint16_t port = 2000;
  std::string user_name;
  std::string password;
  bool network = true;
  bool auto_reconnect = false;
};

struct SlotStatus {
  SlotState state = SlotState::kOffline;
  std::string alias;
  std::string address;
  int channel_count = 0;  // of the last connection that came up
  std::chrono::system_clock::time_point changed{};
  // Lost by the DVR or the network rather than ended on purpose: the slot
  // offers a one-click reconnect.
  bool dropped = false;
  int attempt = 0;  // the reconnect attempt waited for or under way, from 1
  std::chrono::milliseconds next_delay{0};
};

// The delays between reconnect attempts.
class ReconnectBackoff {
 public:
  // The wait before the next attempt; each call moves one step on.
  std::chrono::milliseconds Next();
  void Reset() { attempts_ = 0; }
  int attempts() const { return attempts_; }

 private:
  int attempts_ = 0;
};

// A single-shot timer; Start replaces a pending shot.
class IReconnectTimer {
 public:
  virtual ~IReconnectTimer() = default;
  virtual void Start(std::chrono::milliseconds delay, std::function<void()> fire) = 0;
  virtual void Stop() = 0;
  virtual bool active() const = 0;
};
using ReconnectTimerFactory = std::function<std::unique_ptr<IReconnectTimer>()>;

// The real timer: a QTimer of the thread that creates it.
class QtReconnectTimer : public IReconnectTimer {
 public:
  QtReconnectTimer();
  void Start(std::chrono::milliseconds delay, std::function<void()> fire) override;
  void Stop() override { timer_.stop(); }
  bool active() const override { return timer_.isActive(); }

 private:
  QTimer timer_;
  std::function<void()> fire_;
};

class ReconnectPolicy {
 public:
  using Clock = std::function<std::chrono::system_clock::time_point()>;
  // `attempt` starts a connection to target() again; `changed` is told every
  // change of status().
  ReconnectPolicy(std::unique_ptr<IReconnectTimer> timer, std::function<void()> attempt,
                  std::function<void(const SlotStatus&)> changed, Clock clock = &std::chrono::system_clock::now);

  const SlotStatus& status() const { return status_; }
  const SlotTarget& target() const { return target_; }
  // A reconnect attempt is under way (started, not yet up or failed).
  bool attempting() const { return attempting_; }
  void SetTimer(std::unique_ptr<IReconnectTimer> timer);

  // What happened to the slot.
  void Connecting(const SlotTarget& target);
  void Online(int channel_count);
  // The DVR or the network ended the connection.
  void Dropped();
  // The connection could not be made.
  void ConnectFailed();
  // Turned away: no attempt follows.
  void Refused();
  void OperatorDisconnected();
  // The one-click reconnect of a dropped slot: an attempt at once, the
  // back-off afresh. False when the slot did not drop.
  bool ReconnectNow();

 private:
  void Enter(SlotState state);
  void Schedule();
  void Attempt();
  // An attempt that did not come up: the next one, or failed when the slot
  // does not reconnect by itself.
  void AttemptFailed();

  std::unique_ptr<IReconnectTimer> timer_;
  std::function<void()> attempt_;
  std::function<void(const SlotStatus&)> changed_;
  Clock clock_;
  SlotTarget target_;
  SlotStatus status_;
  ReconnectBackoff backoff_;
  bool attempting_ = false;
};

}  // namespace sessions
