#include "client/sessions/testing/manual_reconnect_timers.h"

#include <utility>

namespace sessions::testing {

class ManualReconnectTimers::Timer : public IReconnectTimer {
 public:
  explicit Timer(std::shared_ptr<Shot> shot) : shot_(std::move(shot)) {}
  void Start(std::chrono::milliseconds delay, std::function<void()> fire) override {
    shot_->active = true;
    shot_->delay = delay;
    shot_->fire = std::move(fire);
  }
  void Stop() override { shot_->active = false; }
  bool active() const override { return shot_->active; }

 private:
  std::shared_ptr<Shot> shot_;
};

ReconnectTimerFactory ManualReconnectTimers::Factory() {
  return [this] { return Make(); };
}

std::unique_ptr<IReconnectTimer> ManualReconnectTimers::Make() {
  shots_.push_back(std::make_shared<Shot>());
  return std::make_unique<Timer>(shots_.back());
}

bool ManualReconnectTimers::Fire(size_t timer) {
  Shot& shot = *shots_.at(timer);
  if (!shot.active) return false;
  shot.active = false;
  // Taken out first: the shot may start the next one.
  if (auto fire = std::exchange(shot.fire, nullptr)) fire();
  return true;
}

}  // namespace sessions::testing
