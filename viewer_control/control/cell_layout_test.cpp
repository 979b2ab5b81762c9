// Cell rectangles, hit tests, trimmed lines and caption colours.
#include "viewer_control/control/cell_layout.h"

#include <gtest/gtest.h>

namespace vistrel {
namespace {

TEST(CellLayout, SixteenCellsTileTheAreaExactly) {
  EXPECT_EQ(CellRect(704, 480, 4, 0, 1), QRect(0, 0, 176, 120));
  EXPECT_EQ(CellRect(704, 480, 4, 0, 16), QRect(528, 360, 176, 120));
  EXPECT_EQ(CellRect(640, 480, 4, 0, 6), QRect(160, 120, 160, 120));
  // 3 x 3 of 704 x 480: multiplication before division gives 234, 235, 235.
  EXPECT_EQ(CellRect(704, 480, 3, 0, 1), QRect(0, 0, 234, 160));
  EXPECT_EQ(CellRect(704, 480, 3, 0, 2), QRect(234, 0, 235, 160));
  EXPECT_EQ(CellRect(704, 480, 3, 0, 3), QRect(469, 0, 235, 160));
  // A first slot of 12 with 2 per row shows slots 13-16.
  EXPECT_EQ(CellRect(704, 480, 2, 12, 13), QRect(0, 0, 352, 240));
  EXPECT_EQ(CellRect(704, 480, 2, 12, 16), QRect(352, 240, 352, 240));
}

TEST(CellLayout, HitTestAndSelection) {
  LayoutState layout;
  layout.per_row = 2;
  layout.first_slot = 12;
  EXPECT_EQ(HitTest(layout, 704, 480, 10, 10), 13);
  EXPECT_EQ(HitTest(layout, 704, 480, 703, 479), 16);
  EXPECT_EQ(HitTest(layout, 704, 480, 704, 10), -1);
  EXPECT_TRUE(layout.Shows(13));
  EXPECT_FALSE(layout.Shows(12));
  layout.selected = 14;
  EXPECT_EQ(SlotRect(layout, 704, 480, 14), QRect(0, 0, 704, 480));
  LayoutState nine;
  nine.per_row = 3;
  nine.first_slot = 4;
  EXPECT_TRUE(nine.IsBlankCell(13));
  EXPECT_FALSE(nine.IsBlankCell(12));
}

TEST(CellLayout, CellsPastSlotSixteenBelongToNoSlot) {
  LayoutState layout;
  layout.first_slot = 12;
  layout.per_row = 3;
  EXPECT_EQ(layout.last_slot(), 16);
  EXPECT_TRUE(layout.Shows(16));
  EXPECT_FALSE(layout.Shows(17));
  EXPECT_EQ(HitTest(layout, 704, 480, 10, 10), 13);
  EXPECT_EQ(HitTest(layout, 704, 480, 600, 10), 15);
  EXPECT_EQ(HitTest(layout, 704, 480, 350, 200), -1);  // the cell of "slot 17"
  EXPECT_EQ(HitTest(layout, 704, 480, 600, 400), -1);  // and of "slot 21"
}

TEST(CellLayout, LinesShownByPictureHeightAndStreamMode) {
  EXPECT_EQ(ShownLines(240, 1).top, 0);
  EXPECT_EQ(ShownLines(240, 1).bottom, 237);
  EXPECT_EQ(ShownLines(240, 2).top, 2);
  EXPECT_EQ(ShownLines(240, 2).bottom, 217);
  EXPECT_EQ(ShownLines(288, 1).top, 11);
  EXPECT_EQ(ShownLines(288, 1).bottom, 288);
  EXPECT_EQ(ShownLines(288, 2).top, 13);
  EXPECT_EQ(ShownLines(288, 2).bottom, 275);
  EXPECT_EQ(ShownLines(480, 1).bottom, 480);
}

TEST(CellLayout, CaptionColoursByRecordEventType) {
  EXPECT_EQ(CaptionColour(1), QColor(0, 255, 0));
  EXPECT_EQ(CaptionColour(2), QColor(0, 255, 0));
  EXPECT_EQ(CaptionColour(4), QColor(255, 0, 0));
  EXPECT_EQ(CaptionColour(8), QColor(0, 0, 255));
  EXPECT_EQ(CaptionColour(0xFF), QColor(255, 255, 255));
  EXPECT_EQ(CaptionColour(3), QColor(255, 255, 255));
}

}  // namespace
}  // namespace vistrel
