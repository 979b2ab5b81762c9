#include "client/sessions/owner_call.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "client/sessions/command_socket.h"

namespace sessions {
namespace {

constexpr auto kStopCheckPeriod = std::chrono::milliseconds(10);

struct PendingCall {
  std::mutex lock;
  std::condition_variable done_signal;
  bool started = false;    // guarded by lock
  bool done = false;       // guarded by lock
  bool abandoned = false;  // guarded by lock
};

}  // namespace

bool CallOnOwnerThread(QObject* owner, std::function<void()> work) {
  if (QThread::currentThread() == owner->thread()) {
    work();
    return true;
  }
  auto call = std::make_shared<PendingCall>();
  QMetaObject::invokeMethod(
      owner,
      [call, work = std::move(work)] {
        {
          std::lock_guard guard(call->lock);
          if (call->abandoned) return;
          call->started = true;
        }
        work();
        std::lock_guard guard(call->lock);
        call->done = true;
        call->done_signal.notify_all();
      },
      Qt::QueuedConnection);

  std::unique_lock guard(call->lock);
  while (!call->done) {
    // Work already begun on the owner thread is waited for: the owner is not
    // closing our socket while it runs it.
    if (!call->started && CCommandSocket::CurrentWorkerStopRequested()) {
      call->abandoned = true;
      return false;
    }
    call->done_signal.wait_for(guard, kStopCheckPeriod);
  }
  return true;
}

}  // namespace sessions
