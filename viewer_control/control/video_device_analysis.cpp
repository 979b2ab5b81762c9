#include "viewer_control/control/video_device_analysis.h"

#include <cstdlib>
#include <cstring>

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>

#include "platform/trace.h"

namespace vistrel {
namespace {

// Memory queries of the two driver families that answer them.
constexpr unsigned kNvxTotalAvailableMemoryKb = 0x9048;
constexpr unsigned kNvxCurrentAvailableMemoryKb = 0x9049;
constexpr unsigned kAtiTextureFreeMemory = 0x87FC;

const char* Text(QOpenGLFunctions* gl, unsigned name) {
  const auto* text = reinterpret_cast<const char*>(gl->glGetString(name));
  return text != nullptr ? text : "unknown";
}

}  // namespace

VideoDeviceReport ProbeVideoDevice() {
  VideoDeviceReport report;
  const char* forced = std::getenv("VISTREL_VIDEO_MODE");
  if (forced != nullptr && std::strcmp(forced, "rgb") == 0) {
    Trace("Video device analysis skipped: VISTREL_VIDEO_MODE=rgb");
    return report;
  }
  // The offscreen platform makes GL contexts where an X display is at hand,
  // but its windows have no framebuffer for an OpenGL widget: the first
  // flush of the YUV mode's window would crash.
  if (QGuiApplication::platformName() == "offscreen") {
    Trace("Failed to get device driver capabilities at CheckVideoDevicePerformance().(no OpenGL context)");
    return report;
  }
  QOffscreenSurface surface;
  surface.create();
  QOpenGLContext context;
  if (!surface.isValid() || !context.create() || !context.makeCurrent(&surface)) {
    Trace("Failed to get device driver capabilities at CheckVideoDevicePerformance().(no OpenGL context)");
    return report;
  }
  report.context = true;
  QOpenGLFunctions* gl = context.functions();
  Trace("Video device driver: %s, %s, OpenGL %s", Text(gl, GL_VENDOR), Text(gl, GL_RENDERER), Text(gl, GL_VERSION));
  report.shaders = QOpenGLShaderProgram::hasOpenGLShaderPrograms(&context);
  gl->glGetIntegerv(GL_MAX_TEXTURE_SIZE, &report.max_texture_size);
  if (context.hasExtension("GL_NVX_gpu_memory_info")) {
    GLint total = 0;
    GLint available = 0;
    gl->glGetIntegerv(kNvxTotalAvailableMemoryKb, &total);
    gl->glGetIntegerv(kNvxCurrentAvailableMemoryKb, &available);
    report.total_memory_kb = total;
    report.free_memory_kb = available;
  } else if (context.hasExtension("GL_ATI_meminfo")) {
    GLint free_info[4] = {};
    gl->glGetIntegerv(kAtiTextureFreeMemory, free_info);
    report.free_memory_kb = free_info[0];
  }
  context.doneCurrent();
  return report;
}

int DecideVideoMode(const VideoDeviceReport& report) {
  if (!report.context) {
    Trace("Video device driver format mode is RGB24 mode");
    return kRgbMode;
  }
  Trace("Video device max texture size: %d", report.max_texture_size);
  if (report.total_memory_kb >= 0 || report.free_memory_kb >= 0) {
    Trace("Video device driver memory: total %lldKByte, free %lldKByte, ", report.total_memory_kb,
          report.free_memory_kb);
  } else {
    Trace("Video device driver memory: not reported by the driver");
  }
  if (report.total_memory_kb >= 0 && report.total_memory_kb * 1024 < kVideoMemoryThreshold) {
    Trace("Video device's memory is %lldMByte", report.total_memory_kb / 1024);
    Trace("Video device driver format mode is RGB24 mode");
    return kRgbMode;
  }
  if (!report.shaders || report.max_texture_size < kMinTextureSize) {
    Trace("Video device's support yuv format is %d", 0);
    Trace("Video device driver format mode is RGB24 mode");
    return kRgbMode;
  }
  Trace("Video device driver format mode is YUV mode");
  // The planar layout the YUV mode uploads: three single-channel textures.
  Trace("Video card support FourCC code :");
  Trace("YV12");
  return kYuvMode;
}

}  // namespace vistrel
