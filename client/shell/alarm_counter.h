// CAlarmCounter: the main window's count of pending alarms (alarm boxes not
// yet acknowledged), in the event log's colours so that it reads as part of
// the same skin. Hidden while nothing is pending.
//
// Threads: user-interface thread only.
#pragma once

#include <QLabel>

namespace shell {

class CAlarmCounter : public QLabel {
 public:
  explicit CAlarmCounter(QWidget* parent);

  void ShowPending(int pending);
  int pending() const { return pending_; }

 private:
  int pending_ = 0;
};

}  // namespace shell
