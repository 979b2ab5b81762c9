#include "client/shell/main_window.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

#include <algorithm>

#include "client/shell/screen_placement.h"

// The window's frame: dragging by the title strip and the grid alone on the
// whole screen.
namespace shell {

// The skin has no system caption: the title strip moves the window.
void CMainWindow::mousePressEvent(QMouseEvent* event) {
  const bool title = !full_screen_ && event->position().y() < 46;
  drag_start_ = title ? event->globalPosition().toPoint() - pos() : QPoint(-1, -1);
}

// A cell's double-click is the viewer's own; the frame around the grid is the window's.
void CMainWindow::mouseDoubleClickEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (event->button() == Qt::LeftButton && kVideoBorder.contains(at) && !kVideoArea.contains(at)) {
    ToggleFullScreen();
  }
}

bool CMainWindow::CanShowFullScreen() const { return video_ != nullptr && view_.video && video_->isVisibleTo(this); }

void CMainWindow::ToggleFullScreen() {
  if (full_screen_) return LeaveFullScreen();
  if (!CanShowFullScreen()) return;
  normal_geometry_ = geometry();
  full_screen_ = true;
  setMinimumSize(0, 0);
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  // The video covers the whole window, and the window the whole screen.
  video_->raise();
  // Without a window manager to honour the state the window takes the screen itself.
  if (const QScreen* screen = ScreenOf(*this)) setGeometry(screen->geometry());
  video_->setGeometry(rect());
  showFullScreen();
}

void CMainWindow::LeaveFullScreen() {
  if (!full_screen_) return;
  full_screen_ = false;
  showNormal();
  setFixedSize(1024, 768);
  move(normal_geometry_.topLeft());
  if (video_ != nullptr) {
    video_->setGeometry(kVideoArea);
    video_->lower();
  }
}

void CMainWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (full_screen_ && video_ != nullptr) video_->setGeometry(rect());
}

void CMainWindow::mouseMoveEvent(QMouseEvent* event) {
  if (drag_start_ != QPoint(-1, -1) && (event->buttons() & Qt::LeftButton)) {
    const QPoint cursor = event->globalPosition().toPoint();
    QPoint place = cursor - drag_start_;
    // Above the top of the screen the title strip could not be taken again.
    const QScreen* screen = QGuiApplication::screenAt(cursor);
    if (screen == nullptr) screen = ScreenOf(*this);
    if (screen != nullptr) {
      place.setY(std::max(place.y(), screen->availableGeometry().top()));
    }
    move(place);
  }
}

}  // namespace shell
