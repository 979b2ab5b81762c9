#include "viewer_control/control/repaint_requests.h"

#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

#include <QSocketNotifier>

namespace vistrel {

namespace {

int64_t MonotonicNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

}  // namespace

RepaintRequests::RepaintRequests(Handler handler, std::chrono::milliseconds frame)
    : handler_(std::move(handler)), frame_(frame) {
  timer_fd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (timer_fd_ >= 0) {
    wake_ = new QSocketNotifier(timer_fd_, QSocketNotifier::Read, this);
    connect(wake_, &QSocketNotifier::activated, this, [this] { Woken(); });
  }
}

RepaintRequests::~RepaintRequests() {
  delete wake_;
  if (timer_fd_ >= 0) ::close(timer_fd_);
}

void RepaintRequests::Mark(int slot) {
  // Only the first mark since the last hand-over sets the timer; the rest
  // ride along with it, and the marks stay set until then.
  if (marked_.fetch_or(1u << (slot - 1)) != 0) return;
  if (SetTimer()) return;
  // No timer: queued to the user-interface thread at once, unpaced; dropped
  // if this is gone by then.
  QMetaObject::invokeMethod(
      this, [this] { HandOver(); }, Qt::QueuedConnection);
}

// Due a frame after the last hand-over: in the past (and so at once) when
// that was longer ago. Never zero, which would disarm the timer.
bool RepaintRequests::SetTimer() {
  if (timer_fd_ < 0) return false;
  const int64_t due = std::max<int64_t>(1, last_hand_over_ns_.load() + frame_.count());
  itimerspec when{};
  when.it_value.tv_sec = static_cast<time_t>(due / 1'000'000'000);
  when.it_value.tv_nsec = static_cast<long>(due % 1'000'000'000);
  return timerfd_settime(timer_fd_, TFD_TIMER_ABSTIME, &when, nullptr) == 0;
}

void RepaintRequests::Woken() {
  uint64_t expirations = 0;
  if (::read(timer_fd_, &expirations, sizeof expirations) < 0) return;  // not due: nothing to hand over
  HandOver();
}

void RepaintRequests::HandOver() {
  // Stamped before the exchange, so that a mark made after it is timed from
  // this hand-over and wakes us again a frame later.
  last_hand_over_ns_.store(MonotonicNanoseconds());
  const uint32_t marked = marked_.exchange(0);
  if (marked != 0) handler_(marked);
}

}  // namespace vistrel
