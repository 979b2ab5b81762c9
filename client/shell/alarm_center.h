// The shell's side of DVR alarms: the warning box of each alarm, shown
// without owner window so that several can be up at once and none blocks
// the main window, and one buzzer per alarm.
//
// Threads: ShowAlarm is called on the alarm's own thread and returns once
// the operator answered; UpdateAlarm and the buzzer calls come from any
// thread. `lock_` guards the buzzer and box tables; it is taken last (the
// sessions call UpdateAlarm under their own lock) and nothing waits under it.
#pragma once

#include <QObject>
#include <QPointer>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "client/shell/buzzer.h"
#include "client/shell/operator_dialogs.h"

class QMessageBox;

namespace shell {

class CAlarmCenter {
 public:
  // The boxes are asked through `dialogs`, which outlives this object.
  explicit CAlarmCenter(COperatorDialogs& dialogs) : dialogs_(dialogs) {}
  ~CAlarmCenter();
  CAlarmCenter(const CAlarmCenter&) = delete;
  CAlarmCenter& operator=(const CAlarmCenter&) = delete;

  // Returns true when the operator answered OK.
  bool ShowAlarm(int alarm_id, const std::string& caption, const std::string& text);
  // The new text of an alarm's box, shown once the box is up; never waits.
  void UpdateAlarm(int alarm_id, const std::string& text);
  void StartBuzzer(int alarm_id);
  // Also forgets the alarm's box: no update of it can follow.
  void StopBuzzer(int alarm_id);
  // Stops the alarm's buzzer; its box stays up and pending.
  void Silence(int alarm_id);

  // Called on the user-interface thread with the number of alarm boxes up
  // each time it changes; set on that thread.
  void SetPendingListener(std::function<void(int pending)> listener) { pending_listener_ = std::move(listener); }

  // Answers every box still up with Cancel (at shutdown).
  void DismissAll();

  int open_count() const { return open_.load(); }
  int buzzer_count() const;

 private:
  struct Box {
    std::string text;            // the newest text
    QPointer<QMessageBox> open;  // set on the user-interface thread
  };
  void ShowText(int alarm_id);
  void TellPending();

  COperatorDialogs& dialogs_;
  mutable std::mutex lock_;
  std::map<int, std::unique_ptr<CBuzzer>> buzzers_;  // guarded by lock_
  std::map<int, Box> boxes_;                         // guarded by lock_
  std::atomic<int> open_{0};
  std::function<void(int)> pending_listener_;  // user-interface thread only
  // Updates travel to the user-interface thread through this object and die
  // with it.
  QObject updates_;
};

}  // namespace shell
