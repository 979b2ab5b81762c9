// The layouts past slot 16 and the REC marks in the YUV (OpenGL) mode. Not a test of its own:
// vistrel_view_test runs it under a virtual X server, where Mesa gives the
// control a GL context; elsewhere it skips.
#include <gtest/gtest.h>

#include <cstdlib>

#include <QApplication>

#include "viewer_control/control/testing/layout_check.h"
#include "viewer_control/control/vistrel_ctl.h"

namespace vistrel {
namespace {

TEST(GlLayout, LayoutsPastSlotSixteenLeaveTheirExtraCellsBlank) {
  unsetenv("VISTREL_VIDEO_MODE");
  int argc = 1;
  char name[] = "vistrel_gl_layout_check";
  char* argv[] = {name, nullptr};
  QApplication application(argc, argv);
  VistrelCtl control;
  if (control.display_mode() != 1) GTEST_SKIP() << "no OpenGL context";
  control.show();
  QApplication::processEvents();
  CheckLayoutsPastSlotSixteen(control);
  CheckRecordingMarks(control);
}

}  // namespace
}  // namespace vistrel
