#include "viewer_control/control/repaint_requests.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace vistrel {

RepaintRequests::RepaintRequests(Handler handler, std::chrono::milliseconds frame)
    : handler_(std::move(handler)), frame_(frame) {
  wake_fd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wake_fd_ >= 0) {
    wake_ = new QSocketNotifier(wake_fd_, QSocketNotifier::Read, this);
    connect(wake_, &QSocketNotifier::activated, this, [this] { Woken(); });
  }
  next_frame_.setSingleShot(true);
  next_frame_.setTimerType(Qt::PreciseTimer);
  connect(&next_frame_, &QTimer::timeout, this, [this] { HandOver(); });
}

RepaintRequests::~RepaintRequests() {
  delete wake_;
  if (wake_fd_ >= 0) ::close(wake_fd_);
}

void RepaintRequests::Mark(int slot) {
  // Only the first mark since the last hand-over wakes the user-interface
  // thread; the rest ride along with it.
  if (marked_.fetch_or(1u << (slot - 1)) != 0) return;
  if (wake_fd_ >= 0) {
    const uint64_t one = 1;
    if (::write(wake_fd_, &one, sizeof one) == static_cast<ssize_t>(sizeof one)) return;
  }
  // Queued to the user-interface thread; dropped if this is gone by then.
  QMetaObject::invokeMethod(
      this, [this] { Woken(); }, Qt::QueuedConnection);
}

void RepaintRequests::Woken() {
  uint64_t count = 0;
  if (wake_fd_ >= 0 && ::read(wake_fd_, &count, sizeof count) < 0) count = 0;
  if (next_frame_.isActive()) return;
  const auto since = std::chrono::milliseconds(since_hand_over_.isValid() ? since_hand_over_.elapsed() : frame_.count());
  // The marks stay set meanwhile, so no other mark wakes us before then.
  if (since < frame_) {
    next_frame_.start(frame_ - since);
    return;
  }
  HandOver();
}

void RepaintRequests::HandOver() {
  // A mark made after this exchange wakes us again.
  const uint32_t marked = marked_.exchange(0);
  if (marked == 0) return;
  since_hand_over_.start();
  handler_(marked);
}

}  // namespace vistrel
