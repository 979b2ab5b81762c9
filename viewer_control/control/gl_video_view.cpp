#include "viewer_control/control/gl_video_view.h"

#include <cstddef>
#include <cstring>

#include <QOpenGLContext>
#include <QOpenGLShaderProgram>
#include <QPainter>

// OpenGL ES 2's headers lack it; the code checks the version before using it.
#ifndef GL_UNPACK_ROW_LENGTH
#define GL_UNPACK_ROW_LENGTH 0x0CF2
#endif

namespace vistrel {
namespace {

const char* const kVertexShader = R"(
attribute vec2 position;
attribute vec2 texcoord;
varying vec2 v_texcoord;
void main() {
  gl_Position = vec4(position, 0.0, 1.0);
  v_texcoord = texcoord;
})";

// BT.601 studio range, the same coefficients as the software converter.
const char* const kYuvShader = R"(
#ifdef GL_ES
precision mediump float;
#endif
uniform sampler2D plane_y;
uniform sampler2D plane_u;
uniform sampler2D plane_v;
varying vec2 v_texcoord;
void main() {
  float y = 1.15625 * (texture2D(plane_y, v_texcoord).r - 0.0627451);
  float u = texture2D(plane_u, v_texcoord).r - 0.5019608;
  float v = texture2D(plane_v, v_texcoord).r - 0.5019608;
  gl_FragColor = vec4(y + 1.59375 * v, y - 0.390625 * u - 0.8125 * v, y + 2.015625 * u, 1.0);
})";

const char* const kRgbShader = R"(
#ifdef GL_ES
precision mediump float;
#endif
uniform sampler2D picture;
varying vec2 v_texcoord;
void main() {
  gl_FragColor = vec4(texture2D(picture, v_texcoord).rgb, 1.0);
})";

std::unique_ptr<QOpenGLShaderProgram> MakeProgram(const char* fragment) {
  auto program = std::make_unique<QOpenGLShaderProgram>();
  program->addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader);
  program->addShaderFromSourceCode(QOpenGLShader::Fragment, fragment);
  program->bindAttributeLocation("position", 0);
  program->bindAttributeLocation("texcoord", 1);
  if (!program->link()) return nullptr;
  return program;
}

}  // namespace

GlVideoView::GlVideoView(QWidget* parent) : QOpenGLWidget(parent) {
  Background();
  RecordingMark();
  resize(704, 480);
}

GlVideoView::~GlVideoView() {
  makeCurrent();
  ReleaseTextures();
  yuv_program_.reset();
  rgb_program_.reset();
  doneCurrent();
}

void GlVideoView::ReleaseSlotTextures(int slot) {
  Textures& textures = textures_[slot];
  if (textures.ids[0] != 0) glDeleteTextures(3, textures.ids.data());
  textures = Textures{};
}

int GlVideoView::SlotsWithTextures() const {
  int count = 0;
  for (const Textures& textures : textures_) count += textures.ids[0] != 0 ? 1 : 0;
  return count;
}

void GlVideoView::ReleaseTextures() {
  if (context() == nullptr) return;
  for (int slot = 0; slot < 16; ++slot) ReleaseSlotTextures(slot);
  if (background_texture_ != 0) glDeleteTextures(1, &background_texture_);
  background_texture_ = 0;
}

void GlVideoView::SetLayout(const LayoutState& layout) {
  {
    std::lock_guard lock(lock_);
    layout_ = layout;
  }
  update();
}

LayoutState GlVideoView::layout() const {
  std::lock_guard lock(lock_);
  return layout_;
}

QImage GlVideoView::Capture() { return grabFramebuffer(); }

bool GlVideoView::HasPicture(int slot) const {
  std::lock_guard lock(lock_);
  return slot >= 0 && slot < 16 && planes_[slot].present;
}

void GlVideoView::ChannelClosed(int slot) {
  if (slot < 0 || slot >= 16) return;
  {
    std::lock_guard lock(lock_);
    planes_[slot] = Planes{};
  }
  update();
}

void GlVideoView::ReleasePicture(int slot) {
  if (slot < 0 || slot >= 16) return;
  std::lock_guard lock(lock_);
  planes_[slot].CopyOnRelease();
}

int32_t GlVideoView::Upload(int slot, const PlanarPicture& picture, std::string_view date_text) {
  std::unique_lock lock(lock_);
  Planes& planes = planes_[slot];
  planes.Take(picture, date_text);
  planes.changed = true;
  lock.unlock();
  repaints_.Mark(slot + 1);
  return 0;
}

void GlVideoView::initializeGL() {
  initializeOpenGLFunctions();
  yuv_program_ = MakeProgram(kYuvShader);
  rgb_program_ = MakeProgram(kRgbShader);
  const QImage background = Background().convertToFormat(QImage::Format_RGBA8888);
  glGenTextures(1, &background_texture_);
  glBindTexture(GL_TEXTURE_2D, background_texture_);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, background.width(), background.height(), 0, GL_RGBA, GL_UNSIGNED_BYTE,
               background.constBits());
}

void GlVideoView::UploadPlane(const uint8_t* plane, int pitch, int columns, int rows) {
  if (pitch == columns) {
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, columns, rows, GL_LUMINANCE, GL_UNSIGNED_BYTE, plane);
    return;
  }
  // OpenGL ES 2 has no row length: a row at a time there.
  const QOpenGLContext* gl = context();
  if (gl->isOpenGLES() && gl->format().majorVersion() < 3) {
    for (int row = 0; row < rows; ++row) {
      glTexSubImage2D(GL_TEXTURE_2D, 0, 0, row, columns, 1, GL_LUMINANCE, GL_UNSIGNED_BYTE,
                      plane + static_cast<ptrdiff_t>(row) * pitch);
    }
    return;
  }
  glPixelStorei(GL_UNPACK_ROW_LENGTH, pitch);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, columns, rows, GL_LUMINANCE, GL_UNSIGNED_BYTE, plane);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

