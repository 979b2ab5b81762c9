// SIGINT and SIGTERM end a command through its normal exit path, so that what
// it made (the recording, its temporary settings store) is closed and cleaned
// up. A second signal of the same kind ends the program at once.
//
// Threads: CatchInterrupts on the main thread before any other thread starts;
// the rest from any thread.
#pragma once

#include <chrono>
#include <functional>

namespace kaviroctl {

void CatchInterrupts();
// The signal that asked the command to end, or 0.
int InterruptSignal();
// Forgets a caught signal (between the commands of one process, in tests).
void ClearInterrupt();

// Runs the Qt event loop until `done` holds (true) or the time is up (false);
// an interrupt ends it early, as the time being up.
bool PumpEvents(const std::function<bool()>& done, std::chrono::milliseconds timeout);

}  // namespace kaviroctl
