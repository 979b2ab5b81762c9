#include "viewer_control/control/testing/layout_check.h"

#include <gtest/gtest.h>

#include <vector>

#include <QImage>
#include <QMenu>

#include "platform/result_codes.h"
#include "viewer_control/control/cell_layout.h"
#include "viewer_control/control/video_view.h"
#include "viewer_control/control/vistrel_ctl.h"
#include "viewer_control/control/yuv_converter.h"

namespace vistrel {
namespace {

constexpr int kWidth = 352;
constexpr int kHeight = 240;

uint8_t LumaOf(int slot) { return static_cast<uint8_t>(40 + 12 * slot); }

// The grey the RGB converter makes of a slot's picture; the shader uses the
// same coefficients.
int GreyOf(int slot) {
  const uint8_t y[4] = {LumaOf(slot), LumaOf(slot), LumaOf(slot), LumaOf(slot)};
  const uint8_t uv[1] = {128};
  uint8_t bgr[12];
  ConvertToBgr24({y, uv, uv, 2, 1, 2, 2}, bgr, 6);
  return bgr[2];
}

bool AllBlack(const QImage& image, const QRect& area) {
  for (int y = area.top(); y <= area.bottom(); y += 3) {
    for (int x = area.left(); x <= area.right(); x += 3) {
      if ((image.pixel(x, y) & 0xFFFFFF) != 0) return false;
    }
  }
  return true;
}

// Every slot a flat grey of its own, with this caption.
void DrawGreySlots(VideoView& view, const char* caption) {
  std::vector<uint8_t> y(kWidth * kHeight);
  const std::vector<uint8_t> uv(kWidth * kHeight / 4, 128);
  for (int slot = 0; slot < 16; ++slot) {
    std::fill(y.begin(), y.end(), LumaOf(slot));
    const PlanarPicture picture{y.data(), uv.data(), uv.data(), kWidth, kWidth / 2, kWidth, kHeight};
    ASSERT_EQ(view.DrawPicture(slot, picture, caption), 0);
    view.ReleasePicture(slot);  // `y` is refilled for the next slot
  }
}

}  // namespace

void CheckLayoutsPastSlotSixteen(VistrelCtl& control) {
  auto* view = dynamic_cast<VideoView*>(control.video_window());
  ASSERT_NE(view, nullptr);
  ASSERT_NO_FATAL_FAILURE(DrawGreySlots(*view, ""));
  const QSize area = control.video_window()->size();
  short out = 0;
  for (int first = 9; first <= 15; ++first) {
    for (int per_row = 2; per_row <= 4; ++per_row) {
      SCOPED_TRACE(testing::Message() << "first slot " << first << ", " << per_row << " per row");
      ASSERT_EQ(control.SetAlignChannelMode(first, per_row, &out), S_OK);
      const QImage capture = control.CaptureVideo();
      ASSERT_EQ(capture.size(), area);
      for (int slot = first + 1; slot <= first + per_row * per_row; ++slot) {
        const QRect cell = CellRect(area.width(), area.height(), per_row, first, slot);
        if (slot > 16) {
          EXPECT_TRUE(AllBlack(capture, cell)) << "cell of slot " << slot;
          control.ToggleSelection(cell.center());
          EXPECT_EQ(control.engine().selected_cell(), -1) << "slot " << slot << " selected";
          EXPECT_EQ(control.ChannelMenu(cell.center()), nullptr);
        } else if (!(per_row == 3 && slot == first + 9)) {
          EXPECT_NEAR(qRed(capture.pixel(cell.center())), GreyOf(slot - 1), 3) << "cell of slot " << slot;
        }
      }
      // The first cell can still be selected and fills the area alone.
      const QRect first_cell = CellRect(area.width(), area.height(), per_row, first, first + 1);
      control.ToggleSelection(first_cell.center());
      ASSERT_EQ(control.engine().selected_cell(), first + 1);
      const QImage selected = control.CaptureVideo();
      EXPECT_NEAR(qRed(selected.pixel(area.width() - 20, area.height() / 2)), GreyOf(first), 3);
      control.ToggleSelection(first_cell.center());
      EXPECT_EQ(control.engine().selected_cell(), -1);
    }
  }
}

int RecordingMarkPixels(const QImage& capture, const QRect& cell) {
  // Right of where any "Ch.%d" caption reaches, inside the bottom band.
  const QRect corner(cell.right() - 52, cell.bottom() - 21, 49, 20);
  int red = 0;
  for (int y = corner.top(); y <= corner.bottom(); ++y) {
    for (int x = corner.left(); x <= corner.right(); ++x) {
      const QRgb pixel = capture.pixel(x, y);
      red += qRed(pixel) > 200 && qGreen(pixel) < 60 && qBlue(pixel) < 60;
    }
  }
  return red;
}

void CheckRecordingMarks(VistrelCtl& control) {
  auto* view = dynamic_cast<VideoView*>(control.video_window());
  ASSERT_NE(view, nullptr);
  ASSERT_NO_FATAL_FAILURE(DrawGreySlots(*view, "2026-12-09 23:00:00"));
  const QSize area = control.video_window()->size();
  for (int per_row = 1; per_row <= 4; ++per_row) {
    SCOPED_TRACE(testing::Message() << per_row << " per row");
    LayoutState layout;
    layout.per_row = per_row;
    layout.stream_mode = 1;
    // Every other slot recorded (slot 1 always, the one a 1x1 grid shows).
    for (int slot = 0; slot < 16; slot += 2) layout.recording[slot] = true;
    view->SetLayout(layout);
    QImage capture = control.CaptureVideo();
    for (int slot = 1; slot <= per_row * per_row; ++slot) {
      if (layout.IsBlankCell(slot)) continue;  // no captions there at all
      const QRect cell = CellRect(area.width(), area.height(), per_row, 0, slot);
      if (layout.recording[slot - 1]) {
        EXPECT_GT(RecordingMarkPixels(capture, cell), 40) << "slot " << slot;
      } else {
        EXPECT_EQ(RecordingMarkPixels(capture, cell), 0) << "slot " << slot;
      }
    }
    layout.recording.fill(false);
    view->SetLayout(layout);
    capture = control.CaptureVideo();
    EXPECT_EQ(RecordingMarkPixels(capture, CellRect(area.width(), area.height(), per_row, 0, 1)), 0);
  }
}

}  // namespace vistrel
