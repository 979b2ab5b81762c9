#include "platform/close_event.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace platform {

CloseEvent::CloseEvent() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CloseEvent::~CloseEvent() {
  if (fd_ >= 0) close(fd_);
}

void CloseEvent::Set() {
  const uint64_t one = 1;
  if (fd_ >= 0) (void)!write(fd_, &one, sizeof one);
}

bool CloseEvent::Reset() {
  uint64_t value = 0;
  return fd_ >= 0 && read(fd_, &value, sizeof value) == sizeof value;
}

bool CloseEvent::IsSet() const {
  pollfd entry{fd_, POLLIN, 0};
  return fd_ >= 0 && poll(&entry, 1, 0) == 1;
}

}  // namespace platform
