// The RGB mode of the video window: each slot keeps its latest picture's
// planes (the slot's cell surface); composing a cell converts them straight
// into the cell of one back buffer at the cell's size, with its captions, and
// the back buffer is shown by one paint. Cells not shown cost nothing, and a
// layout change shows their current picture at once.
//
// Threads and locks: Upload runs on a receive thread under the slot's decoder
// lock. Under `lock_` it keeps the picture's plane pointers in the slot's cell
// surface (no copy: the decoder leaves those planes alone until the slot's
// next picture has been drawn or ReleasePicture) and composes the cell into
// the back buffer. The decoder writes the next picture into its other buffer
// while the view may still read this one; the view moves to it only inside
// the next Upload, under `lock_`, so nothing is written that the view reads.
// ReleasePicture copies the planes into the surface's own buffer, so that a
// later compose still shows the picture after the decoder's planes are gone.
// The user-interface thread holds `lock_` to paint (one copy of the damaged
// area), to resize and to change the layout. A composed cell marks its slot
// in `repaints_`, which hands the marks to the user-interface thread at most
// once a display frame; it then repaints every marked cell at once: one paint
// for all the pictures that arrived in between. `lock_` guards every field
// marked so.
#pragma once

#include <array>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include <QImage>
#include <QWidget>

#include "viewer_control/control/caption_cache.h"
#include "viewer_control/control/repaint_requests.h"
#include "viewer_control/control/video_view.h"
#include "viewer_control/control/yuv_converter.h"

namespace vistrel {

class RgbVideoView final : public QWidget, public VideoView {
 public:
  explicit RgbVideoView(QWidget* parent);
  ~RgbVideoView() override;

  QWidget* widget() override { return this; }
  int mode() const override { return 0; }
  void SetLayout(const LayoutState& layout) override;
  LayoutState layout() const override;
  QImage Capture() override;
  bool HasPicture(int slot) const override;
  void ChannelClosed(int slot) override;
  void ReleasePicture(int slot) override;

 protected:
  int32_t Upload(int slot, const PlanarPicture& picture, std::string_view date_text) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // Draws the 1-based slot's cell into the back buffer; returns its rectangle
  // (empty when nothing was drawn).
  QRect ComposeCellLocked(int slot);
  void ComposeAllLocked();
  // User-interface thread: repaints the cells marked since the last time.
  void UpdateMarkedCells(uint32_t marked);

  mutable std::mutex lock_;
  LayoutState layout_;                    // guarded by lock_
  std::array<KeptPicture, 16> surfaces_;  // guarded by lock_
  QImage back_;                           // guarded by lock_
  CaptionCache captions_;                 // guarded by lock_
  std::array<CellLinePlan, 16> plans_;    // guarded by lock_; kept while a cell keeps its size
  RepaintRequests repaints_{[this](uint32_t marked) { UpdateMarkedCells(marked); }};
};

// Scales the rows [top, bottom) of a B, G, R(, X) source into `area` of a
// 32-bit destination, nearest pixel; `bytes_per_pixel` is 3 or 4.
void ScaleIntoCell(const uint8_t* source, int source_pitch, int bytes_per_pixel, int source_width, int top, int bottom,
                   QImage* destination, const QRect& area);

// Converts the rows [top, bottom) of `picture` straight into `area` of a
// 32-bit destination, nearest pixel: the bytes ConvertToBgr24 and then
// ScaleIntoCell give, at the cost of the cell's pixels only. `plan` is the
// cell's, kept from its last picture: made again only when sizes change.
void ConvertIntoCell(const PlanarPicture& picture, int top, int bottom, QImage* destination, const QRect& area,
                     CellLinePlan* plan);

}  // namespace vistrel
