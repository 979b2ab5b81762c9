// The shell's side of DVR alarms: the warning box of each alarm, shown
// without owner window so that several can be up at once and none blocks
// the main window, and one buzzer per alarm.
//
// Threads: ShowAlarm is called on the alarm's own thread and returns once
// the operator answered; the buzzer calls come from any thread. `lock_`
// guards the buzzer table.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "client/shell/buzzer.h"

namespace shell {

class CAlarmCenter {
 public:
  CAlarmCenter() = default;
  ~CAlarmCenter();
  CAlarmCenter(const CAlarmCenter&) = delete;
  CAlarmCenter& operator=(const CAlarmCenter&) = delete;

  // Returns true when the operator answered OK.
  bool ShowAlarm(const std::string& caption, const std::string& text);
  void StartBuzzer(int alarm_id);
  void StopBuzzer(int alarm_id);

  // Answers every box still up with Cancel (at shutdown).
  void DismissAll();

  int open_count() const { return open_.load(); }
  int buzzer_count() const;

 private:
  mutable std::mutex lock_;
  std::map<int, std::unique_ptr<CBuzzer>> buzzers_;  // guarded by lock_
  std::atomic<int> open_{0};
};

}  // namespace shell
