// Tarvek's icon: a chip with a downward arrow, drawn to fill a box at any size
// (the window icon, and the desktop icons rendered from it at build time).
#pragma once

#include <QRectF>

class QPainter;

namespace tarvek {

void DrawToolIcon(QPainter& painter, const QRectF& box);

}  // namespace tarvek
