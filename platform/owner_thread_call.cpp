#include "platform/owner_thread_call.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace platform {
namespace {

struct PendingCall {
  std::mutex lock;
  std::condition_variable done_signal;
  bool started = false;    // guarded by lock
  bool done = false;       // guarded by lock
  bool abandoned = false;  // guarded by lock; the caller left before the start
};

std::mutex& PostOrder() {
  static std::mutex lock;
  return lock;
}

}  // namespace

void PostToOwnerThread(QObject* owner, std::function<void()> work) {
  std::lock_guard posting(PostOrder());
  QMetaObject::invokeMethod(
      owner,
      [work = std::move(work)] {
        { std::lock_guard delivered(PostOrder()); }
        work();
      },
      Qt::QueuedConnection);
}

bool CallOnOwnerThread(QObject* owner, std::function<void()> work, const std::function<bool()>& cancelled,
                       BegunWork begun) {
  if (QThread::currentThread() == owner->thread()) {
    if (cancelled && cancelled()) return false;
    work();
    return true;
  }
  auto call = std::make_shared<PendingCall>();
  PostToOwnerThread(owner, [call, work = std::move(work)] {
    {
      std::lock_guard guard(call->lock);
      if (call->abandoned) return;
      call->started = true;
    }
    work();
    std::lock_guard guard(call->lock);
    call->done = true;
    call->done_signal.notify_all();
  });

  std::unique_lock guard(call->lock);
  while (!call->done) {
    const bool may_leave = !call->started || begun == BegunWork::kLeave;
    if (may_leave && cancelled && cancelled()) {
      call->abandoned = true;
      return false;
    }
    call->done_signal.wait_for(guard, std::chrono::milliseconds(kCancelCheckMs));
  }
  return true;
}

}  // namespace platform