void GlVideoView::DrawQuad(QOpenGLShaderProgram& program, float top, float bottom) {
  static const GLfloat positions[] = {-1, -1, 1, -1, -1, 1, 1, 1};
  const GLfloat texcoords[] = {0, bottom, 1, bottom, 0, top, 1, top};
  program.enableAttributeArray(0);
  program.enableAttributeArray(1);
  program.setAttributeArray(0, GL_FLOAT, positions, 2);
  program.setAttributeArray(1, GL_FLOAT, texcoords, 2);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  program.disableAttributeArray(0);
  program.disableAttributeArray(1);
}

void GlVideoView::paintGL() {
  QPainter painter(this);
  std::lock_guard lock(lock_);
  const qreal ratio = devicePixelRatioF();
  const int w = width();
  const int h = height();
  painter.beginNativePainting();
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  const int first = layout_.first_slot + 1;
  const int last = layout_.last_slot();
  for (int slot = 1; slot <= 16; ++slot) {
    const bool shown = slot >= first && slot <= last && (layout_.selected == -1 || layout_.selected == slot) &&
                       !(layout_.IsBlankCell(slot) && layout_.selected != slot) && planes_[slot - 1].present;
    if (shown) continue;
    // What a hidden cell held on the GPU; its next showing uploads the kept planes.
    if (textures_[slot - 1].ids[0] != 0) ReleaseSlotTextures(slot - 1);
  }
  for (int slot = first; slot <= last; ++slot) {
    if (layout_.selected != -1 && layout_.selected != slot) continue;
    const QRect cell = SlotRect(layout_, w, h, slot);
    glViewport(static_cast<int>(cell.left() * ratio), static_cast<int>((h - cell.top() - cell.height()) * ratio),
               static_cast<int>(cell.width() * ratio), static_cast<int>(cell.height() * ratio));
    Planes& planes = planes_[slot - 1];
    const bool blank = layout_.IsBlankCell(slot) && layout_.selected != slot;
    if (blank || !planes.present || !yuv_program_) {
      if (!rgb_program_) continue;
      rgb_program_->bind();
      glActiveTexture(GL_TEXTURE0);
      glBindTexture(GL_TEXTURE_2D, background_texture_);
      rgb_program_->setUniformValue("picture", 0);
      DrawQuad(*rgb_program_, 0.0f, 1.0f);
      continue;
    }
    Textures& textures = textures_[slot - 1];
    const PlanarPicture& picture = planes.picture;
    const int sizes[3][2] = {{picture.width, picture.height},
                             {picture.width / 2, picture.height / 2},
                             {picture.width / 2, picture.height / 2}};
    if (textures.ids[0] == 0 || textures.width != picture.width || textures.height != picture.height) {
      if (textures.ids[0] != 0) glDeleteTextures(3, textures.ids.data());
      glGenTextures(3, textures.ids.data());
      for (int i = 0; i < 3; ++i) {
        glBindTexture(GL_TEXTURE_2D, textures.ids[i]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE, sizes[i][0], sizes[i][1], 0, GL_LUMINANCE, GL_UNSIGNED_BYTE,
                     nullptr);
      }
      textures.width = picture.width;
      textures.height = picture.height;
      planes.changed = true;
    }
    const uint8_t* plane_data[3] = {picture.y, picture.u, picture.v};
    const int pitches[3] = {picture.y_pitch, picture.uv_pitch, picture.uv_pitch};
    yuv_program_->bind();
    for (int i = 0; i < 3; ++i) {
      glActiveTexture(GL_TEXTURE0 + i);
      glBindTexture(GL_TEXTURE_2D, textures.ids[i]);
      if (planes.changed) UploadPlane(plane_data[i], pitches[i], sizes[i][0], sizes[i][1]);
    }
    planes.changed = false;
    yuv_program_->setUniformValue("plane_y", 0);
    yuv_program_->setUniformValue("plane_u", 1);
    yuv_program_->setUniformValue("plane_v", 2);
    const LineRange lines = ShownLines(picture.height, layout_.stream_mode);
    DrawQuad(*yuv_program_, static_cast<float>(lines.top) / picture.height,
             static_cast<float>(lines.bottom) / picture.height);
    glActiveTexture(GL_TEXTURE0);
  }
  // QPainter's texture uploads expect the default unpacking and bindings back.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, 0);
  glUseProgram(0);
  glViewport(0, 0, static_cast<int>(w * ratio), static_cast<int>(h * ratio));
  painter.endNativePainting();
  for (int slot = first; slot <= last; ++slot) {
    if (layout_.selected != -1 && layout_.selected != slot) continue;
    const Planes& planes = planes_[slot - 1];
    if (!planes.present || (layout_.IsBlankCell(slot) && layout_.selected != slot)) continue;
    const QRect cell = SlotRect(layout_, w, h, slot);
    painter.setClipRect(cell);
    CaptionCache::Pieces captions;
    const int count = captions_.Layout(cell, slot, layout_, planes.date_text, &captions);
    for (int i = 0; i < count; ++i) {
      // An empty source rectangle would mean the whole image to QPainter.
      if (captions[i].inked.isEmpty()) continue;
      painter.drawImage(captions[i].at + captions[i].inked.topLeft(), *captions[i].image, captions[i].inked);
    }
  }
}

}  // namespace vistrel
