// An auto-reset event that wakes a thread blocked in poll: the stand-in for
// the Win32 close events that tell workers to stop.
#pragma once

namespace platform {

class CloseEvent {
 public:
  CloseEvent();
  ~CloseEvent();
  CloseEvent(const CloseEvent&) = delete;
  CloseEvent& operator=(const CloseEvent&) = delete;

  bool valid() const { return fd_ >= 0; }
  // The descriptor to poll for POLLIN.
  int fd() const { return fd_; }
  void Set();
  // Clears the signalled state; returns whether it was set.
  bool Reset();
  bool IsSet() const;

 private:
  int fd_ = -1;
};

}  // namespace platform
