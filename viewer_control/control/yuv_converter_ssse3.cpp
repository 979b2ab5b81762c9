// The converter's SSSE3 build: byte shuffles lay the three planes out as
// blue, green, red triplets.
#include <tmmintrin.h>

#include "viewer_control/control/yuv_converter.h"
#include "viewer_control/control/yuv_converter_kernel.h"

namespace vistrel {
namespace {

// Byte k of output register r takes pixel (16r + k) / 3 from the plane of
// channel (16r + k) % 3 (blue, green, red); other bytes are zeroed.
struct ShuffleMasks {
  alignas(16) int8_t bytes[3][3][16];
};

constexpr ShuffleMasks MakeMasks() {
  ShuffleMasks masks{};
  for (int reg = 0; reg < 3; ++reg) {
    for (int channel = 0; channel < 3; ++channel) {
      for (int k = 0; k < 16; ++k) {
        const int n = 16 * reg + k;
        masks.bytes[reg][channel][k] = static_cast<int8_t>(n % 3 == channel ? n / 3 : -1);
      }
    }
  }
  return masks;
}

constexpr ShuffleMasks kMasks = MakeMasks();

struct ShuffleStore {
  static void Write(__m128i b, __m128i g, __m128i r, uint8_t* out) {
    auto* dst = reinterpret_cast<__m128i*>(out);
    for (int reg = 0; reg < 3; ++reg) {
      const auto* m = reinterpret_cast<const __m128i*>(kMasks.bytes[reg]);
      const __m128i bytes =
          _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(b, _mm_load_si128(m)), _mm_shuffle_epi8(g, _mm_load_si128(m + 1))),
                       _mm_shuffle_epi8(r, _mm_load_si128(m + 2)));
      _mm_storeu_si128(dst + reg, bytes);
    }
  }
};

}  // namespace

void ConvertToBgr24Ssse3(const PlanarPicture& picture, uint8_t* out, int out_pitch) {
  kernel::ConvertPicture<ShuffleStore>(picture, out, out_pitch);
}

}  // namespace vistrel
