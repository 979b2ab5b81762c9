// The video window of the control: the grid of cells that decoded pictures
// are drawn into. Two implementations, chosen once by the video device
// analysis: RgbVideoView (software conversion into one back buffer painted by
// QPainter) and GlVideoView (planar textures converted and scaled by OpenGL).
//
// Threads: DrawPicture runs on the receive thread of the session whose
// picture arrived, with that slot's decoder lock held; it post-processes and
// converts outside any lock of the view, then hands the result over under the
// view's lock. Everything else (layout, ChannelClosed, painting, capture) runs
// on the user-interface thread. The view's lock is taken after a decoder
// channel's lock, never before it. The views keep the planes they are handed
// by pointer, as IFrameSink allows; the post-processed planes are kept the
// same way (PostProcessor writes into two buffers in turn).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <QFont>
#include <QImage>
#include <QRect>

#include "viewer_control/control/cell_layout.h"
#include "viewer_control/control/post_processor.h"
#include "viewer_control/engine/frame_sink.h"

class QWidget;

namespace vistrel {

inline constexpr int kBackgroundWidth = 352;
inline constexpr int kBackgroundHeight = 240;

// A slot's latest picture as a view keeps it: the sink's planes by pointer
// while they are valid, its own copy once the sink releases them. Guarded by
// the view's lock.
struct KeptPicture {
  PlanarPicture picture;      // the sink's planes, or `copy` once they were released
  std::vector<uint8_t> copy;  // Y, U, V packed without padding; empty while not needed
  std::string date_text;
  bool present = false;

  // A new picture, taken by pointer; a copy left by a release is freed.
  void Take(const PlanarPicture& planes, std::string_view date);
  // The sink is about to free the planes: copies them unless that is done.
  void CopyOnRelease();
};

class VideoView : public IFrameSink {
 public:
  ~VideoView() override = default;

  virtual QWidget* widget() = 0;
  // 1 for the YUV (OpenGL) mode, 0 for the RGB mode.
  virtual int mode() const = 0;
  // Stores the layout and the caption colours and draws the layout's cells.
  virtual void SetLayout(const LayoutState& layout) = 0;
  virtual LayoutState layout() const = 0;
  // The video area as it is shown.
  virtual QImage Capture() = 0;
  // Whether the slot (0-15) holds a picture, that is, has a cell surface.
  virtual bool HasPicture(int slot) const = 0;

  int32_t DrawPicture(int slot, const PlanarPicture& picture, std::string_view date_text) final;

 protected:
  // Takes the slot's (post-processed) picture: converts or copies it and
  // draws the cell. Receive thread of the slot.
  virtual int32_t Upload(int slot, const PlanarPicture& picture, std::string_view date_text) = 0;

  static QFont CaptionFont();
  // The picture of cells without video (352 x 240).
  static const QImage& Background();
  // The REC mark, made once: a red dot and "REC" on a dark plate.
  static const QImage& RecordingMark();

 private:
  friend class CaptionCache;  // draws the captions in the font and mark above

  std::array<PostProcessor, 16> post_;  // each used only by its slot's drawing thread
};

// The video window of the mode the video device analysis chooses, a child
// of `parent`; `*mode` gets kYuvMode or kRgbMode. The control and the
// players' controls draw through the same windows.
VideoView* CreateVideoView(QWidget* parent, int* mode);

}  // namespace vistrel
