// The RGB mode's picture path: 16 cells of 352x240 pictures converted and
// composed into a 704x480 and a 1024x768 video window, through the control's
// own view, against libswscale converting the same planes to BGR24 in the
// same run. Last line: "ratio <ours / libswscale>" for the conversion alone.
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <QApplication>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include "viewer_control/control/rgb_video_view.h"
#include "viewer_control/control/yuv_converter.h"

namespace {

constexpr int kWidth = 352;
constexpr int kHeight = 240;
constexpr int kSlots = 16;

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct Picture {
  std::vector<uint8_t> y, u, v;
  vistrel::PlanarPicture planes() const { return {y.data(), u.data(), v.data(), kWidth, kWidth / 2, kWidth, kHeight}; }
};

// Sixteen different pictures with detail in every plane.
std::vector<Picture> MakePictures() {
  std::vector<Picture> pictures(kSlots);
  unsigned seed = 1;
  for (int s = 0; s < kSlots; ++s) {
    Picture& p = pictures[static_cast<size_t>(s)];
    p.y.resize(kWidth * kHeight);
    p.u.resize(kWidth * kHeight / 4);
    p.v.resize(kWidth * kHeight / 4);
    for (size_t i = 0; i < p.y.size(); ++i) {
      seed = seed * 1103515245u + 12345u;
      p.y[i] = static_cast<uint8_t>((i % kWidth) + s * 9 + (seed >> 28));
    }
    for (size_t i = 0; i < p.u.size(); ++i) {
      p.u[i] = static_cast<uint8_t>(64 + (i * 7 + s * 11) % 128);
      p.v[i] = static_cast<uint8_t>(64 + (i * 3 + s * 5) % 128);
    }
  }
  return pictures;
}

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 200;
  const std::vector<Picture> pictures = MakePictures();
  std::vector<uint8_t> bgr(kWidth * kHeight * 3);

  // Conversion alone: ours, then libswscale, on the same planes.
  double start = CpuSeconds();
  for (int r = 0; r < rounds; ++r) {
    for (const Picture& p : pictures) vistrel::ConvertToBgr24(p.planes(), bgr.data(), kWidth * 3);
  }
  const double ours_us = (CpuSeconds() - start) * 1e6 / (rounds * kSlots);

  SwsContext* sws = sws_getContext(kWidth, kHeight, AV_PIX_FMT_YUV420P, kWidth, kHeight, AV_PIX_FMT_BGR24, SWS_POINT,
                                   nullptr, nullptr, nullptr);
  if (sws == nullptr) {
    std::fprintf(stderr, "render: libswscale refused the conversion\n");
    return 1;
  }
  start = CpuSeconds();
  for (int r = 0; r < rounds; ++r) {
    for (const Picture& p : pictures) {
      const uint8_t* src[3] = {p.y.data(), p.u.data(), p.v.data()};
      const int src_stride[3] = {kWidth, kWidth / 2, kWidth / 2};
      uint8_t* dst[1] = {bgr.data()};
      const int dst_stride[1] = {kWidth * 3};
      sws_scale(sws, src, src_stride, 0, kHeight, dst, dst_stride);
    }
  }
  const double sws_us = (CpuSeconds() - start) * 1e6 / (rounds * kSlots);
  sws_freeContext(sws);

  std::printf("convert 352x240 to BGR24: ours %.1f us/picture, libswscale %.1f us/picture\n", ours_us, sws_us);

  // Converting and composing through the view, as the receive threads do,
  // with its captions; the paints it asks for run between rounds.
  for (QSize area : {QSize(704, 480), QSize(1024, 768)}) {
    vistrel::RgbVideoView view(nullptr);
    view.resize(area);
    view.show();
    QCoreApplication::processEvents();
    vistrel::LayoutState layout;
    layout.per_row = 4;
    layout.stream_mode = 1;
    view.SetLayout(layout);
    double draw = 0;
    for (int r = 0; r < rounds; ++r) {
      start = CpuSeconds();
      for (int s = 0; s < kSlots; ++s) {
        view.DrawPicture(s, pictures[static_cast<size_t>(s)].planes(), "2026/12/08  16:35:33");
      }
      draw += CpuSeconds() - start;
      QCoreApplication::processEvents();
    }
    const double per_picture_us = draw * 1e6 / (rounds * kSlots);
    std::printf("convert+compose 16 cells into %dx%d: %.1f us/picture, 16 x 30 pictures/s = %.1f%% of one core\n",
                area.width(), area.height(), per_picture_us, per_picture_us * 480 / 1e4);
  }
  std::printf("ratio %.3f\n", ours_us / sws_us);
  return 0;
}
