// CSlotStateMark: the small mark in a DVR button's corner that shows its
// slot's connection state, drawn from the skin over the button's face so
// that the button keeps its size and picture; and the button's tooltip with
// the DVR's alias, address, channel count and the time of the last change.
//
// Threads: user-interface thread only.
#pragma once

#include <QString>
#include <QWidget>

#include "client/sessions/reconnect_policy.h"

class QAbstractButton;

namespace shell {

class CSlotStateMark : public QWidget {
 public:
  // Sits in the top-right corner of `button`, which keeps every click.
  explicit CSlotStateMark(QAbstractButton* button);

  sessions::SlotState state() const { return state_; }
  // The mark and the button's tooltip for this status; `title` heads the tooltip.
  void Show(const sessions::SlotStatus& status, const QString& title);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QAbstractButton* button_;
  sessions::SlotState state_ = sessions::SlotState::kOffline;
};

// "DVR 1: online\nYard, 127.0.0.1:4000\n4 channels\nsince 2026-12-09 22:41:03"
QString SlotTooltip(const QString& title, const sessions::SlotStatus& status);

}  // namespace shell
