#include "viewer_control/control/rgb_video_view.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "viewer_control/control/cell_layout.h"

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

}  // namespace
}  // namespace vistrel
