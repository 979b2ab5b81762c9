// Where the skinned windows go on screen. They are of fixed pixel size and
// have no system caption, so a window larger than its screen (a small
// screen, or a scale factor above 1) must keep its top-left corner, and with
// it the title strip that moves it, inside the screen.
//
// Threads: user-interface thread only.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QScreen;
class QWidget;

namespace shell {

// The top-left corner nearest `wanted` that keeps a window of `size` inside
// `area`; a window larger than the area gets the area's top-left edge.
QPoint ClampedInto(const QRect& area, QSize size, QPoint wanted);

// The screen that holds most of the window: the one under its centre, else
// its own, else the primary screen (null without screens).
QScreen* ScreenOf(const QWidget& window);

// Centres a top-level window on its screen's work area, clamped inside it.
void CentreOnItsScreen(QWidget& window);

}  // namespace shell
