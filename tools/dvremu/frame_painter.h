// Draws the test pictures of the emulated cameras into YUV 4:2:0 planes: the
// channel number in large block digits on a background colour of its own, a
// bar that moves across the picture once per loop, and a clock text.
//
// Plain functions over caller-owned planes; any thread.
#pragma once

#include <cstdint>
#include <string_view>

namespace dvremu {

struct PlanarPicture {
  uint8_t* y;
  uint8_t* u;
  uint8_t* v;
  int y_pitch;
  int uv_pitch;
  int width;   // even
  int height;  // even
};

// Fills the picture of `channel` (1-based) at position `index` of a loop of
// `loop_length` pictures; `clock_text` (digits, ':' and '/') is drawn small.
void PaintChannelPicture(const PlanarPicture& picture, int channel, int index, int loop_length,
                         std::string_view clock_text);

// Draws `text` with the block font, each font dot a square of `scale` pixels,
// into the luma plane only.
void DrawBlockText(const PlanarPicture& picture, int left, int top, int scale, std::string_view text, uint8_t luma);

}  // namespace dvremu
