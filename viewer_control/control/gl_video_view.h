// The YUV mode of the video window: each picture's three planes are copied
// (the only software work per picture), uploaded as single-channel textures,
// converted to RGB by a shader and scaled by the GPU into its cell; captions
// are painted over the frame, and the whole frame is shown by one swap.
//
// Threads and locks: Upload runs on a receive thread under the slot's decoder
// lock; it copies the planes into the slot's one set under `lock_` (a second
// set per slot to copy into without the lock would cost 8 MB at D1 for a
// copy of well under a millisecond). paintGL (user-interface thread) holds
// `lock_` while it uploads the changed planes and draws; the textures of a
// cell the layout hides are freed, the planes kept to show it at once.
#pragma once

#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <QOpenGLFunctions>
#include <QOpenGLWidget>

#include "viewer_control/control/caption_cache.h"
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
  // Slots holding textures now (for the memory they cost).
  int SlotsWithTextures() const;

 protected:
  int32_t Upload(int slot, const PlanarPicture& picture, std::string_view date_text) override;
  void initializeGL() override;
  void paintGL() override;

 private:
  struct Planes {
    std::vector<uint8_t> data;  // Y (width x height), then U and V (width/2 x height/2)
    int width = 0;
    int height = 0;
    std::string date_text;
    bool present = false;
    bool changed = false;
  };
  struct Textures {
    std::array<unsigned, 3> ids{};
    int width = 0;
    int height = 0;
  };

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
};

}  // namespace vistrel
