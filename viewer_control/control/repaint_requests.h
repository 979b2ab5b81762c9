// Hands repaint requests from receive threads to the user-interface thread.
// A receive thread marks the 1-based slot whose picture it has drawn; the
// first mark since the last hand-over sets a timer for a display frame after
// that hand-over (at once if that is past), and the user-interface thread,
// woken by the timer, hands every mark made until then to the view at once.
// Sixteen channels whose pictures arrive at moments of their own then cost one
// wake-up and one paint a frame, not one each, and a picture waits at most a
// frame to be shown. No allocation and no posted event per mark.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>

#include <QObject>

class QSocketNotifier;

namespace vistrel {

class RepaintRequests final : public QObject {
 public:
  // Called on the user-interface thread with the marks, bit n - 1 for slot n.
  using Handler = std::function<void(uint32_t marked)>;
  // A display's frame at 60 Hz; video comes at 30 pictures a second at most.
  static constexpr std::chrono::milliseconds kFrame{16};

  explicit RepaintRequests(Handler handler, std::chrono::milliseconds frame = kFrame);
  ~RepaintRequests() override;

  // Any thread.
  void Mark(int slot);

 private:
  bool SetTimer();
  void Woken();
  void HandOver();

  const Handler handler_;
  const std::chrono::nanoseconds frame_;
  std::atomic<uint32_t> marked_{0};
  // CLOCK_MONOTONIC, in nanoseconds: read by the marking threads.
  std::atomic<int64_t> last_hand_over_ns_{0};
  int timer_fd_ = -1;  // a timerfd, or -1 when none could be made
  QSocketNotifier* wake_ = nullptr;
};

}  // namespace vistrel
