// BoundedWorker: a thread whose end its owner waits for within a bound.
//
// The one rule for every worker thread of the client and its tools: the owner
// asks the thread to stop in its own way (a flag, an event), then waits for it
// until a deadline. A thread that has ended by then is joined. One that has not
// (a callee that does not return: a frame sink, a message box, a driver) is
// given up: detached, and left to end on its own. So the body must reach only
// what it co-owns (a shared block) once its owner may have given it up, and an
// owner that gives a thread up must not free anything the body still uses.
//
// Threads: every method is called by the owner, one call at a time, as for
// any object it owns; finished and WaitFinished also after the thread was
// given up. Only the body runs on the worker thread.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace platform {

class BoundedWorker {
 public:
  using Clock = std::chrono::steady_clock;

  BoundedWorker() = default;
  // A thread still running is given up, as by JoinUntil(now).
  ~BoundedWorker();
  BoundedWorker(BoundedWorker&&) noexcept = default;
  BoundedWorker& operator=(BoundedWorker&&) noexcept;
  BoundedWorker(const BoundedWorker&) = delete;
  BoundedWorker& operator=(const BoundedWorker&) = delete;

  // Runs `body` on a new thread; false (and nothing runs) when the system
  // gives no thread. A previous thread still running is given up first.
  bool Start(std::function<void()> body);

  // A thread was started and is neither joined nor given up.
  bool joinable() const { return thread_.joinable(); }
  // The body of the last thread started has returned.
  bool finished() const;

  // Waits for the body to return until `deadline`, and joins the thread when
  // it did (true). Otherwise the thread is given up (false); finished and
  // WaitFinished still report its end.
  bool JoinUntil(Clock::time_point deadline);
  bool JoinWithin(std::chrono::milliseconds timeout) { return JoinUntil(Clock::now() + timeout); }

  // Waits for the body to return, at most `timeout`; nothing is joined.
  bool WaitFinished(std::chrono::milliseconds timeout) const;
  // Waits without a bound: only for a thread given up whose body reaches
  // something about to be freed.
  void WaitFinished() const;

 private:
  struct Exit;
  std::thread thread_;
  std::shared_ptr<Exit> exit_;
};

}  // namespace platform
