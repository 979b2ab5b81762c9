// AlarmPopups: one thread per pending DVR alarm, so that several alarm
// boxes can be up at once. Each thread starts its alarm's buzzer, shows the
// box through ISessionUi (which returns when the operator answers it), on
// OK releases the alarm at the DVR, then stops the buzzer.
//
// An alarm whose box (same DVR, kind and number) is still up opens no second
// box: it is counted and the box shows the count. So a DVR that floods
// alarms costs at most one thread per alarm number and kind.
//
// Threads: Raise is called on a session's worker thread (or any thread); the
// box threads call ISessionUi and the release operation. Neither the caller
// nor the user interface waits for a box.
//
// Locks: `state->lock` guards the pending table; ISessionUi::UpdateAlarm is
// called under it (it must not block), nothing else of the user interface
// is. `threads_lock_` guards the thread list and is taken before
// `state->lock` where both are held.
//
// Lifetime: the release operation reaches a session, so it runs under
// `state->lock` and only while the object lives; the destructor marks the
// state closed under that lock (no release can start afterwards), then joins
// the threads that end within 1,000 ms and gives the others up (a box still
// up, a buzzer that does not stop); they touch only the shared state and the
// user interface from then on. The user interface must outlive this object.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "client/sessions/session_ui.h"
#include "platform/bounded_worker.h"

namespace sessions {

class AlarmPopups {
 public:
  static constexpr int kJoinTimeoutMs = 1000;

  explicit AlarmPopups(ISessionUi& ui);
  ~AlarmPopups();
  AlarmPopups(const AlarmPopups&) = delete;
  AlarmPopups& operator=(const AlarmPopups&) = delete;

  // The box of one alarm; `release` stops the alarm out at the DVR.
  void Raise(int dvr_number, AlarmKind kind, int number, std::function<void()> release);

  // The alarm boxes not yet answered.
  int open_boxes() const;

  // The box text and caption of an alarm raised `repeats` more times while
  // its box was up.
  static AlarmBox MakeBox(int id, int dvr_number, AlarmKind kind, int number, int repeats = 0);

 private:
  using AlarmKey = std::tuple<int, AlarmKind, int>;  // DVR number, kind, number
  struct Pending {
    int id = 0;
    int repeats = 0;
  };
  struct State {
    std::mutex lock;
    bool closed = false;                  // guarded by lock
    int open = 0;                         // guarded by lock
    int next_id = 1;                      // guarded by lock
    std::map<AlarmKey, Pending> pending;  // guarded by lock; the boxes up
  };
  static void Run(const std::shared_ptr<State>& state, ISessionUi* ui, const AlarmBox& box,
                  const std::function<void()>& release);

  ISessionUi& ui_;
  std::shared_ptr<State> state_;
  std::mutex threads_lock_;
  // Guarded by threads_lock_; finished ones are joined at the next Raise.
  std::vector<platform::BoundedWorker> threads_;
};

}  // namespace sessions
