#include "client/shell/wait_indicator.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QThread>
#include <QTimer>

#include "client/shell/skinned_widgets.h"
#include "client/shell/ui_thread.h"
#include "platform/string_table.h"

namespace shell {
CWaitDialog::CWaitDialog(QWidget* parent, bool own_timer)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      label_(new QLabel(this)),
      bar_(new QProgressBar(this)),
      timer_(new QTimer(this)) {
  setWindowTitle("Waiting");
  setFixedSize(320, 96);
  setAttribute(Qt::WA_DeleteOnClose);
  setStyleSheet(QString("QDialog { background: #161b22; border: 1px solid #3db2ff; }") + SkinStyleSheet());
  label_->setGeometry(16, 14, 288, 30);
  label_->setAlignment(Qt::AlignCenter);
  label_->setStyleSheet("color: #e4eaf1; font-weight: bold;");
  label_->setText(text_);
  bar_->setGeometry(16, 54, 288, 14);
  bar_->setRange(0, 1000);
  bar_->setTextVisible(false);
  bar_->setValue(0);
  connect(timer_, &QTimer::timeout, this, &CWaitDialog::Tick);
  if (own_timer) timer_->start(kTickMs);
}

void CWaitDialog::Tick() {
  ++ticks_;
  const int next = bar_->value() + 20;
  bar_->setValue(next >= 1000 ? 0 : next);
  label_->setText(text_);
  if (ticks_ >= kTickLimit) close();
}

int CWaitDialog::bar_value() const { return bar_->value(); }
QString CWaitDialog::shown_text() const { return label_->text(); }

void CWaitIndicator::Show(int text_id) {
  RunOnUiThread([this, text_id] {
    if (!dialog_) {
      dialog_ = new CWaitDialog(anchor_, !ticks_by_hand_);
      if (anchor_ != nullptr) {
        const QRect area = anchor_->window()->geometry();
        dialog_->move(area.center() - QPoint(dialog_->width() / 2, dialog_->height() / 2));
      }
      dialog_->show();
    }
    dialog_->SetText(QString::fromUtf8(platform::LoadString(text_id)));
  });
}

void CWaitIndicator::Hide() {
  RunOnUiThread([this] {
    if (dialog_) dialog_->close();
    dialog_ = nullptr;
  });
}

}  // namespace shell
