#include "platform/bounded_worker.h"

#include <condition_variable>
#include <mutex>
#include <system_error>

namespace platform {

struct BoundedWorker::Exit {
  mutable std::mutex lock;
  std::condition_variable signal;
  bool done = false;  // guarded by lock
};

BoundedWorker::~BoundedWorker() {
  if (thread_.joinable()) JoinUntil(Clock::now());
}

BoundedWorker& BoundedWorker::operator=(BoundedWorker&& other) noexcept {
  if (this != &other) {
    if (thread_.joinable()) JoinUntil(Clock::now());
    thread_ = std::move(other.thread_);
    exit_ = std::move(other.exit_);
  }
  return *this;
}

bool BoundedWorker::Start(std::function<void()> body) {
  if (thread_.joinable()) JoinUntil(Clock::now());
  auto exit = std::make_shared<Exit>();
  try {
    thread_ = std::thread([exit, body = std::move(body)]() mutable {
      body();
      // What the body captured goes before its end is reported, so an owner
      // waiting for that end may free what the captures point to.
      body = nullptr;
      std::lock_guard guard(exit->lock);
      exit->done = true;
      exit->signal.notify_all();
    });
  } catch (const std::system_error&) {
    return false;
  }
  exit_ = std::move(exit);
  return true;
}

bool BoundedWorker::finished() const {
  if (!exit_) return false;
  std::lock_guard guard(exit_->lock);
  return exit_->done;
}

bool BoundedWorker::JoinUntil(Clock::time_point deadline) {
  if (!thread_.joinable()) return finished();
  bool ended;
  {
    std::unique_lock guard(exit_->lock);
    ended = exit_->signal.wait_until(guard, deadline, [this] { return exit_->done; });
  }
  if (ended) {
    thread_.join();
  } else {
    thread_.detach();
  }
  return ended;
}

bool BoundedWorker::WaitFinished(std::chrono::milliseconds timeout) const {
  if (!exit_) return false;
  std::unique_lock guard(exit_->lock);
  return exit_->signal.wait_for(guard, timeout, [this] { return exit_->done; });
}

void BoundedWorker::WaitFinished() const {
  if (!exit_) return;
  std::unique_lock guard(exit_->lock);
  exit_->signal.wait(guard, [this] { return exit_->done; });
}

}  // namespace platform
