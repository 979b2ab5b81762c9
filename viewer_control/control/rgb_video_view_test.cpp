#include "viewer_control/control/rgb_video_view.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QPaintEvent>
#include <QRegion>

#include "viewer_control/control/cell_layout.h"
#include "viewer_control/control/yuv_converter.h"

namespace vistrel {
namespace {

// A CIF picture with odd chroma strides, so that a copy that ignored the
// pitches would show as a different picture.
struct TestPicture {
  std::vector<uint8_t> y, u, v;
  PlanarPicture picture;

  explicit TestPicture(int seed) {
    const int width = 352, height = 240, y_pitch = 360, uv_pitch = 184;
    y.resize(static_cast<size_t>(y_pitch) * height);
    u.resize(static_cast<size_t>(uv_pitch) * height / 2);
    v.resize(u.size());
    for (size_t i = 0; i < y.size(); ++i) y[i] = static_cast<uint8_t>(i * 7 + seed);
    for (size_t i = 0; i < u.size(); ++i) u[i] = static_cast<uint8_t>(i * 13 + seed * 3);
    for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<uint8_t>(i * 5 + seed * 11);
    picture = {y.data(), u.data(), v.data(), y_pitch, uv_pitch, width, height, 0};
  }
};

LayoutState Grid(int per_row, int first_slot = 0, int selected = -1) {
  LayoutState layout;
  layout.per_row = per_row;
  layout.first_slot = first_slot;
  layout.selected = selected;
  layout.stream_mode = 1;
  return layout;
}

// Converting straight into the cell gives the bytes of converting the whole
// picture and scaling it: shrunk, enlarged, odd sizes, clipped by the
// destination, only some lines shown, samples at the range ends. One plan
// serves every case in turn, twice over: kept or made again, the same bytes.
TEST(ConvertIntoCell, SameBytesAsConvertingThenScaling) {
  struct Case {
    int width, height, top, bottom;
    QRect area;
  };
  const Case cases[] = {
      {352, 240, 0, 240, QRect(0, 0, 176, 120)},    {352, 240, 0, 240, QRect(10, 7, 704, 480)},
      {352, 288, 8, 248, QRect(3, 5, 235, 157)},    {704, 480, 0, 480, QRect(-20, -9, 300, 200)},
      {37, 19, 1, 18, QRect(400, 300, 500, 300)},   {2, 2, 0, 2, QRect(0, 0, 1, 1)},
      {704, 576, 0, 576, QRect(100, 50, 351, 241)},
  };
  std::mt19937 random(7);
  CellLinePlan plan;
  for (int pass = 0; pass < 2; ++pass)
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " into " << c.area.width() << "x"
                                      << c.area.height());
      const int y_pitch = c.width + 5, uv_pitch = (c.width + 1) / 2 + 3;
      std::vector<uint8_t> y(static_cast<size_t>(y_pitch) * c.height), u(static_cast<size_t>(uv_pitch) * c.height),
          v(u.size());
      // Mostly the extremes, where saturation and clamping decide the bytes.
      const auto sample = [&random] {
        const unsigned r = random();
        return static_cast<uint8_t>(r % 3 == 0 ? 0 : r % 3 == 1 ? 255 : r >> 8);
      };
      for (auto* plane : {&y, &u, &v}) {
        for (uint8_t& b : *plane) b = sample();
      }
      const PlanarPicture picture{y.data(), u.data(), v.data(), y_pitch, uv_pitch, c.width, c.height, 0};
      std::vector<uint8_t> bgr(static_cast<size_t>(c.width) * c.height * 3);
      ConvertToBgr24Scalar(picture, bgr.data(), c.width * 3);
      QImage expected(800, 600, QImage::Format_RGB32), actual(800, 600, QImage::Format_RGB32);
      expected.fill(Qt::black);
      actual.fill(Qt::black);
      ScaleIntoCell(bgr.data(), c.width * 3, 3, c.width, c.top, c.bottom, &expected, c.area);
      ConvertIntoCell(picture, c.top, c.bottom, &actual, c.area, &plan);
      EXPECT_EQ(actual, expected);
      ConvertIntoCell(picture, c.top, c.bottom, &actual, c.area, &plan);
      EXPECT_EQ(actual, expected);
    }
}

