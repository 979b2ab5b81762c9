#include "viewer_control/control/caption_cache.h"

#include <algorithm>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <QPainter>

#include "viewer_control/control/video_view.h"
#include "viewer_control/control/yuv_converter.h"

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

// Source over for one premultiplied pixel; most of a caption's pixels are
// clear, and its glyphs solid.
inline void BlendPixel(uint32_t pixel, uint32_t* out) {
  const uint32_t alpha = pixel >> 24;
  if (alpha == 0) return;
  *out = alpha == 255 ? pixel : 0xFF000000u | (pixel + ByteMul(*out, 255 - alpha));
}

#if defined(__x86_64__)
// Eight pixels a step, the same bytes; returns how many pixels it did.
__attribute__((target("avx2"))) int BlendEightAtATime(const uint32_t* in, uint32_t* out, int width) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i opaque = _mm256_set1_epi32(255);
  int x = 0;
  for (; x + 8 <= width; x += 8) {
    const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + x));
    const __m256i alpha = _mm256_srli_epi32(pixels, 24);
    const __m256i clear = _mm256_cmpeq_epi32(alpha, zero);
    const int clear_mask = _mm256_movemask_epi8(clear);
    if (clear_mask == -1) continue;
    if ((clear_mask | _mm256_movemask_epi8(_mm256_cmpeq_epi32(alpha, opaque))) != -1) {
      for (int i = x; i < x + 8; ++i) BlendPixel(in[i], &out[i]);
      continue;
    }
    auto* to = reinterpret_cast<__m256i*>(out + x);
    _mm256_storeu_si256(to, _mm256_blendv_epi8(pixels, _mm256_loadu_si256(to), clear));
  }
  return x;
}
#endif

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
    const Band& date = DateBand(date_text, cell.width());
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

CaptionCache::Band& CaptionCache::DateBand(const std::string& text, int cell_width) {
  const QRgb white = QColor(Qt::white).rgba();
  Band* oldest = &dates_[0];
  for (Band& band : dates_) {
    if (band.image.width() == cell_width && band.text == text) {
      band.used = ++uses_;
      return band;
    }
    if (band.used < oldest->used) oldest = &band;
  }
  oldest->text.assign(text);
  oldest->used = ++uses_;
  Draw(oldest, cell_width, white, Qt::AlignCenter);
  return *oldest;
}

QRect InkedRect(const QImage& image) {
  int left = image.width(), right = -1, top = -1, bottom = -1;
  for (int y = 0; y < image.height(); ++y) {
    const auto* line = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
    int first = 0;
    while (first < image.width() && (line[first] >> 24) == 0) ++first;
    if (first == image.width()) continue;
    int last = image.width() - 1;
    while ((line[last] >> 24) == 0) --last;
    left = std::min(left, first);
    right = std::max(right, last);
    if (top < 0) top = y;
    bottom = y;
  }
  return top < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

void BlendInto(const QImage& source, const QRect& inked, QPoint at, const QRect& clip, QImage* destination) {
  const QRect area = inked.translated(at).intersected(clip).intersected(destination->rect());
  if (area.isEmpty()) return;
  const qsizetype in_pitch = source.bytesPerLine(), out_pitch = destination->bytesPerLine();
  const uchar* in_line = source.constBits() + (area.top() - at.y()) * in_pitch;
  uchar* out_line = destination->bits() + area.top() * out_pitch;
#if defined(__x86_64__)
  const bool avx2 = HaveAvx2();
#endif
  for (int y = 0; y < area.height(); ++y, in_line += in_pitch, out_line += out_pitch) {
    const auto* in = reinterpret_cast<const uint32_t*>(in_line) + (area.left() - at.x());
    auto* out = reinterpret_cast<uint32_t*>(out_line) + area.left();
    int x = 0;
#if defined(__x86_64__)
    // The text is drawn without antialiasing: a few pixels at a time are
    // mostly all clear, or clear and solid; only the REC mark's edge blends.
    if (avx2) x = BlendEightAtATime(in, out, area.width());
    const __m128i zero = _mm_setzero_si128();
    const __m128i opaque = _mm_set1_epi32(255);
    for (; x + 4 <= area.width(); x += 4) {
      const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x));
      const __m128i alpha = _mm_srli_epi32(pixels, 24);
      const __m128i clear = _mm_cmpeq_epi32(alpha, zero);
      const int clear_mask = _mm_movemask_epi8(clear);
      if (clear_mask == 0xFFFF) continue;
      if ((clear_mask | _mm_movemask_epi8(_mm_cmpeq_epi32(alpha, opaque))) != 0xFFFF) {
        for (int i = x; i < x + 4; ++i) BlendPixel(in[i], &out[i]);
        continue;
      }
      auto* to = reinterpret_cast<__m128i*>(out + x);
      _mm_storeu_si128(to, _mm_or_si128(_mm_and_si128(clear, _mm_loadu_si128(to)), _mm_andnot_si128(clear, pixels)));
    }
#endif
    for (; x < area.width(); ++x) BlendPixel(in[x], &out[x]);
  }
}

}  // namespace vistrel
