// The sessions' hand-over to the thread that owns a QObject: a command
// socket's worker gives its wait up as soon as its socket is asked to stop,
// before the work has begun. The owner thread may be the one closing that
// socket and waiting for the worker; without this, both would wait for each
// other until the close gave up. Work already begun is waited for: it reads
// and writes the caller's data, and the owner is not closing the socket
// while it runs it.
//
// Threads: any. On the owner thread itself the work runs at once.
#pragma once

#include <functional>

#include "client/sessions/command_socket.h"
#include "platform/owner_thread_call.h"

namespace sessions {

// True when `work` ran; false when the calling worker's stop came first, in
// which case the work never runs.
inline bool CallOnOwnerThread(QObject* owner, std::function<void()> work) {
  return platform::CallOnOwnerThread(owner, std::move(work), CCommandSocket::CurrentWorkerStopRequested,
                                     platform::BegunWork::kWaitForEnd);
}

}  // namespace sessions
