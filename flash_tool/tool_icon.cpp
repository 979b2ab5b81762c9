#include "flash_tool/tool_icon.h"

#include <QPainter>
#include <QPolygonF>

namespace tarvek {

void DrawToolIcon(QPainter& p, const QRectF& box) {
  // Drawn on a 32-unit square and scaled.
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.translate(box.topLeft());
  p.scale(box.width() / 32.0, box.height() / 32.0);
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(QColor(40, 60, 90));
  p.drawRect(QRectF(6, 14, 20, 14));
  p.setBrush(QColor(250, 200, 40));
  p.drawPolygon(QPolygonF({QPointF(10, 2), QPointF(22, 2), QPointF(22, 8), QPointF(26, 8), QPointF(16, 14),
                           QPointF(6, 8), QPointF(10, 8)}));
  p.restore();
}

}  // namespace tarvek
