// The RGB mode's picture path, measured against libswscale in the same run on
// the same planes: conversion alone at 352x240 and 704x480 (ours to BGR24;
// libswscale to BGR24 and to BGRA), then the all-in cost of 16 channels drawn
// through the control's own view in each layout, the paints included. Times
// are thread CPU time, the median of several repetitions. Last line:
// "ratio <ours / libswscale>" for the BGR24 conversion at 352x240.
//
// With --callgrind a fixed number of pictures runs once, each stage in a
// function of its own, so that `valgrind --tool=callgrind` and
// `callgrind_annotate --inclusive=yes` give instruction counts per stage.
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include <QApplication>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include "viewer_control/control/rgb_video_view.h"
#include "viewer_control/control/yuv_converter.h"

namespace {

constexpr int kSlots = 16;

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct Picture {
  int width = 0, height = 0;
  std::vector<uint8_t> y, u, v;
  vistrel::PlanarPicture planes() const { return {y.data(), u.data(), v.data(), width, width / 2, width, height}; }
};

// Sixteen different pictures with detail in every plane.
std::vector<Picture> MakePictures(int width, int height) {
  std::vector<Picture> pictures(kSlots);
  unsigned seed = 1;
  for (int s = 0; s < kSlots; ++s) {
    Picture& p = pictures[static_cast<size_t>(s)];
    p.width = width;
    p.height = height;
    p.y.resize(static_cast<size_t>(width) * height);
    p.u.resize(p.y.size() / 4);
    p.v.resize(p.y.size() / 4);
    for (size_t i = 0; i < p.y.size(); ++i) {
      seed = seed * 1103515245u + 12345u;
      p.y[i] = static_cast<uint8_t>((i % width) + s * 9 + (seed >> 28));
    }
    for (size_t i = 0; i < p.u.size(); ++i) {
      p.u[i] = static_cast<uint8_t>(64 + (i * 7 + s * 11) % 128);
      p.v[i] = static_cast<uint8_t>(64 + (i * 3 + s * 5) % 128);
    }
  }
  return pictures;
}

// CPU microseconds per picture of `run` (which handles `pictures` pictures),
// the median of `repetitions`.
double MedianMicroseconds(int repetitions, int pictures, const std::function<void()>& run) {
  std::vector<double> samples;
  for (int r = 0; r < repetitions; ++r) {
    const double start = CpuSeconds();
    run();
    samples.push_back((CpuSeconds() - start) * 1e6 / pictures);
  }
  std::sort(samples.begin(), samples.end());
  return samples[samples.size() / 2];
}

__attribute__((noinline)) void ConvertOurs(const std::vector<Picture>& pictures, int rounds, uint8_t* out) {
  for (int r = 0; r < rounds; ++r) {
    for (const Picture& p : pictures) vistrel::ConvertToBgr24(p.planes(), out, p.width * 3);
  }
}

__attribute__((noinline)) void ConvertSwscale(SwsContext* sws, const std::vector<Picture>& pictures, int rounds,
                                              uint8_t* out, int bytes_per_pixel) {
  for (int r = 0; r < rounds; ++r) {
    for (const Picture& p : pictures) {
      const uint8_t* src[3] = {p.y.data(), p.u.data(), p.v.data()};
      const int src_stride[3] = {p.width, p.width / 2, p.width / 2};
      uint8_t* dst[1] = {out};
      const int dst_stride[1] = {p.width * bytes_per_pixel};
      sws_scale(sws, src, src_stride, 0, p.height, dst, dst_stride);
    }
  }
}

// Receive-thread drawing of every channel, then the paints it asked for.
__attribute__((noinline)) void DrawAllIn(vistrel::RgbVideoView& view, const std::vector<Picture>& pictures,
                                         int rounds) {
  for (int r = 0; r < rounds; ++r) {
    for (int s = 0; s < kSlots; ++s) {
      view.DrawPicture(s, pictures[static_cast<size_t>(s)].planes(), "2026/12/08  16:35:33");
    }
    QCoreApplication::processEvents();
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  const bool callgrind = argc > 1 && std::strcmp(argv[1], "--callgrind") == 0;
  const int rounds = callgrind ? 4 : (argc > 1 ? std::max(1, std::atoi(argv[1])) : 50);
  const int repetitions = callgrind ? 1 : 5;
  double headline = 0;

  for (const auto& [width, height] : {std::pair{352, 240}, std::pair{704, 480}}) {
    const std::vector<Picture> pictures = MakePictures(width, height);
    std::vector<uint8_t> out(static_cast<size_t>(width) * height * 4);
    const int count = rounds * kSlots;
    const double ours = MedianMicroseconds(repetitions, count, [&] { ConvertOurs(pictures, rounds, out.data()); });
    double sws_us[2] = {0, 0};
    const AVPixelFormat formats[2] = {AV_PIX_FMT_BGR24, AV_PIX_FMT_BGRA};
    for (int f = 0; f < 2; ++f) {
      // Set up outside the timed region, as our converter needs none.
      SwsContext* sws = sws_getContext(width, height, AV_PIX_FMT_YUV420P, width, height, formats[f], SWS_POINT, nullptr,
                                       nullptr, nullptr);
      if (sws == nullptr) {
        std::fprintf(stderr, "render: libswscale refused the conversion\n");
        return 1;
      }
      sws_us[f] = MedianMicroseconds(repetitions, count,
                                     [&] { ConvertSwscale(sws, pictures, rounds, out.data(), f == 0 ? 3 : 4); });
      sws_freeContext(sws);
    }
    std::printf("convert %dx%d: ours BGR24 %.1f us/picture, libswscale BGR24 %.1f, BGRA %.1f; ratio %.3f\n", width,
                height, ours, sws_us[0], sws_us[1], ours / sws_us[0]);
    if (width == 352) headline = ours / sws_us[0];

    // All-in through the view at 704x480, each layout; drawing and painting
    // both inside the timed region.
    for (int per_row : {4, 3, 2, 1}) {
      vistrel::RgbVideoView view(nullptr);
      view.resize(704, 480);
      view.show();
      QCoreApplication::processEvents();
      vistrel::LayoutState layout;
      layout.per_row = per_row;
      layout.stream_mode = 1;
      view.SetLayout(layout);
      const double all_in = MedianMicroseconds(repetitions, count, [&] { DrawAllIn(view, pictures, rounds); });
      std::printf("all-in %dx%d, %dx%d layout: %.1f us/picture, 16 x 30 pictures/s = %.1f%% of one core\n", width,
                  height, per_row, per_row, all_in, all_in * 480 / 1e4);
    }
  }
  std::printf("ratio %.3f\n", headline);
  return 0;
}
