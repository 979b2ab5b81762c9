#include "client/shell/screen_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace shell {

QPoint ClampedInto(const QRect& area, QSize size, QPoint wanted) {
  // Right and bottom first, so that the left and top edges win when the
  // window cannot fit.
  const int x = std::max(area.left(), std::min(wanted.x(), area.left() + area.width() - size.width()));
  const int y = std::max(area.top(), std::min(wanted.y(), area.top() + area.height() - size.height()));
  return {x, y};
}

QScreen* ScreenOf(const QWidget& window) {
  if (QScreen* under_centre = QGuiApplication::screenAt(window.frameGeometry().center())) return under_centre;
  if (QScreen* own = window.screen()) return own;
  return QGuiApplication::primaryScreen();
}

void CentreOnItsScreen(QWidget& window) {
  const QScreen* screen = ScreenOf(window);
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  const QSize size = window.frameGeometry().size();
  const QPoint centred = area.center() - QPoint(size.width() / 2, size.height() / 2);
  window.move(ClampedInto(area, size, centred));
}

}  // namespace shell
