// The converter's SSSE3 build: 16 pixels a step, even and odd pixels worked
// out apart with multiply-adds as in the AVX2 build (see there why the sums
// are those of the reference), byte shuffles laying them out as blue,
// green, red triplets.
#include <tmmintrin.h>

#include <cstddef>

#include "viewer_control/control/yuv_converter.h"
#include "viewer_control/control/yuv_converter_kernel.h"

namespace vistrel {
namespace {

// Byte k of output register r takes pixel (16r + k) / 3 of channel
// (16r + k) % 3 from registers holding 8 even then 8 odd pixels.
struct ShuffleMasks {
  alignas(16) int8_t bytes[3][3][16];
};

constexpr ShuffleMasks MakeMasks() {
  ShuffleMasks masks{};
  for (int reg = 0; reg < 3; ++reg) {
    for (int channel = 0; channel < 3; ++channel) {
      for (int k = 0; k < 16; ++k) {
        const int n = 16 * reg + k;
        const int pixel = n / 3;
        const int source = pixel % 2 == 0 ? pixel / 2 : 8 + pixel / 2;
        masks.bytes[reg][channel][k] = static_cast<int8_t>(n % 3 == channel ? source : -1);
      }
    }
  }
  return masks;
}

constexpr ShuffleMasks kMasks = MakeMasks();

inline __m128i Pack(__m128i even, __m128i odd) {
  return _mm_packus_epi16(_mm_srai_epi16(even, 6), _mm_srai_epi16(odd, 6));
}

struct Chroma {
  __m128i red, green, blue;  // one lane per chroma sample
};

inline Chroma ChromaTerms(const uint8_t* u, const uint8_t* v) {
  const __m128i u8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(u));
  const __m128i v8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(v));
  const __m128i uv = _mm_unpacklo_epi8(u8, v8);
  Chroma c;
  c.red = _mm_add_epi16(_mm_maddubs_epi16(uv, _mm_set1_epi16(102 << 8)), _mm_set1_epi16(-14240));
  c.green = _mm_add_epi16(_mm_maddubs_epi16(uv, _mm_set1_epi16(52 << 8 | 25)), _mm_set1_epi16(-8672));
  c.blue = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(u8, _mm_setzero_si128()), _mm_set1_epi16(129)),
                         _mm_set1_epi16(-17696));
  return c;
}

inline void SixteenPixels(const uint8_t* y, const Chroma& c, uint8_t* out) {
  const __m128i y8 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y));
  const __m128i even = _mm_maddubs_epi16(y8, _mm_set1_epi16(74));
  const __m128i odd = _mm_maddubs_epi16(y8, _mm_set1_epi16(74 << 8));
  const __m128i r = Pack(_mm_adds_epi16(even, c.red), _mm_adds_epi16(odd, c.red));
  const __m128i g = Pack(_mm_sub_epi16(even, c.green), _mm_sub_epi16(odd, c.green));
  const __m128i b = Pack(_mm_adds_epi16(even, c.blue), _mm_adds_epi16(odd, c.blue));
  auto* dst = reinterpret_cast<__m128i*>(out);
  for (int reg = 0; reg < 3; ++reg) {
    const auto* m = reinterpret_cast<const __m128i*>(kMasks.bytes[reg]);
    const __m128i bytes =
        _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(b, _mm_load_si128(m)), _mm_shuffle_epi8(g, _mm_load_si128(m + 1))),
                     _mm_shuffle_epi8(r, _mm_load_si128(m + 2)));
    _mm_storeu_si128(dst + reg, bytes);
  }
}

}  // namespace

void ConvertToBgr24Ssse3(const PlanarPicture& p, uint8_t* out, int out_pitch) {
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
      const Chroma c = ChromaTerms(u + x / 2, v + x / 2);
      SixteenPixels(y0 + x, c, out0 + x * 3);
      if (pair) SixteenPixels(y1 + x, c, out1 + x * 3);
    }
    kernel::ConvertRowTail(p, row, x, p.width, out0);
    if (pair) kernel::ConvertRowTail(p, row + 1, x, p.width, out1);
  }
}

}  // namespace vistrel
