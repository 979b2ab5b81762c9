#include "client/shell/bitmap_slider.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

#include "client/shell/skin_artwork.h"

namespace shell {
namespace {

QRectF ScaledRect(const QRect& rect, qreal ratio) {
  return QRectF(rect.x() * ratio, rect.y() * ratio, rect.width() * ratio, rect.height() * ratio);
}

}  // namespace

CBitmapSlider::CBitmapSlider(QWidget* parent, int control_id, bool vertical)
    : QWidget(parent), control_id_(control_id), vertical_(vertical) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

CBitmapSlider::Picture CBitmapSlider::Load(int id, bool transparent, unsigned key_colour, int key_x, int key_y) {
  Picture picture;
  if (id == 0) return picture;
  picture.pixmap = skin::Pixmap(id);
  if (!transparent || picture.pixmap.isNull()) return picture;
  QColor key = QColor::fromRgb((key_colour >> 0) & 0xFF, (key_colour >> 8) & 0xFF, (key_colour >> 16) & 0xFF);
  if (key_colour == kKeyFromPixel) {
    const qreal ratio = picture.pixmap.devicePixelRatio();
    key = picture.pixmap.toImage().pixelColor(qRound(key_x * ratio), qRound(key_y * ratio));
  }
  // Key-colour pixels let the background through.
  picture.mask = picture.pixmap.createMaskFromColor(key, Qt::MaskInColor);
  picture.pixmap.setMask(picture.mask);
  return picture;
}

void CBitmapSlider::SetChannelBitmaps(int channel_id, int active_id, bool transparent, unsigned key_colour, int key_x,
                                      int key_y) {
  channel_ = Load(channel_id, transparent, key_colour, key_x, key_y);
  channel_active_ = Load(active_id, transparent, key_colour, key_x, key_y);
  if (!channel_.pixmap.isNull()) resize(channel_.pixmap.deviceIndependentSize().toSize());
  update();
}

void CBitmapSlider::SetThumbBitmaps(int thumb_id, int active_id, bool transparent, unsigned key_colour, int key_x,
                                    int key_y) {
  thumb_ = Load(thumb_id, transparent, key_colour, key_x, key_y);
  thumb_active_ = Load(active_id, transparent, key_colour, key_x, key_y);
  update();
}

void CBitmapSlider::SetRange(int minimum, int maximum, bool repaint) {
  minimum_ = minimum;
  maximum_ = maximum;
  position_ = std::clamp(position_, std::min(minimum_, maximum_), std::max(minimum_, maximum_));
  if (repaint) update();
}

void CBitmapSlider::SetPos(int position) {
  position_ = std::clamp(position, std::min(minimum_, maximum_), std::max(minimum_, maximum_));
  update();
}

void CBitmapSlider::SetMargins(int left, int top, int right, int bottom) {
  margin_left_ = left;
  margin_top_ = top;
  margin_right_ = right;
  margin_bottom_ = bottom;
  update();
}

int CBitmapSlider::ThumbLength() const {
  if (thumb_.pixmap.isNull()) return 0;
  const QSize thumb = thumb_.pixmap.deviceIndependentSize().toSize();
  return vertical_ ? thumb.height() : thumb.width();
}

int CBitmapSlider::TrackLength() const { return vertical_ ? height() : width(); }

// Vertical sliders measure from the bottom, where the minimum is, so one
// formula serves both orientations.
int CBitmapSlider::CentreOf(int position) const {
  const int w = ThumbLength();
  const int low = vertical_ ? margin_bottom_ : margin_left_;
  const int high = vertical_ ? margin_top_ : margin_right_;
  // An empty range has one place for the thumb: the start of the track.
  if (maximum_ == minimum_) return low + w / 2;
  const double span = TrackLength() - high - w - low;
  return static_cast<int>(low + static_cast<double>(position - minimum_) / (maximum_ - minimum_) * span + w / 2.0);
}

int CBitmapSlider::PositionOf(int centre) const {
  const int w = ThumbLength();
  const int low = vertical_ ? margin_bottom_ : margin_left_;
  const int high = vertical_ ? margin_top_ : margin_right_;
  const double span = TrackLength() - high - low - w;
  if (span <= 0) return minimum_;
  return static_cast<int>(minimum_ + (centre - w / 2.0 - low) / span * (maximum_ - minimum_));
}

int CBitmapSlider::Along(const QPoint& point) const { return vertical_ ? height() - 1 - point.y() : point.x(); }

void CBitmapSlider::MoveThumbTo(int along) {
  const int w = ThumbLength();
  const int low = (vertical_ ? margin_bottom_ : margin_left_) + w / 2;
  const int high = TrackLength() - (vertical_ ? margin_top_ : margin_right_) - (w - w / 2);
  const int centre = std::clamp(along, low, std::max(low, high));
  if (centre == CentreOf(position_)) return;
  int position = PositionOf(centre);
  if (centre <= low) position = minimum_;
  if (centre >= high) position = maximum_;
  position_ = std::clamp(position, std::min(minimum_, maximum_), std::max(minimum_, maximum_));
  update();
}

void CBitmapSlider::mousePressEvent(QMouseEvent* event) {
  if (!isEnabled() || event->button() != Qt::LeftButton) return;
  grabMouse();
  dragging_ = true;
  const int along = Along(event->position().toPoint());
  const int centre = CentreOf(position_);
  // A press on the thumb keeps its offset; elsewhere the thumb jumps.
  grab_offset_ = std::abs(along - centre) <= ThumbLength() / 2 ? along - centre : 0;
  MoveThumbTo(along - grab_offset_);
}

void CBitmapSlider::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return;
  MoveThumbTo(Along(event->position().toPoint()) - grab_offset_);
}

