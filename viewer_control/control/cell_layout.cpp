#include "viewer_control/control/cell_layout.h"

#include "platform/trace.h"

namespace vistrel {

QRect CellRect(int width, int height, int per_row, int first_slot, int slot) {
  const int c = slot - first_slot - 1;
  const int col = c % per_row;
  const int row = c / per_row;
  const int left = col * width / per_row;
  const int top = row * height / per_row;
  const int right = (col + 1) * width / per_row;
  const int bottom = (row + 1) * height / per_row;
  return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

QRect SlotRect(const LayoutState& layout, int width, int height, int slot) {
  if (layout.selected == slot) return QRect(0, 0, width, height);
  return CellRect(width, height, layout.per_row, layout.first_slot, slot);
}

int HitTest(const LayoutState& layout, int width, int height, int x, int y) {
  for (int slot = layout.first_slot + 1; slot <= layout.first_slot + layout.cells(); ++slot) {
    if (CellRect(width, height, layout.per_row, layout.first_slot, slot).contains(x, y)) {
      return layout.Shows(slot) ? slot : -1;
    }
  }
  Trace("GetChannel() failed. This should not occur.");
  return -1;
}

LineRange ShownLines(int height, int stream_mode) {
  LineRange range{0, height};
  if (height == 240 && stream_mode == 1) {
    range.bottom = 237;
  } else if (height == 240 && stream_mode == 2) {
    range = {2, 217};
  } else if (height == 288 && stream_mode == 1) {
    range.top = 11;
  } else if (height == 288 && stream_mode == 2) {
    range = {13, 275};
  }
  return range;
}

QColor CaptionColour(uint8_t record_type) {
  switch (record_type) {
    case 1:
    case 2:
      return QColor(0, 255, 0);
    case 4:
      return QColor(255, 0, 0);
    case 8:
      return QColor(0, 0, 255);
    default:
      return QColor(255, 255, 255);
  }
}

}  // namespace vistrel
