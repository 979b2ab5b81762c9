#include "client/kaviroctl/interrupt.h"

#include <QCoreApplication>

#include <atomic>
#include <csignal>
#include <thread>

namespace kaviroctl {
namespace {

// Written by the handler, so lock-free.
std::atomic<int> g_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);

void OnSignal(int number) { g_signal.store(number, std::memory_order_relaxed); }

}  // namespace

void CatchInterrupts() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

int InterruptSignal() { return g_signal.load(std::memory_order_relaxed); }

void ClearInterrupt() { g_signal.store(0, std::memory_order_relaxed); }

bool PumpEvents(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline || InterruptSignal() != 0) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace kaviroctl
