#include "client/shell/viewer_capture.h"

#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <ctime>
#include <filesystem>

#include "client/media/engine/still_capture.h"
#include "client/shell/settings_keys.h"
#include "platform/registry.h"

namespace shell {

std::string ImageFolder() {
  const auto key = platform::RegistryKey::Open(kImagePathKey);
  std::string folder = key ? key->ReadString(kSavePathValue).value_or("") : std::string();
  // A folder typed without its separator must not put the files beside it.
  if (!folder.empty() && folder.back() != '/') folder.push_back('/');
  return folder;
}

CaptureResult CaptureViewer(QWidget& window, QWidget& viewer, std::string* path) {
  const std::string folder = ImageFolder();
  // The folder of a fresh installation exists only once something is saved in it.
  std::error_code made;
  if (!folder.empty()) std::filesystem::create_directories(folder, made);
  if (folder.empty() || !std::filesystem::is_directory(folder, made)) return CaptureResult::kNoFolder;
  const QRect area(viewer.mapTo(&window, QPoint(0, 0)), viewer.size());
  if (area.isEmpty()) return CaptureResult::kNoPicture;
  // The screen, as the unattended screenshot takes it: the video draws through
  // OpenGL, which a widget grab does not reproduce in full.
  QImage image;
  if (QScreen* screen = window.screen()) {
    image = screen->grabWindow(window.winId(), area.x(), area.y(), area.width(), area.height()).toImage();
  }
  if (image.isNull()) image = window.grab(area).toImage();
  if (image.isNull()) return CaptureResult::kNoPicture;
  image = image.convertToFormat(QImage::Format_RGB32);

  media::CapturedPixels pixels{image.width(), image.height(), {}};
  pixels.rgb.reserve(static_cast<size_t>(image.width()) * static_cast<size_t>(image.height()));
  for (int y = 0; y < image.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) pixels.rgb.push_back(line[x] & 0xFFFFFF);
  }
  const time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const std::string name = media::CaptureFileName(folder, local);
  const int depth = window.screen() != nullptr ? window.screen()->depth() : 24;
  if (!media::WriteBmp(name, pixels, media::CaptureBitCount(depth))) return CaptureResult::kWriteFailed;
  *path = name;
  return CaptureResult::kSaved;
}

}  // namespace shell
