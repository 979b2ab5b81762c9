#include "client/shell/alarm_counter.h"

namespace shell {

CAlarmCounter::CAlarmCounter(QWidget* parent) : QLabel(parent) {
  setAlignment(Qt::AlignCenter);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  // The alert red of the event log on its navy, bold as its lines are.
  setStyleSheet(
      "QLabel { background: #0a1b2e; color: #ff3030; border: 1px solid #22405f; border-radius: 4px;"
      " font-weight: bold; font-size: 11px; }");
  hide();
}

void CAlarmCounter::ShowPending(int pending) {
  pending_ = pending > 0 ? pending : 0;
  setText(pending_ == 1 ? QStringLiteral("1 alarm pending") : QStringLiteral("%1 alarms pending").arg(pending_));
  setVisible(pending_ > 0);
  if (pending_ > 0) raise();
}

}  // namespace shell
