#include "client/shell/hover_button.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>

#include "platform/string_table.h"

namespace shell {

CHoverButton::CHoverButton(QWidget* parent, int control_id) : QAbstractButton(parent), control_id_(control_id) {
  // Buttons never erase their background: the picture is the whole button.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::NoFocus);
  setMouseTracking(true);
}

void CHoverButton::SetBitmaps(int normal, int pressed, int hover, int disabled) {
  normal_ = skin::Pixmap(normal);
  pressed_ = skin::Pixmap(pressed);
  hover_ = skin::Pixmap(hover);
  disabled_ = disabled != 0 ? skin::Pixmap(disabled) : QPixmap();
  if (!normal_.isNull()) resize(normal_.deviceIndependentSize().toSize());
  update();
}

void CHoverButton::SetTooltip(int string_id, bool active) {
  const QString text = QString::fromUtf8(platform::LoadString(string_id));
  if (text.isEmpty()) return;
  setToolTip(active ? text : QString());
}

void CHoverButton::SetLatched(bool latched) {
  latched_ = latched;
  update();
}

void CHoverButton::PressByKey() {
  if (!isEnabled() || isDown()) return;
  setDown(true);
  emit pressed();
  emit Held(control_id_);
}

void CHoverButton::ReleaseByKey() {
  if (!isDown()) return;
  setDown(false);
  emit released();
  // The mouse's order: the click, then the end of the hold.
  if (isEnabled()) emit clicked(isChecked());
  emit Released(control_id_);
}

CHoverButton::Face CHoverButton::CurrentFace() const {
  if (isDown() && !pressed_.isNull()) return Face::kPressed;
  if (hovering_ && !hover_.isNull()) return Face::kHover;
  if (!disabled_.isNull() && !isEnabled()) return Face::kDisabled;
  if (isEnabled() && latched_ && !hover_.isNull()) return Face::kHover;
  return Face::kNormal;
}

QSize CHoverButton::sizeHint() const {
  return normal_.isNull() ? QSize(20, 20) : normal_.deviceIndependentSize().toSize();
}

void CHoverButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QPixmap* picture = &normal_;
  switch (CurrentFace()) {
    case Face::kPressed:
      picture = &pressed_;
      break;
    case Face::kHover:
      picture = &hover_;
      break;
    case Face::kDisabled:
      picture = &disabled_;
      break;
    case Face::kNormal:
      break;
  }
  painter.drawPixmap(0, 0, *picture);
}

void CHoverButton::enterEvent(QEnterEvent* event) {
  hovering_ = true;
  update();
  QAbstractButton::enterEvent(event);
}

void CHoverButton::leaveEvent(QEvent* event) {
  hovering_ = false;
  update();
  QAbstractButton::leaveEvent(event);
}

void CHoverButton::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange) {
    // A disabled button gets no leave notification: forget the hover.
    if (!isEnabled()) hovering_ = false;
    update();
  }
  QAbstractButton::changeEvent(event);
}

void CHoverButton::mousePressEvent(QMouseEvent* event) {
  QAbstractButton::mousePressEvent(event);
  if (event->button() == Qt::LeftButton) emit Held(control_id_);
}

void CHoverButton::mouseReleaseEvent(QMouseEvent* event) {
  QAbstractButton::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton) emit Released(control_id_);
}

}  // namespace shell
