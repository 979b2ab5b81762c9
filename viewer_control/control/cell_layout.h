// The grid of the video area: where each display slot's cell lies, which
// slot a point hits, which lines of a picture are shown and the colour of a
// cell's caption. Pure arithmetic, shared by both drawing modes.
//
// Threads: the values are copied under the renderer's lock; the functions
// are pure.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include <QColor>
#include <QRect>

namespace vistrel {

// What the renderer needs to know to draw a cell. Slots are 1-based here, as
// the selection is; `first_slot` is 0-based as SetAlignChannelMode takes it.
struct LayoutState {
  int first_slot = 0;
  int per_row = 3;
  int selected = -1;    // 1-based slot shown alone, -1 for the grid
  int stream_mode = 0;  // 1 live, 2 recorded stream
  std::array<uint8_t, 16> record_types{};
  // Slots whose pictures are being recorded locally, index slot - 1: their
  // caption band carries the REC mark.
  std::array<bool, 16> recording{};

  LayoutState() { record_types.fill(0xFF); }
  int cells() const { return per_row * per_row; }
  // The last 1-based slot shown. A layout may reach past slot 16 (first slot
  // 12 in 3x3); its cells beyond 16 stay blank, belong to no slot, and are
  // never composed, hit or selected.
  int last_slot() const { return std::min(first_slot + cells(), static_cast<int>(record_types.size())); }
  // The cell that always shows the background in the 3x3 layout.
  bool IsBlankCell(int slot) const { return per_row == 3 && slot == first_slot + 9; }
  // Whether the 1-based slot is among the cells of the layout.
  bool Shows(int slot) const { return slot > first_slot && slot <= last_slot(); }
};

// The cell of 1-based `slot` in a W x H area; multiplication before division
// so that the cells tile the area exactly.
QRect CellRect(int width, int height, int per_row, int first_slot, int slot);

// The rectangle the slot is drawn in: the whole area when it is selected.
QRect SlotRect(const LayoutState& layout, int width, int height, int slot);

// The 1-based slot whose grid cell contains the point, or -1: traced when the
// point lies outside the grid, silent for a blank cell past slot 16.
int HitTest(const LayoutState& layout, int width, int height, int x, int y);

// The lines of a picture of `height` lines shown for the stream mode: live
// pictures lose a few lines at the bottom (240) or the top (288), recorded
// ones the lines the DVR's recorder padded.
struct LineRange {
  int top = 0;
  int bottom = 0;  // exclusive
};
LineRange ShownLines(int height, int stream_mode);

// Caption colour of a record event type: 1 or 2 green, 4 red, 8 blue, else white.
QColor CaptionColour(uint8_t record_type);

}  // namespace vistrel
