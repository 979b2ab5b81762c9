#include "client/shell/ptz_preset_panel.h"

#include <QComboBox>
#include <QMouseEvent>
#include <QPainter>

#include "client/shell/hover_button.h"
#include "client/shell/skin_artwork.h"
#include "client/shell/skinned_widgets.h"

namespace shell {

CPtzPresetPanel::CPtzPresetPanel(QWidget* parent) : QWidget(parent), list_(new QComboBox(this)) {
  setGeometry(530, 611, 179, 146);
  setStyleSheet(SkinStyleSheet());
  // Normal, pressed, hover, disabled of each preset's picture set.
  const int bases[] = {299, 303, 1239, 1243, 1247, 1251, 323, 327};
  for (int i = 0; i < 8; ++i) {
    const int id = kFirstPresetButton + i;
    auto* button = new CHoverButton(this, id);
    button->SetBitmaps(bases[i], bases[i] + 2, bases[i] + 1, bases[i] + 3);
    const int columns[] = {19, 55, 89, 123};
    button->move(columns[i % 4], i < 4 ? 14 : 47);
    connect(button, &QAbstractButton::clicked, this, [this, id] { OnPreset(id); });
    presets_[i] = button;
  }
  list_->setGeometry(22, 83, 130, 20);
  for (int i = 1; i <= 8; ++i) list_->addItem(QString("PTZ Preset %1").arg(i));
  list_->setCurrentIndex(0);
  auto* setting = new CHoverButton(this, 1078);
  setting->SetBitmaps(427, 429, 428, 0);
  setting->move(19, 112);
  connect(setting, &QAbstractButton::clicked, this, &CPtzPresetPanel::OnPresetSetting);
  auto* close = new CHoverButton(this, 1238);
  close->SetBitmaps(476, 478, 477, 0);
  close->move(94, 112);
  connect(close, &QAbstractButton::clicked, this, &QWidget::hide);
  hide();
}

void CPtzPresetPanel::OnPreset(int button_id) {
  if (latched_ != 0) presets_[latched_ - kFirstPresetButton]->SetLatched(false);
  latched_ = button_id;
  presets_[button_id - kFirstPresetButton]->SetLatched(true);
  emit Preset(button_id, kGoToPreset);
}

void CPtzPresetPanel::OnPresetSetting() {
  const int index = list_->currentIndex();
  if (index < 0) return;
  emit Preset(kFirstPresetButton + index, kStorePreset);
}

void CPtzPresetPanel::paintEvent(QPaintEvent*) {
  QPainter(this).drawPixmap(0, 0, skin::Pixmap(skin::res::kPtzPresetBackground));
}

// The whole panel counts as its caption: a drag anywhere moves it.
void CPtzPresetPanel::mousePressEvent(QMouseEvent* event) { drag_start_ = event->globalPosition().toPoint() - pos(); }

void CPtzPresetPanel::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) move(event->globalPosition().toPoint() - drag_start_);
}

}  // namespace shell
