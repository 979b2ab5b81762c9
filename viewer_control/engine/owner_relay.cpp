#include "viewer_control/engine/owner_relay.h"

#include <QMetaObject>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace vistrel {
namespace {

struct PendingCall {
  std::mutex lock;
  std::condition_variable done_signal;
  bool abandoned = false;  // the caller stopped waiting; do not run
  bool done = false;
};

}  // namespace

bool OwnerRelay::Call(std::function<void()> handler, const std::function<bool()>& cancelled) {
  if (QThread::currentThread() == thread()) {
    if (cancelled()) return false;
    handler();
    return true;
  }
  auto pending = std::make_shared<PendingCall>();
  QMetaObject::invokeMethod(
      this,
      [pending, handler = std::move(handler)] {
        {
          std::lock_guard lock(pending->lock);
          if (pending->abandoned) return;
        }
        handler();
        std::lock_guard lock(pending->lock);
        pending->done = true;
        pending->done_signal.notify_all();
      },
      Qt::QueuedConnection);

  std::unique_lock lock(pending->lock);
  while (!pending->done) {
    if (cancelled()) {
      pending->abandoned = true;
      return false;
    }
    pending->done_signal.wait_for(lock, std::chrono::milliseconds(kPollMs));
  }
  return true;
}

}  // namespace vistrel
