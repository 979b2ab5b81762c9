#include "viewer_control/control/caption_cache.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include <QPainter>

#include "viewer_control/control/video_view.h"

namespace vistrel {
namespace {

// Reaches the view's caption font and REC mark, as the cache does.
struct Captions : VideoView {
  using VideoView::CaptionFont;
  using VideoView::RecordingMark;
};

// The captions as QPainter draws them straight into the cell: the bytes the
// cached images must give.
void DrawDirectly(QImage* image, const QRect& cell, int slot, const LayoutState& layout, const std::string& date) {
  QPainter painter(image);
  painter.setClipRect(cell);
  painter.setFont(Captions::CaptionFont());
  const int left = cell.left() + 4;
  const int right = cell.left() + cell.width() - 4;
  const int bottom = cell.top() + cell.height();
  if (layout.stream_mode == 1) {
    painter.setPen(Qt::white);
    painter.drawText(QRect(left, cell.top() + 2, right - left, 20), Qt::AlignCenter, QString::fromStdString(date));
  }
  painter.setPen(CaptionColour(layout.record_types[slot - 1]));
  painter.drawText(QRect(left, bottom - 22, right - left, 20), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("Ch.%1").arg(slot));
  if (layout.recording[slot - 1]) {
    const QImage& mark = Captions::RecordingMark();
    painter.drawImage(QPoint(right - mark.width(), bottom - 22 + (20 - mark.height()) / 2), mark);
  }
}

// One cache through a run of changes (the date ticking, the record type and
// the REC mark coming and going, the layout and so the cell width changing,
// cells too narrow for their text, cells at the image's edge), over a noisy
// picture so that the REC mark's blended edge shows: after every change its
// images blended in give the bytes of drawing the captions directly.
TEST(CaptionCache, BlendedCaptionsGiveTheBytesOfDrawingThem) {
  struct Step {
    QRect cell;
    int slot;
    int stream_mode;
    uint8_t record_type;
    bool recording;
    const char* date;
  };
  const Step steps[] = {
      {QRect(0, 0, 176, 120), 1, 1, 0xFF, false, "2026/12/09  20:00:00"},
      {QRect(0, 0, 176, 120), 1, 1, 0xFF, false, "2026/12/09  20:00:01"},
      {QRect(0, 0, 176, 120), 1, 1, 0, true, "2026/12/09  20:00:01"},
      {QRect(0, 0, 176, 120), 1, 1, 1, true, "2026/12/09  20:00:02"},
      {QRect(234, 160, 235, 160), 1, 1, 1, false, "2026/12/09  20:00:02"},
      {QRect(234, 160, 235, 160), 1, 0, 2, true, "2026/12/09  20:00:03"},
      {QRect(0, 0, 704, 480), 1, 1, 2, true, "2026/12/09  20:00:03"},
      {QRect(630, 440, 70, 40), 12, 1, 3, true, "2026/12/09  20:00:04"},
      {QRect(650, 450, 90, 50), 12, 1, 3, true, "2026/12/09  20:00:04"},
      {QRect(-30, -10, 120, 60), 16, 1, 0xFF, true, "1999/01/01  00:00:00"},
      // Slots of one DVR sharing a date, then ticking apart and back.
      {QRect(176, 0, 176, 120), 2, 1, 0xFF, false, "2026/12/09  20:00:04"},
      {QRect(352, 0, 176, 120), 3, 1, 0xFF, false, "2026/12/09  20:00:04"},
      {QRect(176, 0, 176, 120), 2, 1, 0xFF, false, "2026/12/09  20:00:05"},
      {QRect(352, 0, 176, 120), 3, 1, 0xFF, false, "2026/12/09  20:00:04"},
      {QRect(352, 120, 177, 120), 7, 1, 0xFF, false, "2026/12/09  20:00:05"},
  };
  std::mt19937 random(3);
  QImage noise(704, 480, QImage::Format_RGB32);
  for (int y = 0; y < noise.height(); ++y) {
    auto* line = reinterpret_cast<uint32_t*>(noise.scanLine(y));
    for (int x = 0; x < noise.width(); ++x) line[x] = 0xFF000000u | (random() & 0xFFFFFFu);
  }
  CaptionCache cache;
  for (const Step& step : steps) {
    SCOPED_TRACE(testing::Message() << "slot " << step.slot << " in " << step.cell.width() << "x" << step.cell.height()
                                    << " at " << step.cell.x() << "," << step.cell.y() << ", " << step.date);
    LayoutState layout;
    layout.stream_mode = step.stream_mode;
    layout.record_types[step.slot - 1] = step.record_type;
    layout.recording[step.slot - 1] = step.recording;
    QImage expected = noise.copy(), actual = noise.copy();
    DrawDirectly(&expected, step.cell, step.slot, layout, step.date);
    CaptionCache::Pieces pieces;
    const int count = cache.Layout(step.cell, step.slot, layout, step.date, &pieces);
    for (int i = 0; i < count; ++i) BlendInto(*pieces[i].image, pieces[i].inked, pieces[i].at, step.cell, &actual);
    ASSERT_NE(expected, noise);
    EXPECT_EQ(actual, expected);
  }
}

// Slots showing the same date in cells of the same width share one image, so
// a second's tick is drawn once for them all; a slot whose date differs, or
// whose cell is wider, gets its own, and more dates than slots are still kept
// apart.
TEST(CaptionCache, SlotsShowingOneDateShareItsImage) {
  CaptionCache cache;
  LayoutState layout;
  layout.stream_mode = 1;
  const auto date_image = [&](int slot, int width, const std::string& date) {
    CaptionCache::Pieces pieces;
    EXPECT_GE(cache.Layout(QRect(0, 0, width, 120), slot, layout, date, &pieces), 1);
    return pieces[0].image;
  };
  const QImage* first = date_image(1, 176, "2026/12/09  20:00:00");
  for (int slot = 2; slot <= 16; ++slot) EXPECT_EQ(date_image(slot, 176, "2026/12/09  20:00:00"), first);
  EXPECT_NE(date_image(2, 176, "2026/12/09  20:00:01"), first);
  EXPECT_NE(date_image(3, 177, "2026/12/09  20:00:00"), first);
  EXPECT_EQ(date_image(4, 176, "2026/12/09  20:00:00"), first);
  for (int second = 10; second < 40; ++second) {
    const std::string date = "2026/12/09  20:00:" + std::to_string(second);
    const QImage* image = date_image(second % 16 + 1, 176, date);
    EXPECT_EQ(date_image(1, 176, date), image);
  }
}

}  // namespace
}  // namespace vistrel
