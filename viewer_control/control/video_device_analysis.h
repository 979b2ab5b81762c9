// Decides once, when the control is created, whether pictures go to the
// screen in the YUV mode (planar textures converted and scaled by OpenGL) or
// in the RGB mode (software conversion), and writes what it found to the
// debug trace: the GL driver, its texture limit, its memory where the driver
// reports it, and the formats the YUV mode uploads.
//
// Threads: user-interface thread (it makes a GL context on an offscreen
// surface, which Qt allows only there).
#pragma once

namespace vistrel {

inline constexpr int kRgbMode = 0;
inline constexpr int kYuvMode = 1;

// Below this much local video memory (17 MB) the YUV mode is not used.
inline constexpr long long kVideoMemoryThreshold = 0x1100000;
// The largest picture a DVR sends is 704 x 576.
inline constexpr int kMinTextureSize = 1024;

// What the analysis needs from the driver, read from a GL context.
struct VideoDeviceReport {
  bool context = false;  // a GL context could be made current
  bool shaders = false;  // programmable fragment shading
  int max_texture_size = 0;
  long long total_memory_kb = -1;  // -1 where the driver does not say
  long long free_memory_kb = -1;
};

// Reads the report from the platform's GL, or an empty report when there is
// none. The environment variable VISTREL_VIDEO_MODE=rgb skips the probe.
VideoDeviceReport ProbeVideoDevice();

// The decision and its trace lines, from a report.
int DecideVideoMode(const VideoDeviceReport& report);

inline int AnalyseVideoDevice() { return DecideVideoMode(ProbeVideoDevice()); }

}  // namespace vistrel
