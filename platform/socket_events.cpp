#include "platform/socket_events.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include "platform/winsock_errors.h"

namespace platform {

SocketEvents SocketEventWaiter::Wait(int timeout_ms) {
  SocketEvents events;
  pollfd entries[2] = {
      {socket_.fd(), static_cast<short>(connecting_ ? POLLOUT : POLLIN), 0},
      {close_event_.fd(), POLLIN, 0},
  };
  const int ready = poll(entries, 2, timeout_ms);
  if (ready < 0) {
    events.failed = errno != EINTR;
    return events;
  }
  if (entries[1].revents & POLLIN) {
    close_event_.Reset();
    events.close_requested = true;
    return events;
  }
  const short revents = entries[0].revents;
  if (revents & POLLNVAL) {
    events.failed = true;
    return events;
  }
  if (revents == 0) return events;

  if (connecting_) {
    connecting_ = false;
    events.connected = true;
    events.connect_error = socket_.PendingError();
    return events;
  }
  // Tell data from an orderly close or a reset the way the event model did:
  // the close is reported once the data before it has been taken.
  uint8_t probe;
  const ssize_t peeked = recv(socket_.fd(), &probe, 1, MSG_PEEK | MSG_DONTWAIT);
  if (peeked > 0) {
    events.readable = true;
  } else if (peeked == 0) {
    events.closed = true;
  } else if (errno != EAGAIN && errno != EINTR) {
    events.closed = true;
    events.close_error = WsaErrorFromErrno(errno);
  }
  return events;
}

}  // namespace platform
