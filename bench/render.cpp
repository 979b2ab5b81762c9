// The RGB mode's picture path, measured against libswscale in the same run on
// the same planes: conversion alone at 352x240 and 704x480 (ours and
// libswscale's, to BGR24 and to BGRA), then the all-in cost of 16 channels drawn
// through the control's own view in each layout, the paints included. Times
// are thread CPU time, the median of several repetitions. Last line:
// "ratio <ours / libswscale>", the worst of both sizes and both formats.
//
// libswscale runs with SWS_POINT (neither SWS_ACCURATE_RND nor SWS_BITEXACT),
// so that at equal sizes it takes its unscaled vector yuv420p to BGR path.
//
// With --callgrind a fixed number of pictures runs once per path and the
// counts are dumped after each, labelled with the path:
//   valgrind --tool=callgrind --instr-atstart=no bench/render --callgrind
// (with LD_PRELOAD=testing/libvalgrind_hwy_timer.so where valgrind cannot
// decode the processor's RDTSCP)
//   for f in callgrind.out.*.[0-9]*; do callgrind_annotate $f | grep -E 'Trigger|PROGRAM TOTALS'; done
// (divide each total by the pictures the line names).
#include <time.h>
#include <valgrind/callgrind.h>

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

using Converter = void (*)(const vistrel::PlanarPicture&, uint8_t*, int);

__attribute__((noinline)) void ConvertOurs(Converter convert, const std::vector<Picture>& pictures, int rounds,
                                           uint8_t* out, int bytes_per_pixel) {
  for (int r = 0; r < rounds; ++r) {
    for (const Picture& p : pictures) convert(p.planes(), out, p.width * bytes_per_pixel);
  }
}

// Under callgrind, counts only `run`, dumped under `label`; else times it.
double Measure(bool callgrind, int repetitions, int pictures, const char* label, const std::function<void()>& run) {
  if (!callgrind) return MedianMicroseconds(repetitions, pictures, run);
  CALLGRIND_ZERO_STATS;
  CALLGRIND_START_INSTRUMENTATION;
  run();
  CALLGRIND_STOP_INSTRUMENTATION;
  CALLGRIND_DUMP_STATS_AT(label);
  return 0;
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
    char label[96];
    struct Path {
      const char* name;
      Converter convert;
      bool available;
      int format;  // 0 BGR24, 1 BGRA
    };
    const Path paths[] = {{"AVX2", vistrel::ConvertToBgr24Avx2, vistrel::HaveAvx2(), 0},
                          {"SSSE3", vistrel::ConvertToBgr24Ssse3, vistrel::HaveSsse3(), 0},
                          {"SSE2", vistrel::ConvertToBgr24Sse2, vistrel::HaveSse2(), 0},
                          {"chosen", vistrel::ConvertToBgr24, true, 0},
                          {"AVX2", vistrel::ConvertToBgraAvx2, vistrel::HaveAvx2(), 1},
                          {"chosen", vistrel::ConvertToBgra, true, 1}};
    const char* format_names[2] = {"BGR24", "BGRA"};
    double ours[2] = {0, 0};  // the chosen path's
    for (const Path& path : paths) {
      if (!path.available) continue;
      std::snprintf(label, sizeof label, "convert %dx%d ours %s %s, %d pictures", width, height, path.name,
                    format_names[path.format], count);
      ours[path.format] = Measure(callgrind, repetitions, count, label, [&] {
        ConvertOurs(path.convert, pictures, rounds, out.data(), path.format == 0 ? 3 : 4);
      });
      if (!callgrind) {
        std::printf("convert %dx%d: ours %s %s %.1f us/picture\n", width, height, path.name, format_names[path.format],
                    ours[path.format]);
      }
    }
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
      std::snprintf(label, sizeof label, "convert %dx%d libswscale %s, %d pictures", width, height, format_names[f],
                    count);
      sws_us[f] = Measure(callgrind, repetitions, count, label,
                          [&] { ConvertSwscale(sws, pictures, rounds, out.data(), f == 0 ? 3 : 4); });
      sws_freeContext(sws);
    }
    for (int f = 0; f < 2 && !callgrind; ++f) {
      std::printf("convert %dx%d %s: ours %.1f us/picture, libswscale %.1f; ratio %.3f\n", width, height,
                  format_names[f], ours[f], sws_us[f], ours[f] / sws_us[f]);
      headline = std::max(headline, ours[f] / sws_us[f]);
    }

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
      std::snprintf(label, sizeof label, "all-in %dx%d, %dx%d layout, %d pictures", width, height, per_row, per_row,
                    count);
      const double all_in = Measure(callgrind, repetitions, count, label, [&] { DrawAllIn(view, pictures, rounds); });
      if (callgrind) continue;
      std::printf("all-in %dx%d, %dx%d layout: %.1f us/picture, 16 x 30 pictures/s = %.1f%% of one core\n", width,
                  height, per_row, per_row, all_in, all_in * 480 / 1e4);
    }
  }
  std::printf("ratio %.3f\n", headline);
  return 0;
}
