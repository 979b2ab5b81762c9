#include "client/shell/slot_state_mark.h"

#include <QAbstractButton>
#include <QDateTime>
#include <QPainter>

#include "client/shell/skin_artwork.h"

namespace shell {
namespace {

constexpr int kMarkSize = 9;
constexpr int kMarkInset = 3;

QString StateText(const sessions::SlotStatus& status) {
  using sessions::SlotState;
  switch (status.state) {
    case SlotState::kReconnecting:
      return status.next_delay.count() > 0 ? QString("reconnecting (attempt %1 after %2 s)")
                                                 .arg(status.attempt)
                                                 .arg(status.next_delay.count() / 1000)
                                           : QString("reconnecting (attempt %1)").arg(status.attempt);
    case SlotState::kFailed:
      return status.dropped ? "connection lost" : "failed";
    default:
      return sessions::SlotStateName(status.state);
  }
}

}  // namespace

CSlotStateMark::CSlotStateMark(QAbstractButton* button) : QWidget(button), button_(button) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_TranslucentBackground);
  setGeometry(button->width() - kMarkSize - kMarkInset, kMarkInset, kMarkSize, kMarkSize);
}

void CSlotStateMark::Show(const sessions::SlotStatus& status, const QString& title) {
  state_ = status.state;
  button_->setToolTip(SlotTooltip(title, status));
  update();
}

void CSlotStateMark::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawPixmap(0, 0, skin::Pixmap(skin::res::kSlotStateMarks + static_cast<int>(state_) - 1));
}

QString SlotTooltip(const QString& title, const sessions::SlotStatus& status) {
  QStringList lines;
  lines << title + ": " + StateText(status);
  const QString address = QString::fromStdString(status.address);
  const QString alias = QString::fromStdString(status.alias);
  if (!alias.isEmpty() || !address.isEmpty()) {
    lines << (alias.isEmpty() ? address : address.isEmpty() ? alias : alias + ", " + address);
  }
  if (status.channel_count > 0) lines << QString("%1 channels").arg(status.channel_count);
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(status.changed.time_since_epoch()).count();
  lines << "since " + QDateTime::fromSecsSinceEpoch(seconds).toString("yyyy-MM-dd hh:mm:ss");
  return lines.join('\n');
}

}  // namespace shell
