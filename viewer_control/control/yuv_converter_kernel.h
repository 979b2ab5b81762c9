// The vector kernel of the converter, shared by its SSE2 and SSSE3 builds,
// which differ only in how sixteen pixels are stored as 48 bytes.
//
// Within the byte ranges of the inputs only the blue sum can leave 16 bits
// (74*239 + 129*127 = 34069), so the green terms can be summed per chroma
// sample first without changing a single result; red and blue add with
// saturation as the formulas require.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "viewer_control/engine/planar_picture.h"

namespace vistrel::kernel {

// Pixels [from, to) of one row, the reference arithmetic.
void ConvertRowTail(const PlanarPicture& p, int row, int from, int to, uint8_t* out_row);
// The same as B G R 255 bytes.
void ConvertRowTailBgra(const PlanarPicture& p, int row, int from, int to, uint8_t* out_row);

// Internal linkage: each build of the kernel keeps its own instructions.
namespace {

struct Chroma {
  __m128i red, green, blue;  // per pixel (each chroma term twice)
};

inline void ChromaTerms(const uint8_t* u, const uint8_t* v, Chroma* lo, Chroma* hi) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i cb =
      _mm_sub_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(u)), zero), _mm_set1_epi16(128));
  const __m128i cr =
      _mm_sub_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(v)), zero), _mm_set1_epi16(128));
  const __m128i red = _mm_mullo_epi16(cr, _mm_set1_epi16(102));
  const __m128i green = _mm_add_epi16(_mm_mullo_epi16(cb, _mm_set1_epi16(25)), _mm_mullo_epi16(cr, _mm_set1_epi16(52)));
  const __m128i blue = _mm_mullo_epi16(cb, _mm_set1_epi16(129));
  *lo = {_mm_unpacklo_epi16(red, red), _mm_unpacklo_epi16(green, green), _mm_unpacklo_epi16(blue, blue)};
  *hi = {_mm_unpackhi_epi16(red, red), _mm_unpackhi_epi16(green, green), _mm_unpackhi_epi16(blue, blue)};
}

template <typename Store>
inline void SixteenPixels(const uint8_t* y, const Chroma& lo, const Chroma& hi, uint8_t* out) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i y8 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y));
  const __m128i l0 =
      _mm_mullo_epi16(_mm_sub_epi16(_mm_unpacklo_epi8(y8, zero), _mm_set1_epi16(16)), _mm_set1_epi16(74));
  const __m128i l1 =
      _mm_mullo_epi16(_mm_sub_epi16(_mm_unpackhi_epi8(y8, zero), _mm_set1_epi16(16)), _mm_set1_epi16(74));
  const __m128i r =
      _mm_packus_epi16(_mm_srai_epi16(_mm_adds_epi16(l0, lo.red), 6), _mm_srai_epi16(_mm_adds_epi16(l1, hi.red), 6));
  const __m128i g = _mm_packus_epi16(_mm_srai_epi16(_mm_subs_epi16(l0, lo.green), 6),
                                     _mm_srai_epi16(_mm_subs_epi16(l1, hi.green), 6));
  const __m128i b =
      _mm_packus_epi16(_mm_srai_epi16(_mm_adds_epi16(l0, lo.blue), 6), _mm_srai_epi16(_mm_adds_epi16(l1, hi.blue), 6));
  Store::Write(b, g, r, out);
}

// Two luma rows per chroma row: the chroma terms are worked out once for both.
template <typename Store>
void ConvertPicture(const PlanarPicture& p, uint8_t* out, int out_pitch) {
  for (int row = 0; row < p.height; row += 2) {
    const bool pair = row + 1 < p.height;
    const uint8_t* y0 = p.y + static_cast<ptrdiff_t>(row) * p.y_pitch;
    const uint8_t* y1 = y0 + p.y_pitch;
    const uint8_t* u = p.u + static_cast<ptrdiff_t>(row / 2) * p.uv_pitch;
    const uint8_t* v = p.v + static_cast<ptrdiff_t>(row / 2) * p.uv_pitch;
    uint8_t* out0 = out + static_cast<ptrdiff_t>(row) * out_pitch;
    uint8_t* out1 = out0 + out_pitch;
    int x = 0;
    for (; x + 16 <= p.width; x += 16) {
      Chroma lo, hi;
      ChromaTerms(u + x / 2, v + x / 2, &lo, &hi);
      SixteenPixels<Store>(y0 + x, lo, hi, out0 + x * 3);
      if (pair) SixteenPixels<Store>(y1 + x, lo, hi, out1 + x * 3);
    }
    ConvertRowTail(p, row, x, p.width, out0);
    if (pair) ConvertRowTail(p, row + 1, x, p.width, out1);
  }
}

}  // namespace
}  // namespace vistrel::kernel
