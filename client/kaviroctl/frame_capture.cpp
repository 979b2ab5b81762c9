#include "client/kaviroctl/frame_capture.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace kaviroctl {
namespace {

uint8_t Clamp(int value) { return static_cast<uint8_t>(std::clamp(value, 0, 255)); }

}  // namespace

QImage ToImage(const vistrel::PlanarPicture& picture) {
  QImage image(picture.width, picture.height, QImage::Format_RGB888);
  for (int row = 0; row < picture.height; ++row) {
    const uint8_t* y = picture.y + row * picture.y_pitch;
    const uint8_t* u = picture.u + (row / 2) * picture.uv_pitch;
    const uint8_t* v = picture.v + (row / 2) * picture.uv_pitch;
    uint8_t* out = image.scanLine(row);
    for (int column = 0; column < picture.width; ++column) {
      const int c = 298 * (y[column] - 16);
      const int d = u[column / 2] - 128;
      const int e = v[column / 2] - 128;
      out[3 * column] = Clamp((c + 409 * e + 128) >> 8);
      out[3 * column + 1] = Clamp((c - 100 * d - 208 * e + 128) >> 8);
      out[3 * column + 2] = Clamp((c + 516 * d + 128) >> 8);
    }
  }
  return image;
}

int32_t FrameCapture::DrawPicture(int slot, const vistrel::PlanarPicture& picture, std::string_view) {
  if (slot < 0 || slot >= 16) return 0;
  std::lock_guard guard(lock_);
  ++counts_[slot];
  if (first_[slot].isNull()) first_[slot] = ToImage(picture);
  return 0;
}

int FrameCapture::count(int slot) const {
  std::lock_guard guard(lock_);
  return counts_[slot];
}

QImage FrameCapture::first(int slot) const {
  std::lock_guard guard(lock_);
  return first_[slot];
}

void FrameCapture::ResetCounts() {
  std::lock_guard guard(lock_);
  counts_.fill(0);
}

PictureSaved SaveChannelPicture(const QImage& image, int channel, const std::string& folder, CtlReport& report,
                                std::ostream& err) {
  if (image.isNull()) {
    err << "kaviroctl: channel " << channel << ": no picture\n";
    return PictureSaved::kMissing;
  }
  char name[32];
  std::snprintf(name, sizeof name, "ch%02d.png", channel);
  const std::string path = (std::filesystem::path(folder) / name).string();
  if (!image.save(QString::fromStdString(path), "PNG")) {
    // No half picture is left behind (a full disk).
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    err << "kaviroctl: cannot write " << path << "\n";
    return PictureSaved::kFailed;
  }
  report.text() << path << " " << image.width() << "x" << image.height() << "\n";
  report.Append(
      "pictures",
      QJsonObject{
          {"channel", channel}, {"path", JsonText(path)}, {"width", image.width()}, {"height", image.height()}});
  return PictureSaved::kSaved;
}

}  // namespace kaviroctl
