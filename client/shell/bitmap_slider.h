// CBitmapSlider: a slider drawn from skin pictures (a track of one or two
// pictures and a thumb, each optionally transparent through a key colour).
// It reports a seek only when a drag ends, never while the thumb moves.
//
// Threads: user-interface thread only.
#pragma once

#include <QBitmap>
#include <QPixmap>
#include <QWidget>

namespace shell {

class CBitmapSlider : public QWidget {
  Q_OBJECT

 public:
  // A key colour of this value means: the colour of the key pixel.
  static constexpr unsigned kKeyFromPixel = 0xFF000000u;

  explicit CBitmapSlider(QWidget* parent = nullptr, int control_id = 0, bool vertical = false);

  int control_id() const { return control_id_; }

  // The window takes the channel picture's size.
  void SetChannelBitmaps(int channel_id, int active_id, bool transparent, unsigned key_colour, int key_x, int key_y);
  void SetThumbBitmaps(int thumb_id, int active_id, bool transparent, unsigned key_colour, int key_x, int key_y);
  void SetRange(int minimum, int maximum, bool repaint);
  void SetPos(int position);
  void SetMargins(int left, int top, int right, int bottom);
  // Moves the thumb and reports the seek as the end of a drag there would.
  void SeekTo(int position);

  int pos() const { return position_; }
  int minimum() const { return minimum_; }
  int maximum() const { return maximum_; }
  bool dragging() const { return dragging_; }

  // The thumb centre (pixels along the track) of a position, and back.
  int CentreOf(int position) const;
  int PositionOf(int centre) const;

 signals:
  // Queued to the parent when a drag ends: (control ID, position).
  void Seek(int control_id, int position);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  struct Picture {
    QPixmap pixmap;
    QBitmap mask;  // empty when not transparent
  };
  static Picture Load(int id, bool transparent, unsigned key_colour, int key_x, int key_y);
  int Along(const QPoint& point) const;
  int ThumbLength() const;
  int TrackLength() const;
  void MoveThumbTo(int along);
  void PostSeek();

  const int control_id_;
  const bool vertical_;
  Picture channel_;
  Picture channel_active_;
  Picture thumb_;
  Picture thumb_active_;
  int minimum_ = 0;
  int maximum_ = 100;
  int position_ = 0;
  int margin_left_ = 0;
  int margin_top_ = 0;
  int margin_right_ = 0;
  int margin_bottom_ = 0;
  bool dragging_ = false;
  int grab_offset_ = 0;
};

}  // namespace shell
