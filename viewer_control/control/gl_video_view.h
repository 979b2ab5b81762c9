// The YUV mode of the video window: each picture's three planes are uploaded
// as single-channel textures, converted to RGB by a shader and scaled by the
// GPU into its cell; captions are painted over the frame, and the whole frame
// is shown by one swap.
//
// Threads and locks: Upload runs on a receive thread under the slot's decoder
// lock; under `lock_` it keeps the picture's plane pointers and pitches (no
// copy: the decoder leaves those planes alone until the slot's next picture
// has been drawn or ReleasePicture). The decoder writes the next picture into
// its other buffer while paintGL may still read this one; the view moves to
// it only inside the next Upload, under `lock_`. paintGL (user-interface
// thread) holds `lock_` while it uploads the changed planes and draws; the
// textures of a cell the layout hides are freed, the planes kept to show it
// at once. ReleasePicture copies the planes into the slot's own buffer.
#pragma once

#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <QOpenGLFunctions>
#include <QOpenGLWidget>

#include "viewer_control/control/caption_cache.h"
#include "viewer_control/control/repaint_requests.h"
#include "viewer_control/control/video_view.h"

class QOpenGLShaderProgram;

namespace vistrel {

class GlVideoView final : public QOpenGLWidget, protected QOpenGLFunctions, public VideoView {
 public:
  explicit GlVideoView(QWidget* parent);
  ~GlVideoView() override;

  QWidget* widget() override { return this; }
  int mode() const override { return 1; }
  void SetLayout(const LayoutState& layout) override;
  LayoutState layout() const override;
  QImage Capture() override;
  bool HasPicture(int slot) const override;
  void ChannelClosed(int slot) override;
  void ReleasePicture(int slot) override;
  // Slots holding textures now (for the memory they cost).
  int SlotsWithTextures() const;

 protected:
  int32_t Upload(int slot, const PlanarPicture& picture, std::string_view date_text) override;
  void initializeGL() override;
  void paintGL() override;

 private:
  struct Planes : KeptPicture {
    bool changed = false;  // not yet uploaded into the cell's textures
  };
  struct Textures {
    std::array<unsigned, 3> ids{};
    int width = 0;
    int height = 0;
  };

  // Into the bound texture, honouring the plane's pitch.
  void UploadPlane(const uint8_t* plane, int pitch, int columns, int rows);
  void DrawQuad(QOpenGLShaderProgram& program, float top, float bottom);
  void ReleaseTextures();
  void ReleaseSlotTextures(int slot);

  mutable std::mutex lock_;
  LayoutState layout_;             // guarded by lock_
  std::array<Planes, 16> planes_;  // guarded by lock_
  CaptionCache captions_;          // user-interface thread only
  // GL objects, user-interface thread with the context current.
  std::array<Textures, 16> textures_{};
  unsigned background_texture_ = 0;
  std::unique_ptr<QOpenGLShaderProgram> yuv_program_;
  std::unique_ptr<QOpenGLShaderProgram> rgb_program_;
  // The whole view is drawn again, whichever cells are marked.
  RepaintRequests repaints_{[this](uint32_t) { update(); }};
};

}  // namespace vistrel
