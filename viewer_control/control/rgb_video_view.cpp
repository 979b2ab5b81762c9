#include "viewer_control/control/rgb_video_view.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include <QPaintEvent>
#include <QPainter>

#include "viewer_control/control/yuv_converter.h"

namespace vistrel {

void ScaleIntoCell(const uint8_t* source, int source_pitch, int bytes_per_pixel, int source_width, int top, int bottom,
                   QImage* destination, const QRect& area) {
  const QRect target = area.intersected(destination->rect());
  if (target.isEmpty() || source_width <= 0 || bottom <= top) return;
  const int lines = bottom - top;
  // Offsets of the source pixel of each destination column, made once per cell.
  std::vector<int> columns(static_cast<size_t>(target.width()));
  for (int x = 0; x < target.width(); ++x) {
    const int dx = x + target.left() - area.left();
    columns[static_cast<size_t>(x)] = static_cast<int>(int64_t{dx} * source_width / area.width()) * bytes_per_pixel;
  }
  for (int y = 0; y < target.height(); ++y) {
    const int dy = y + target.top() - area.top();
    const int line = top + static_cast<int>(int64_t{dy} * lines / area.height());
    const uint8_t* row = source + static_cast<ptrdiff_t>(line) * source_pitch;
    auto* out = reinterpret_cast<uint32_t*>(destination->scanLine(target.top() + y)) + target.left();
    for (int x = 0; x < target.width(); ++x) {
      const uint8_t* pixel = row + columns[static_cast<size_t>(x)];
      out[x] = 0xFF000000u | uint32_t{pixel[2]} << 16 | uint32_t{pixel[1]} << 8 | pixel[0];
    }
  }
}

void ConvertIntoCell(const PlanarPicture& picture, int top, int bottom, QImage* destination, const QRect& area,
                     CellLinePlan* plan) {
  const QRect target = area.intersected(destination->rect());
  if (target.isEmpty() || picture.width <= 0 || bottom <= top) return;
  const int lines = bottom - top;
  plan->Prepare(target.left() - area.left(), target.width(), area.width(), picture.width);
  // The source line of each row the cell shows, made once per thread and
  // kept: no allocation per picture. Repeated lines are converted once.
  thread_local std::vector<int> shown;
  shown.resize(static_cast<size_t>(target.height()));
  for (int y = 0; y < target.height(); ++y) {
    const int dy = y + target.top() - area.top();
    shown[static_cast<size_t>(y)] = top + static_cast<int>(int64_t{dy} * lines / area.height());
  }
  const qsizetype pitch = destination->bytesPerLine();
  auto* out = reinterpret_cast<uint32_t*>(destination->bits() + target.top() * pitch) + target.left();
  plan->ConvertLines(picture, shown.data(), target.height(), out, pitch / static_cast<qsizetype>(sizeof(uint32_t)));
}

RgbVideoView::RgbVideoView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  // Made on this thread before any receive thread asks for them.
  Background();
  RecordingMark();
  back_ = QImage(704, 480, QImage::Format_RGB32);
  resize(704, 480);
  std::lock_guard lock(lock_);
  ComposeAllLocked();
}

RgbVideoView::~RgbVideoView() = default;

void RgbVideoView::SetLayout(const LayoutState& layout) {
  std::lock_guard lock(lock_);
  layout_ = layout;
  ComposeAllLocked();
  update();
}

LayoutState RgbVideoView::layout() const {
  std::lock_guard lock(lock_);
  return layout_;
}

QImage RgbVideoView::Capture() {
  std::lock_guard lock(lock_);
  return back_.copy();
}

bool RgbVideoView::HasPicture(int slot) const {
  std::lock_guard lock(lock_);
  return slot >= 0 && slot < 16 && surfaces_[slot].present;
}

void RgbVideoView::ChannelClosed(int slot) {
  if (slot < 0 || slot >= 16) return;
  std::lock_guard lock(lock_);
  surfaces_[slot] = KeptPicture{};
  const QRect area = ComposeCellLocked(slot + 1);
  if (!area.isEmpty()) update(area);
}

void RgbVideoView::ReleasePicture(int slot) {
  if (slot < 0 || slot >= 16) return;
  std::lock_guard lock(lock_);
  surfaces_[slot].CopyOnRelease();
}

int32_t RgbVideoView::Upload(int slot, const PlanarPicture& picture, std::string_view date_text) {
  // The planes are kept by pointer and converted straight into the cell when
  // composed, hidden cells not at all; a layout change converts the kept
  // planes, so it shows the current picture.
  QRect area;
  {
    std::lock_guard lock(lock_);
    surfaces_[slot].Take(picture, date_text);
    // A blank cell shows the background whatever its slot receives.
    if (layout_.IsBlankCell(slot + 1) && layout_.selected != slot + 1) return 0;
    area = ComposeCellLocked(slot + 1);
  }
  if (!area.isEmpty()) repaints_.Mark(slot + 1);
  return 0;
}

void RgbVideoView::UpdateMarkedCells(uint32_t marked) {
  std::lock_guard lock(lock_);
  for (int slot = 1; slot <= 16; ++slot) {
    if ((marked & (1u << (slot - 1))) != 0) update(SlotRect(layout_, back_.width(), back_.height(), slot));
  }
}

QRect RgbVideoView::ComposeCellLocked(int slot) {
  if (back_.isNull() || !layout_.Shows(slot)) return {};
  if (layout_.selected != -1 && layout_.selected != slot) return {};
  const QRect cell = SlotRect(layout_, back_.width(), back_.height(), slot);
  if (cell.isEmpty()) return {};
  const KeptPicture& surface = surfaces_[slot - 1];
  const bool blank = layout_.IsBlankCell(slot) && layout_.selected != slot;
  if (blank || !surface.present) {
    const QImage& background = Background();
    ScaleIntoCell(background.constBits(), static_cast<int>(background.bytesPerLine()), 4, background.width(), 0,
                  background.height(), &back_, cell);
    return cell;
  }
  const LineRange lines = ShownLines(surface.picture.height, layout_.stream_mode);
  ConvertIntoCell(surface.picture, lines.top, lines.bottom, &back_, cell, &plans_[slot - 1]);
  CaptionCache::Pieces captions;
  const int count = captions_.Layout(cell, slot, layout_, surface.date_text, &captions);
  for (int i = 0; i < count; ++i) BlendInto(*captions[i].image, captions[i].inked, captions[i].at, cell, &back_);
  return cell;
}

void RgbVideoView::ComposeAllLocked() {
  back_.fill(Qt::black);
  for (int slot = layout_.first_slot + 1; slot <= layout_.last_slot(); ++slot) ComposeCellLocked(slot);
}

void RgbVideoView::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  std::lock_guard lock(lock_);
  // Rectangle by rectangle: a region of several (the 3x3 grid's cells but its
  // blank one, say) as one clip sends the whole blit through the raster
  // engine's span fills and its thread pool, where a clip of one rectangle is
  // a plain copy of lines.
  for (const QRect& area : event->region()) {
    painter.setClipRect(area);
    painter.drawImage(area.topLeft(), back_, area);
  }
}

void RgbVideoView::resizeEvent(QResizeEvent*) {
  std::lock_guard lock(lock_);
  if (width() <= 0 || height() <= 0) return;
  back_ = QImage(width(), height(), QImage::Format_RGB32);
  ComposeAllLocked();
}

}  // namespace vistrel
