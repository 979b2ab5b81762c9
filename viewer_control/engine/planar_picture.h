// A decoded picture as the decoder hands it on, and the colour values applied
// to pictures after decoding. No FFmpeg types here: the renderer and the
// command-line tools see only these.
#pragma once

#include <cstdint>

namespace vistrel {

// Planar YUV 4:2:0: a full-size Y plane and two half-size chroma planes. The
// planes belong to the decoder; how long they stay valid is said where they
// are handed out (IFrameSink::DrawPicture).
struct PlanarPicture {
  const uint8_t* y = nullptr;
  const uint8_t* u = nullptr;
  const uint8_t* v = nullptr;
  int y_pitch = 0;
  int uv_pitch = 0;  // pitch of both chroma planes
  int width = 0;
  int height = 0;
  // The channel's post-processing flags (bit 0 deblock Y, bit 1 deblock UV,
  // bit 2 dering Y, bit 3 dering UV); the renderer applies them.
  int post_processing = 0;
};

// Colour values of a decoder channel; each integer runs from -128 to 127.
struct ColourSettings {
  double gamma = 1.0;
  int contrast = 0;
  int brightness = 0;
  int saturation = 0;
  int tint = 0;

  bool neutral() const { return gamma == 1.0 && contrast == 0 && brightness == 0 && saturation == 0 && tint == 0; }
};

}  // namespace vistrel
