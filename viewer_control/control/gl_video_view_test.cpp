// The YUV mode's view: textures held only by the cells shown, a layout
// change showing the kept picture at once, and the shader's colours. Needs
// an OpenGL context (an X display, e.g. under xvfb-run); skipped without one.
#include "viewer_control/control/gl_video_view.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include <QOpenGLContext>

#include "viewer_control/control/cell_layout.h"

namespace vistrel {
namespace {

// A flat picture with padded pitches, so that a copy ignoring them shows.
struct FlatPicture {
  std::vector<uint8_t> y, u, v;
  PlanarPicture picture;
  FlatPicture(uint8_t luma, uint8_t cb, uint8_t cr) {
    const int width = 352, height = 240, y_pitch = 384, uv_pitch = 192;
    y.assign(static_cast<size_t>(y_pitch) * height, luma);
    u.assign(static_cast<size_t>(uv_pitch) * height / 2, cb);
    v.assign(u.size(), cr);
    picture = {y.data(), u.data(), v.data(), y_pitch, uv_pitch, width, height, 0};
  }
};

LayoutState Grid(int per_row, int first_slot) {
  LayoutState layout;
  layout.per_row = per_row;
  layout.first_slot = first_slot;
  layout.stream_mode = 1;
  return layout;
}

class GlVideoViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display for OpenGL";
    view.resize(704, 480);
    view.show();
    view.grabFramebuffer();
    if (view.context() == nullptr || !view.context()->isValid()) GTEST_SKIP() << "no OpenGL context";
  }
  // The colour in the middle of the 1-based slot's cell, away from captions.
  QRgb Centre(const QImage& frame, int slot) {
    const QRect cell = SlotRect(view.layout(), frame.width(), frame.height(), slot);
    return frame.pixel(cell.center());
  }
  GlVideoView view{nullptr};
};

TEST_F(GlVideoViewTest, OnlyShownCellsHoldTexturesAndAHiddenPictureShowsOnReturn) {
  view.SetLayout(Grid(2, 0));
  const FlatPicture grey(126, 128, 128);
  const FlatPicture red(81, 90, 240);  // BT.601 studio red
  for (int slot = 0; slot < 6; ++slot) view.DrawPicture(slot, slot == 4 ? red.picture : grey.picture, "");
  QImage frame = view.grabFramebuffer();
  EXPECT_EQ(view.SlotsWithTextures(), 4);
  EXPECT_NEAR(qRed(Centre(frame, 1)), 128, 3);
  EXPECT_NEAR(qGreen(Centre(frame, 1)), 128, 3);

  // Slots 5..8: only 5 and 6 have pictures; the textures of 1..4 are gone,
  // and slot 5's picture, drawn while hidden, is there at once.
  view.SetLayout(Grid(2, 4));
  frame = view.grabFramebuffer();
  EXPECT_EQ(view.SlotsWithTextures(), 2);
  const QRgb shown = Centre(frame, 5);
  EXPECT_GT(qRed(shown), 200);
  EXPECT_LT(qGreen(shown), 40);
  EXPECT_LT(qBlue(shown), 40);

  // A closed channel gives its textures back too.
  view.ChannelClosed(4);
  view.grabFramebuffer();
  EXPECT_EQ(view.SlotsWithTextures(), 1);
  EXPECT_FALSE(view.HasPicture(4));
  EXPECT_TRUE(view.HasPicture(0));
}

TEST_F(GlVideoViewTest, ASlotShownAloneHoldsTheOnlyTexturesAndAnUnchangedPictureStays) {
  view.SetLayout(Grid(4, 0));
  const FlatPicture grey(126, 128, 128);
  for (int slot = 0; slot < 16; ++slot) view.DrawPicture(slot, grey.picture, "");
  const QImage first = view.grabFramebuffer();
  EXPECT_EQ(view.SlotsWithTextures(), 16);
  // Painting again without a new picture leaves the frame as it was.
  EXPECT_EQ(view.grabFramebuffer(), first);
  LayoutState alone = Grid(4, 0);
  alone.selected = 7;
  view.SetLayout(alone);
  view.grabFramebuffer();
  EXPECT_EQ(view.SlotsWithTextures(), 1);
}

// The view keeps the planes it is handed (with their pitches); once told
// they go it shows its own copy, also when a hidden cell's textures are
// made again from it.
TEST_F(GlVideoViewTest, AfterTheReleaseTheLastPictureShowsFromTheViewsCopy) {
  view.SetLayout(Grid(2, 0));
  auto red = std::make_unique<FlatPicture>(81, 90, 240);
  view.DrawPicture(1, red->picture, "");
  const QImage shown = view.grabFramebuffer();
  EXPECT_GT(qRed(Centre(shown, 2)), 200);
  view.ReleasePicture(1);
  red.reset();
  view.SetLayout(Grid(2, 4));
  view.grabFramebuffer();
  view.SetLayout(Grid(2, 0));
  EXPECT_EQ(view.grabFramebuffer(), shown);
}

}  // namespace
}  // namespace vistrel
