// Peak resident memory of 16 live channels shown through the control's own
// view, RGB mode (offscreen) and YUV/GL mode (on the X display, e.g. under
// xvfb-run -a), beside the same pictures decoded alone with no view. Each
// figure comes from a process of its own (VmHWM at its end), so nothing one
// measurement freed is counted in the next. Beside the peak, what is resident
// at the end in private memory and in pages of files: in GL mode most of the
// latter is the OpenGL driver's libraries, shared with every process using
// them.
//
//   view_memory [pictures per channel]           all modes and sizes
//   view_memory --child ref|rgb|gl W H N         one measurement
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>

#include "viewer_control/control/gl_video_view.h"
#include "viewer_control/control/rgb_video_view.h"
#include "viewer_control/engine/decoder_channel.h"
#include "viewer_control/engine/testing/engine_test_support.h"

namespace {

constexpr int kChannels = 16;
constexpr int kGroup = 30;

// One line of /proc/self/status, in MB; -1 when missing.
double StatusMb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const size_t length = std::strlen(field);
  while (std::getline(status, line)) {
    if (line.compare(0, length, field) == 0) return std::strtod(line.c_str() + length, nullptr) / 1024.0;
  }
  return -1.0;
}

// The peak, and what is resident at the end in private memory and in pages
// of files (mostly shared libraries' code, shared with other processes).
struct Resident {
  double peak = -1, anonymous = -1, files = -1;
};

int Child(const std::string& mode, int width, int height, int pictures) {
  if (mode == "rgb" || mode == "ref") setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int argc = 1;
  char name[] = "view_memory";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  // One group of pictures, brightness moving so each picture differs.
  std::vector<std::vector<uint8_t>> group;
  std::vector<uint8_t> vol;
  {
    vistrel::test::StreamEncoder encoder(width, height);
    vol = encoder.vol_packet();
    for (int number = 0; number < kGroup; ++number) {
      group.push_back(encoder.Picture(1, number, static_cast<uint8_t>(60 + number * 4)));
    }
  }
  std::unique_ptr<vistrel::VideoView> view;
  if (mode == "rgb") view = std::make_unique<vistrel::RgbVideoView>(nullptr);
  if (mode == "gl") view = std::make_unique<vistrel::GlVideoView>(nullptr);
  if (view) {
    vistrel::LayoutState layout;
    layout.per_row = 4;
    layout.stream_mode = 1;
    view->SetLayout(layout);
    view->widget()->show();
    app.processEvents();
  }
  std::vector<std::unique_ptr<vistrel::DecoderChannel>> channels;
  for (int slot = 0; slot < kChannels; ++slot) {
    auto channel = std::make_unique<vistrel::DecoderChannel>();
    channel->Bind(slot);
    channel->SetFrameSink(view.get());
    if (channel->Open(vol) != 1 || channel->Start() != 1) {
      std::fprintf(stderr, "view_memory: channel %d does not open\n", slot);
      return 1;
    }
    channels.push_back(std::move(channel));
  }
  for (int i = 0; i < pictures; ++i) {
    for (auto& channel : channels) channel->DecodeAndDraw(group[static_cast<size_t>(i % kGroup)]);
    app.processEvents();
  }
  std::printf("%.1f %.1f %.1f\n", StatusMb("VmHWM:"), StatusMb("RssAnon:"), StatusMb("RssFile:"));
  return 0;
}

Resident Measure(const char* self, const char* mode, int width, int height, int pictures) {
  int out[2];
  if (pipe(out) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    const std::string w = std::to_string(width), h = std::to_string(height), n = std::to_string(pictures);
    execl(self, self, "--child", mode, w.c_str(), h.c_str(), n.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  char text[64] = {};
  const ssize_t got = read(out[0], text, sizeof text - 1);
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  Resident resident;
  if (got <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return resident;
  if (std::sscanf(text, "%lf %lf %lf", &resident.peak, &resident.anonymous, &resident.files) != 3) return {};
  return resident;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::strcmp(argv[1], "--child") == 0) {
    return Child(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
  }
  const int pictures = argc > 1 ? std::max(kGroup, std::atoi(argv[1])) : 120;
  const double floor = Measure(argv[0], "ref", 352, 240, 0).peak;
  const bool display = std::getenv("DISPLAY") != nullptr;
  std::printf("16 channels, 4x4, %d pictures each; peak resident MB (VmHWM); %.1f with channels open, none decoded\n",
              pictures, floor);
  for (auto [width, height] : {std::pair{352, 240}, {704, 480}}) {
    const double reference = Measure(argv[0], "ref", width, height, pictures).peak;
    std::printf("%dx%d decoder alone %7.1f\n", width, height, reference);
    for (const char* mode : {"rgb", "gl"}) {
      if (std::strcmp(mode, "gl") == 0 && !display) {
        std::printf("%dx%d %-3s view      (no X display: run under xvfb-run -a)\n", width, height, mode);
        continue;
      }
      const Resident shown = Measure(argv[0], mode, width, height, pictures);
      // The view shown before any picture: what the platform (Qt, and in GL
      // mode the OpenGL driver) costs whatever the view does.
      const double empty = Measure(argv[0], mode, width, height, 0).peak;
      std::printf(
          "%dx%d %-3s view    %7.1f  ratio %.2f  (no pictures yet %.1f; at the end %.1f private, %.1f of files)\n",
          width, height, mode, shown.peak, reference > 0 ? shown.peak / reference : 0.0, empty, shown.anonymous,
          shown.files);
    }
  }
  return 0;
}