// A picture that arrived while its cell was hidden must look, once shown,
// exactly as if it had arrived while shown.
TEST(RgbVideoView, HiddenPicturesShowUnchangedWhenTheirCellAppears) {
  const TestPicture first(1), second(2);
  struct Case {
    const char* name;
    LayoutState hidden;
    LayoutState shown;
    int slot;  // 0-based
  };
  const Case cases[] = {
      {"slot 5 outside 2x2, then 3x3", Grid(2), Grid(3), 4},
      {"another cell selected, then the grid", Grid(4, 0, 1), Grid(4), 9},
      {"the blank cell of 3x3, then selected", Grid(3, 3), Grid(3, 3, 13), 12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RgbVideoView late(nullptr), early(nullptr);
    late.SetLayout(c.hidden);
    early.SetLayout(c.shown);
    for (const TestPicture* picture : {&first, &second}) {
      late.DrawPicture(c.slot, picture->picture, "2026-12-09 20:00:00");
      early.DrawPicture(c.slot, picture->picture, "2026-12-09 20:00:00");
    }
    EXPECT_TRUE(late.HasPicture(c.slot));
    late.SetLayout(c.shown);
    EXPECT_EQ(late.Capture(), early.Capture());
    // Hidden again and shown again: nothing converted twice goes stale.
    late.SetLayout(c.hidden);
    late.DrawPicture(c.slot, first.picture, "2026-12-09 20:00:01");
    early.DrawPicture(c.slot, first.picture, "2026-12-09 20:00:01");
    late.SetLayout(c.shown);
    EXPECT_EQ(late.Capture(), early.Capture());
  }
}

// Closing a channel whose picture waits unconverted leaves the background.
TEST(RgbVideoView, ClosedChannelForgetsItsUnconvertedPicture) {
  const TestPicture picture(3);
  RgbVideoView view(nullptr), blank(nullptr);
  view.SetLayout(Grid(2));
  blank.SetLayout(Grid(3));
  view.DrawPicture(6, picture.picture, "2026-12-09 20:00:00");
  view.ChannelClosed(6);
  EXPECT_FALSE(view.HasPicture(6));
  view.SetLayout(Grid(3));
  EXPECT_EQ(view.Capture(), blank.Capture());
}

// The view keeps the planes it is handed; once told they go, it shows its
// own copy: recomposing then (shown, or hidden and shown again) gives the
// picture as it was, whatever happens to the sink's planes afterwards.
TEST(RgbVideoView, ARecomposeAfterTheReleaseStillShowsTheLastPicture) {
  for (const bool hidden : {false, true}) {
    SCOPED_TRACE(hidden ? "hidden when released" : "shown when released");
    RgbVideoView view(nullptr);
    view.SetLayout(Grid(3));
    auto planes = std::make_unique<TestPicture>(5);
    view.DrawPicture(4, planes->picture, "2026-12-09 20:00:00");
    const QImage before = view.Capture();
    if (hidden) view.SetLayout(Grid(2));
    view.ReleasePicture(4);
    view.ReleasePicture(4);  // a second release keeps the copy
    planes.reset();
    view.SetLayout(Grid(3));
    EXPECT_TRUE(view.HasPicture(4));
    EXPECT_EQ(view.Capture(), before);
    // The next picture is shown from its own planes again.
    const TestPicture next(6);
    view.DrawPicture(4, next.picture, "2026-12-09 20:00:00");
    EXPECT_NE(view.Capture(), before);
  }
}

// Collects what the view is asked to paint.
class PaintLog : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) painted += static_cast<QPaintEvent*>(event)->region();
    return false;
  }
  QRegion painted;
};

// Pictures drawn on receive threads reach the screen: the cells they went
// into are repainted, once the user-interface thread runs, whether a picture
// came alone or many came before it woke; a later picture wakes it again.
TEST(RgbVideoView, PicturesFromReceiveThreadsRepaintTheirCells) {
  const TestPicture picture(4);
  RgbVideoView view(nullptr);
  view.SetLayout(Grid(4));
  view.show();
  PaintLog log;
  view.installEventFilter(&log);
  const auto paint_of = [&](const QRegion& wanted) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!(wanted - log.painted).isEmpty() && std::chrono::steady_clock::now() < deadline) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return (wanted - log.painted).isEmpty();
  };
  ASSERT_TRUE(paint_of(view.rect()));
  const auto cell = [&](int slot) { return SlotRect(Grid(4), view.width(), view.height(), slot); };
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    log.painted = QRegion();
    std::thread receive([&] {
      for (int slot : {0, 5, 5, 15}) view.DrawPicture(slot, picture.picture, "2026/12/09  20:00:00");
    });
    receive.join();
    EXPECT_TRUE(paint_of(QRegion(cell(1)) + cell(6) + cell(16)));
  }
}

// A repaint of several cells but not the rest (the 3x3 grid without its
// blank cell) shows each of them from the back buffer and leaves the rest.
TEST(RgbVideoView, ARegionOfSeveralCellsPaintsEachOfThem) {
  const TestPicture picture(7);
  RgbVideoView view(nullptr);
  view.SetLayout(Grid(3));
  for (int slot = 0; slot < 8; ++slot) view.DrawPicture(slot, picture.picture, "2026/12/09  20:00:00");
  const auto cell = [&](int slot) { return SlotRect(Grid(3), view.width(), view.height(), slot); };
  const QRegion damaged = QRegion(cell(1)) + cell(5) + cell(8) + cell(3);
  ASSERT_GT(damaged.rectCount(), 1);
  QImage screen(view.size(), QImage::Format_RGB32);
  screen.fill(Qt::magenta);
  view.render(&screen, QPoint(), damaged, QWidget::DrawChildren);
  const QImage back = view.Capture();
  for (int y = 0; y < screen.height(); y += 3) {
    for (int x = 0; x < screen.width(); x += 3) {
      const QRgb expected = damaged.contains(QPoint(x, y)) ? back.pixel(x, y) : QColor(Qt::magenta).rgb();
      ASSERT_EQ(screen.pixel(x, y), expected) << x << "," << y;
    }
  }
}

}  // namespace
}  // namespace vistrel
