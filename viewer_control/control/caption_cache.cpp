#include "viewer_control/control/caption_cache.h"

#include <QPainter>

#include "viewer_control/control/video_view.h"

namespace vistrel {
namespace {

// A caption's text goes in a band of 20 lines, 2 in from the cell's top or
// bottom and 4 from its sides; the image holds a few lines more either way,
// so that no glyph standing out of the band is lost.
constexpr int kBandLines = 20;
constexpr int kMargin = 4;
constexpr int kImageLines = kBandLines + 2 * kMargin;

// QPainter's rounding of x * a / 255 for each byte of a premultiplied pixel.
uint32_t ByteMul(uint32_t x, uint32_t a) {
  uint64_t t = ((uint64_t{x} | (uint64_t{x} << 24)) & 0x00ff00ff00ff00ffULL) * a;
  t = (t + ((t >> 8) & 0x00ff00ff00ff00ffULL) + 0x0080008000800080ULL) >> 8;
  t &= 0x00ff00ff00ff00ffULL;
  return static_cast<uint32_t>(t) | static_cast<uint32_t>(t >> 24);
}

}  // namespace

void CaptionCache::Draw(Band* band, int cell_width, QRgb colour, int flags) {
  if (band->image.width() != cell_width)
    band->image = QImage(cell_width, kImageLines, QImage::Format_ARGB32_Premultiplied);
  band->image.fill(Qt::transparent);
  band->colour = colour;
  QPainter painter(&band->image);
  painter.setFont(VideoView::CaptionFont());
  painter.setPen(QColor::fromRgba(colour));
  painter.drawText(QRect(4, kMargin, cell_width - 8, kBandLines), flags, QString::fromStdString(band->text));
  painter.end();
  band->inked = InkedRect(band->image);
}

int CaptionCache::Layout(const QRect& cell, int slot, const LayoutState& layout, const std::string& date_text,
                         Pieces* pieces) {
  if (slot < 1 || slot > 16 || cell.width() <= 0) return 0;
  int count = 0;
  const int bottom = cell.top() + cell.height();
  if (layout.stream_mode == 1) {
    Band& date = dates_[slot - 1];
    const QRgb white = QColor(Qt::white).rgba();
    if (date.text != date_text || date.image.width() != cell.width() || date.colour != white) {
      date.text.assign(date_text);
      Draw(&date, cell.width(), white, Qt::AlignCenter);
    }
    (*pieces)[count++] = {&date.image, date.inked, QPoint(cell.left(), cell.top() + 2 - kMargin)};
  }
  Band& channel = channels_[slot - 1];
  const QRgb colour = CaptionColour(layout.record_types[slot - 1]).rgba();
  if (channel.text.empty() || channel.image.width() != cell.width() || channel.colour != colour) {
    channel.text = "Ch." + std::to_string(slot);
    Draw(&channel, cell.width(), colour, Qt::AlignLeft | Qt::AlignVCenter);
  }
  (*pieces)[count++] = {&channel.image, channel.inked, QPoint(cell.left(), bottom - 22 - kMargin)};
  if (layout.recording[slot - 1]) {
    const QImage& mark = VideoView::RecordingMark();
    const int right = cell.left() + cell.width() - 4;
    static const QRect mark_inked = InkedRect(mark);
    (*pieces)[count++] = {&mark, mark_inked,
                          QPoint(right - mark.width(), bottom - 22 + (kBandLines - mark.height()) / 2)};
  }
  return count;
}

QRect InkedRect(const QImage& image) {
  QRect inked;
  for (int y = 0; y < image.height(); ++y) {
    const auto* line = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      if ((line[x] >> 24) != 0) inked |= QRect(x, y, 1, 1);
    }
  }
  return inked;
}

void BlendInto(const QImage& source, const QRect& inked, QPoint at, const QRect& clip, QImage* destination) {
  const QRect area = inked.translated(at).intersected(clip).intersected(destination->rect());
  if (area.isEmpty()) return;
  const qsizetype in_pitch = source.bytesPerLine(), out_pitch = destination->bytesPerLine();
  const uchar* in_line = source.constBits() + (area.top() - at.y()) * in_pitch;
  uchar* out_line = destination->bits() + area.top() * out_pitch;
  for (int y = 0; y < area.height(); ++y, in_line += in_pitch, out_line += out_pitch) {
    const auto* in = reinterpret_cast<const uint32_t*>(in_line) + (area.left() - at.x());
    auto* out = reinterpret_cast<uint32_t*>(out_line) + area.left();
    for (int x = 0; x < area.width(); ++x) {
      const uint32_t pixel = in[x];
      const uint32_t alpha = pixel >> 24;
      // Most of a caption's pixels are clear, and its glyphs solid.
      if (alpha == 0) continue;
      out[x] = alpha == 255 ? pixel : 0xFF000000u | (pixel + ByteMul(out[x], 255 - alpha));
    }
  }
}

}  // namespace vistrel
