#include "viewer_control/control/video_view.h"

#include <cstring>

#include <QLinearGradient>
#include <QPainter>

#include "viewer_control/control/gl_video_view.h"
#include "viewer_control/control/rgb_video_view.h"
#include "viewer_control/control/video_device_analysis.h"

namespace vistrel {

VideoView* CreateVideoView(QWidget* parent, int* mode) {
  *mode = AnalyseVideoDevice();
  if (*mode == kYuvMode) return new GlVideoView(parent);
  return new RgbVideoView(parent);
}

void KeptPicture::Take(const PlanarPicture& planes, std::string_view date) {
  picture = planes;
  if (!copy.empty()) std::vector<uint8_t>().swap(copy);
  date_text.assign(date);
  present = true;
}

void KeptPicture::CopyOnRelease() {
  if (!present || picture.y == copy.data()) return;
  const PlanarPicture planes = picture;
  const int chroma_width = (planes.width + 1) / 2;
  const int chroma_height = (planes.height + 1) / 2;
  const size_t luma = static_cast<size_t>(planes.width) * planes.height;
  const size_t chroma = static_cast<size_t>(chroma_width) * chroma_height;
  copy.resize(luma + 2 * chroma);  // on a release only, which is rare
  uint8_t* out = copy.data();
  const auto copy_plane = [&out](const uint8_t* plane, int pitch, int width, int height) {
    for (int row = 0; row < height; ++row, out += width) {
      std::memcpy(out, plane + static_cast<ptrdiff_t>(row) * pitch, static_cast<size_t>(width));
    }
  };
  copy_plane(planes.y, planes.y_pitch, planes.width, planes.height);
  copy_plane(planes.u, planes.uv_pitch, chroma_width, chroma_height);
  copy_plane(planes.v, planes.uv_pitch, chroma_width, chroma_height);
  picture.y = copy.data();
  picture.u = picture.y + luma;
  picture.v = picture.u + chroma;
  picture.y_pitch = planes.width;
  picture.uv_pitch = chroma_width;
}

int32_t VideoView::DrawPicture(int slot, const PlanarPicture& picture, std::string_view date_text) {
  if (slot < 0 || slot >= 16 || picture.width <= 0 || picture.height <= 0) return 0;
  PlanarPicture filtered;
  if (picture.post_processing != 0 && post_[slot].Apply(picture, picture.post_processing, &filtered)) {
    return Upload(slot, filtered, date_text);
  }
  return Upload(slot, picture, date_text);
}

QFont VideoView::CaptionFont() {
  QFont font(QStringLiteral("Sans Serif"));
  font.setPixelSize(13);
  font.setWeight(QFont::DemiBold);
  font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

const QImage& VideoView::RecordingMark() {
  static const QImage mark = [] {
    QImage image(46, 16, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 160));
    painter.drawRoundedRect(image.rect(), 3, 3);
    painter.setBrush(QColor(255, 0, 0));
    painter.drawEllipse(QRect(3, 3, 10, 10));
    painter.setFont(CaptionFont());
    painter.setPen(QColor(255, 0, 0));
    painter.drawText(QRect(15, 0, 30, 16), Qt::AlignCenter, QStringLiteral("REC"));
    return image;
  }();
  return mark;
}

const QImage& VideoView::Background() {
  static const QImage background = [] {
    QImage image(kBackgroundWidth, kBackgroundHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 0, kBackgroundHeight);
    gradient.setColorAt(0, QColor(24, 32, 56));
    gradient.setColorAt(1, QColor(8, 10, 20));
    painter.fillRect(image.rect(), gradient);
    painter.setPen(QColor(70, 84, 120));
    painter.drawRect(image.rect().adjusted(0, 0, -1, -1));
    QFont font(QStringLiteral("Sans Serif"));
    font.setPixelSize(28);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(96, 112, 160));
    painter.drawText(image.rect().adjusted(0, -20, 0, -20), Qt::AlignCenter, QStringLiteral("Vistrel"));
    font.setPixelSize(14);
    font.setBold(false);
    painter.setFont(font);
    painter.drawText(image.rect().adjusted(0, 30, 0, 30), Qt::AlignCenter, QStringLiteral("No Video"));
    return image;
  }();
  return background;
}

}  // namespace vistrel
