// Runs a handler on the engine's owner thread for a receive thread, and makes
// the receive thread wait until it has run: the way the control's window
// messages were sent with SendMessage.
//
// Unlike a blocking queued connection, the wait can be given up: the caller
// passes the stop flag of its connection, and once that is set the wait ends
// (within kPollMs) and a handler that has not begun is never run. So a stop
// issued on the owner thread, even from inside a handler, never waits for a
// receive thread that waits for the owner.
//
// Threads: constructed on the owner thread, which must run a Qt event loop
// (QCoreApplication::exec, a QEventLoop, or processEvents) for handlers to run.
// Call is made on any other thread; on the owner thread it runs the handler at once.
#pragma once

#include <QObject>
#include <functional>

namespace vistrel {

class OwnerRelay : public QObject {
 public:
  static constexpr int kPollMs = 10;

  OwnerRelay() = default;

  // True when the handler has run; false when `cancelled` became true first
  // (the handler then does not run).
  bool Call(std::function<void()> handler, const std::function<bool()>& cancelled);
};

}  // namespace vistrel
