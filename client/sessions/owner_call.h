// Running work on the thread that owns a QObject and waiting for it, the way
// a synchronous window message did — except that a command socket's worker
// gives the wait up as soon as its socket is asked to stop. The owner thread
// may be the one closing that socket and waiting for the worker; without
// this, both would wait for each other until the close gave up.
//
// Threads: any. On the owner thread itself the work runs at once.
#pragma once

#include <functional>

class QObject;

namespace sessions {

// True when `work` ran; false when the calling worker's stop came first, in
// which case the work never runs.
bool CallOnOwnerThread(QObject* owner, std::function<void()> work);

}  // namespace sessions
