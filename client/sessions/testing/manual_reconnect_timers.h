// Reconnect timers that fire only when a test says so, so that the back-off
// is checked without waiting for it and without depending on the clock.
//
// Threads: the live viewer's owner thread (the test's).
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "client/sessions/reconnect_policy.h"

namespace sessions::testing {

class ManualReconnectTimers {
 public:
  // Each timer made is the next one of this set: the live viewer makes one
  // per slot, in slot order.
  ReconnectTimerFactory Factory();
  std::unique_ptr<IReconnectTimer> Make();

  bool active(size_t timer) const { return shots_.at(timer)->active; }
  // The delay of the pending (or last) shot.
  std::chrono::milliseconds delay(size_t timer) const { return shots_.at(timer)->delay; }
  // Fires a pending shot; false when none was pending.
  bool Fire(size_t timer);

 private:
  struct Shot {
    bool active = false;
    std::chrono::milliseconds delay{0};
    std::function<void()> fire;
  };
  class Timer;
  std::vector<std::shared_ptr<Shot>> shots_;
};

}  // namespace sessions::testing
