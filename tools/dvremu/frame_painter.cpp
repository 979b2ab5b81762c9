#include "tools/dvremu/frame_painter.h"

#include <algorithm>
#include <array>

namespace dvremu {
namespace {

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;

// Rows of a 5x7 font, bit 4 = leftmost dot.
using Glyph = std::array<uint8_t, kGlyphHeight>;

Glyph GlyphOf(char c) {
  switch (c) {
    case '0':
      return {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E};
    case '1':
      return {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E};
    case '2':
      return {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F};
    case '3':
      return {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E};
    case '4':
      return {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02};
    case '5':
      return {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E};
    case '6':
      return {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E};
    case '7':
      return {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08};
    case '8':
      return {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E};
    case '9':
      return {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C};
    case ':':
      return {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00};
    case '/':
      return {0x01, 0x01, 0x02, 0x04, 0x08, 0x10, 0x10};
    case 'C':
      return {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E};
    case 'H':
      return {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11};
    default:
      return {};
  }
}

void FillRect(uint8_t* plane, int pitch, int plane_width, int plane_height, int left, int top, int width, int height,
              uint8_t value) {
  const int x0 = std::clamp(left, 0, plane_width);
  const int x1 = std::clamp(left + width, 0, plane_width);
  const int y0 = std::clamp(top, 0, plane_height);
  const int y1 = std::clamp(top + height, 0, plane_height);
  for (int y = y0; y < y1; ++y) std::fill(plane + y * pitch + x0, plane + y * pitch + x1, value);
}

// A background colour per channel, spread round the colour wheel so that no
// two of the sixteen channels look alike.
void ChannelColour(int channel, uint8_t* luma, uint8_t* u, uint8_t* v) {
  static constexpr std::array<std::array<uint8_t, 3>, 16> kColours = {{
      {60, 110, 150},
      {70, 150, 100},
      {80, 100, 90},
      {90, 160, 160},
      {50, 140, 120},
      {100, 90, 140},
      {65, 120, 80},
      {85, 170, 120},
      {55, 100, 170},
      {95, 130, 100},
      {75, 160, 90},
      {105, 110, 160},
      {45, 150, 150},
      {110, 100, 110},
      {70, 90, 130},
      {90, 140, 70},
  }};
  const auto& colour = kColours[static_cast<size_t>((channel - 1) & 15)];
  *luma = colour[0];
  *u = colour[1];
  *v = colour[2];
}

}  // namespace

void DrawBlockText(const PlanarPicture& picture, int left, int top, int scale, std::string_view text, uint8_t luma) {
  int x = left;
  for (char c : text) {
    const Glyph glyph = GlyphOf(c);
    for (int row = 0; row < kGlyphHeight; ++row) {
      for (int col = 0; col < kGlyphWidth; ++col) {
        if (glyph[static_cast<size_t>(row)] & (0x10 >> col)) {
          FillRect(picture.y, picture.y_pitch, picture.width, picture.height, x + col * scale, top + row * scale, scale,
                   scale, luma);
        }
      }
    }
    x += (kGlyphWidth + 1) * scale;
  }
}

void PaintChannelPicture(const PlanarPicture& picture, int channel, int index, int loop_length,
                         std::string_view clock_text) {
  uint8_t luma = 0, u = 0, v = 0;
  ChannelColour(channel, &luma, &u, &v);
  const int chroma_width = picture.width / 2;
  const int chroma_height = picture.height / 2;
  FillRect(picture.y, picture.y_pitch, picture.width, picture.height, 0, 0, picture.width, picture.height, luma);
  FillRect(picture.u, picture.uv_pitch, chroma_width, chroma_height, 0, 0, chroma_width, chroma_height, u);
  FillRect(picture.v, picture.uv_pitch, chroma_width, chroma_height, 0, 0, chroma_width, chroma_height, v);

  // The channel number, two digits, as large as half the picture height.
  const int scale = std::max(2, picture.height / 2 / kGlyphHeight);
  char digits[3] = {static_cast<char>('0' + channel / 10 % 10), static_cast<char>('0' + channel % 10), 0};
  const int text_width = 2 * (kGlyphWidth + 1) * scale;
  DrawBlockText(picture, (picture.width - text_width) / 2, picture.height / 6, scale, digits, 235);
  DrawBlockText(picture, 8, 8, std::max(1, scale / 6), "CH", 235);

  // The moving bar crosses the picture once per loop.
  const int bar_width = std::max(8, picture.width / 24);
  const int travel = picture.width - bar_width;
  const int bar_left = loop_length > 1 ? travel * index / (loop_length - 1) : 0;
  FillRect(picture.y, picture.y_pitch, picture.width, picture.height, bar_left, picture.height * 3 / 4, bar_width,
           picture.height / 8, 16);

  // Bottom right: the client writes the channel caption at the bottom left.
  const int clock_scale = std::max(1, scale / 5);
  const int clock_width = static_cast<int>(clock_text.size()) * (kGlyphWidth + 1) * clock_scale;
  DrawBlockText(picture, std::max(0, picture.width - clock_width - 8), picture.height - 8 * clock_scale - 4,
                clock_scale, clock_text, 200);
}

}  // namespace dvremu
