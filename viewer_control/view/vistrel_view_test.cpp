// The control's OpenGL ("YUV mode") path, which the offscreen tests cannot
// reach: vistrel-view under a virtual X server with Mesa, against the
// emulated DVR, and what its screen shows.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QColor>
#include <QImage>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/tcp_socket.h"
#include "tools/dvremu/dvr_emulator.h"

namespace {

// The program's exit code (124 when `timeout` had to end it).
int RunView(const std::string& arguments, const std::string& environment = "") {
  const std::string command = environment + " timeout 60 " + VISTREL_VIEW_PATH + " " + arguments;
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(VistrelViewCommandLine, HelpNeedsNoDisplay) {
  const auto usage = std::filesystem::temp_directory_path() / ("vistrel-view-help-" + std::to_string(getpid()));
  EXPECT_EQ(RunView("--help >" + usage.string() + " 2>&1", "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM"), 0);
  std::ifstream text(usage);
  std::string first_line;
  std::getline(text, first_line);
  EXPECT_EQ(first_line.rfind("Usage: vistrel-view ", 0), 0u) << first_line;
  std::filesystem::remove(usage);
}

// A refused logon or port ends the program as a failure, not as an empty
// window that exits 0 when closed.
TEST(VistrelViewCommandLine, AWrongPasswordOrARefusedPortIsAFailure) {
  dvremu::EmulatorOptions options;
  options.read_stdin = false;
  auto dvr = dvremu::DvrEmulator::StartOnFreePorts(options);
  ASSERT_TRUE(dvr);
  EXPECT_EQ(RunView("--port " + std::to_string(dvr->command_port()) + " --password 0000 >/dev/null 2>&1"), 1);
  dvr->Stop();

  uint16_t free_port = 0;
  const int listener = platform::ListenOnLoopback(0, &free_port);
  ASSERT_GE(listener, 0);
  close(listener);  // nothing listens there now: the stream port is refused
  EXPECT_EQ(RunView("--port " + std::to_string(free_port - 1) + " >/dev/null 2>&1"), 1);
}

// CI installs the virtual X server and Mesa so that this path is tested
// there: a missing one is a failure under CI, a skip elsewhere.
bool UnderCi() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && *ci != '\0' && std::strcmp(ci, "0") != 0 && std::strcmp(ci, "false") != 0;
}

#define SKIP_OUTSIDE_CI(why)                                \
  do {                                                      \
    if (UnderCi()) FAIL() << why << " (required under CI)"; \
    GTEST_SKIP() << why;                                    \
  } while (false)

TEST(VistrelViewGl, FourChannelsDrawnThroughOpenGl) {
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) SKIP_OUTSIDE_CI("no xvfb-run");
  dvremu::EmulatorOptions options;
  options.read_stdin = false;
  auto dvr = dvremu::DvrEmulator::StartOnFreePorts(options);
  ASSERT_TRUE(dvr);
  const auto dir = std::filesystem::temp_directory_path() / ("vistrel-view-gl-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const auto shot = dir / "shot.png";
  const auto trace = dir / "trace.log";

  std::ostringstream command;
  // The tests' offscreen platform would take the GL context away.
  command << "env -u QT_QPA_PLATFORM KAVIRO_TRACE=" << trace << " xvfb-run -a -s '-screen 0 1024x768x24' "
          << VISTREL_VIEW_PATH << " --port " << dvr->command_port()
          << " --channels 4 --layout 4 --after 3 --screenshot " << shot << " >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.str().c_str()), 0);
  dvr->Stop();

  std::ifstream trace_file(trace);
  const std::string traced((std::istreambuf_iterator<char>(trace_file)), std::istreambuf_iterator<char>());
  if (traced.find("YUV mode") == std::string::npos) {
    std::filesystem::remove_all(dir);
    SKIP_OUTSIDE_CI("no OpenGL context under the virtual X server");
  }

  const QImage image(QString::fromStdString(shot.string()));
  ASSERT_FALSE(image.isNull());
  // Each quadrant shows one channel; its left edge at half height is the
  // channel's own fill colour, clear of digits and captions.
  std::vector<QColor> fills;
  for (int quadrant = 0; quadrant < 4; ++quadrant) {
    const int x = (quadrant % 2) * image.width() / 2 + image.width() / 40;
    const int y = (quadrant / 2) * image.height() / 2 + image.height() / 4;
    fills.push_back(image.pixelColor(x, y));
  }
  for (size_t a = 0; a < fills.size(); ++a) {
    EXPECT_GT(fills[a].red() + fills[a].green() + fills[a].blue(), 60) << "cell " << a << " is dark";
    for (size_t b = a + 1; b < fills.size(); ++b) EXPECT_NE(fills[a], fills[b]) << a << " and " << b;
  }
  std::filesystem::remove_all(dir);
}

// A layout that reaches past slot 16 once crashed the YUV mode (planes and
// textures indexed by slot); the check runs in a process of its own under
// the virtual X server.
TEST(VistrelViewGl, LayoutsPastSlotSixteenLeaveTheirExtraCellsBlank) {
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) SKIP_OUTSIDE_CI("no xvfb-run");
  const auto log = std::filesystem::temp_directory_path() / ("vistrel-gl-layout-" + std::to_string(getpid()));
  std::ostringstream command;
  command << "env -u QT_QPA_PLATFORM xvfb-run -a -s '-screen 0 1024x768x24' " << GL_LAYOUT_CHECK_PATH << " >" << log
          << " 2>&1";
  const int status = std::system(command.str().c_str());
  std::ifstream log_file(log);
  const std::string output((std::istreambuf_iterator<char>(log_file)), std::istreambuf_iterator<char>());
  std::filesystem::remove(log);
  if (output.find("[  SKIPPED ]") != std::string::npos) SKIP_OUTSIDE_CI("no OpenGL context under the virtual X server");
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
}

}  // namespace