void CBitmapSlider::mouseReleaseEvent(QMouseEvent* event) {
  if (!dragging_ || event->button() != Qt::LeftButton) return;
  releaseMouse();
  dragging_ = false;
  update();
  PostSeek();
}

void CBitmapSlider::SeekTo(int position) {
  if (!isEnabled() || dragging_) return;
  SetPos(position);
  PostSeek();
}

void CBitmapSlider::PostSeek() {
  // Posted, as the seek message was.
  QMetaObject::invokeMethod(
      this, [this, position = position_] { emit Seek(control_id_, position); }, Qt::QueuedConnection);
}

void CBitmapSlider::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange && !isEnabled() && dragging_) {
    dragging_ = false;
    releaseMouse();
  }
  QWidget::changeEvent(event);
}

void CBitmapSlider::paintEvent(QPaintEvent*) {
  // Composed off screen and copied in one block against flicker.
  QPixmap canvas = skin::Canvas(size());
  canvas.fill(parentWidget() != nullptr ? parentWidget()->palette().window().color() : Qt::black);
  {
    QPainter painter(&canvas);
    const int centre = CentreOf(position_);
    if (!channel_active_.pixmap.isNull() && isEnabled()) {
      // The part before the thumb from the second picture.
      const int split = vertical_ ? height() - centre : centre;
      const QRect first = vertical_ ? QRect(0, split, width(), height() - split) : QRect(0, 0, split, height());
      const QRect second = vertical_ ? QRect(0, 0, width(), split) : QRect(split, 0, width() - split, height());
      // The source rectangles are in the pictures' device pixels.
      const qreal ratio = channel_.pixmap.devicePixelRatio();
      painter.drawPixmap(QRectF(first), channel_active_.pixmap, ScaledRect(first, ratio));
      painter.drawPixmap(QRectF(second), channel_.pixmap, ScaledRect(second, ratio));
    } else if (!channel_.pixmap.isNull()) {
      painter.drawPixmap(0, 0, channel_.pixmap);
    }
    const Picture& thumb = (!thumb_active_.pixmap.isNull() && dragging_) ? thumb_active_ : thumb_;
    if (!thumb.pixmap.isNull()) {
      const int w = ThumbLength();
      const QSize thumb_size = thumb.pixmap.deviceIndependentSize().toSize();
      const QPoint corner = vertical_ ? QPoint((width() - thumb_size.width()) / 2, height() - centre - w / 2)
                                      : QPoint(centre - w / 2, (height() - thumb_size.height()) / 2);
      painter.drawPixmap(corner, thumb.pixmap);
    }
  }
  QPainter(this).drawPixmap(0, 0, canvas);
}

}  // namespace shell
