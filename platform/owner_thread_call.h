// Running work on the thread that owns a QObject while the calling thread
// waits, as a synchronous window message did, with waits that can be given
// up. This is the one hand-over from worker threads to an owner thread (the
// user-interface thread, the viewer engine's owner); PostToOwnerThread queues
// where nothing needs to wait.
//
// Which waits are given up, and when:
//   - On the owner thread itself the work runs at once, unless the caller is
//     already cancelled (then it does not run).
//   - From another thread the work is queued to the owner's event loop and
//     the caller waits. While the work has not begun, the caller checks
//     `cancelled` every kCancelCheckMs; once it is true the caller stops
//     waiting and the work never runs. That is what keeps an owner thread that
//     stops a worker (and waits for it, bounded) from waiting for a worker
//     that waits for it.
//   - Work already begun is waited for to its end with BegunWork::kWaitForEnd:
//     work that reads or writes the caller's data (results, references) needs
//     the caller to stay. With BegunWork::kLeave the caller leaves at the
//     cancel even then, and the work finishes on its own: for work that owns
//     all it uses, so that a handler on the owner thread may stop the very
//     thread that waits for it.
//
// Threads: any. The owner thread must run a Qt event loop (exec, a QEventLoop
// or processEvents) for queued work to run.
#pragma once

#include <functional>

class QObject;

namespace platform {

inline constexpr int kCancelCheckMs = 10;

enum class BegunWork { kWaitForEnd = 1, kLeave = 2 };

// True when `work` ran to its end while the caller waited; false when the
// caller was cancelled first (see above for whether the work then runs).
bool CallOnOwnerThread(QObject* owner, std::function<void()> work, const std::function<bool()>& cancelled,
                       BegunWork begun = BegunWork::kWaitForEnd);

// Queues `work` to the owner's event loop without waiting. What the caller
// wrote before posting is visible to the work. Qt's event queue already
// orders a post before its delivery, but inside an uninstrumented Qt where
// ThreadSanitizer cannot see it; one process-wide lock, taken around the
// post and at the delivery, states the same order where it can.
void PostToOwnerThread(QObject* owner, std::function<void()> work);

}  // namespace platform
