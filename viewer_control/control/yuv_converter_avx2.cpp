// The converter's AVX2 build: 32 pixels a step. Even and odd pixels share a
// chroma sample, so they are worked out apart (one multiply-add each for the
// luma, none duplicated for the chroma) and laid out by the byte shuffles.
//
// The luma offset is folded into the chroma terms: 74*Y plus the shifted
// term is the same sum as 74*(Y-16) plus the term, and within the byte
// ranges only the final blue sum can leave 16 bits, where it saturates as
// the reference does.
#include <immintrin.h>

#include <array>
#include <cstddef>
#include <cstring>
#include <utility>

#include "viewer_control/control/yuv_converter.h"
#include "viewer_control/control/yuv_converter_kernel.h"

namespace vistrel {
namespace {

// For 16 pixels held as 8 even then 8 odd bytes: byte k of output register r
// takes pixel (16r + k) / 3 of channel (16r + k) % 3.
struct ShuffleMasks {
  alignas(32) int8_t bytes[3][3][32];
};

constexpr ShuffleMasks MakeMasks() {
  ShuffleMasks masks{};
  for (int reg = 0; reg < 3; ++reg) {
    for (int channel = 0; channel < 3; ++channel) {
      for (int k = 0; k < 32; ++k) {
        const int n = 16 * reg + k % 16;
        const int pixel = n / 3;
        const int source = pixel % 2 == 0 ? pixel / 2 : 8 + pixel / 2;
        masks.bytes[reg][channel][k] = static_cast<int8_t>(n % 3 == channel ? source : -1);
      }
    }
  }
  return masks;
}

constexpr ShuffleMasks kMasks = MakeMasks();

inline __m256i Pack(__m256i even, __m256i odd) {
  return _mm256_packus_epi16(_mm256_srai_epi16(even, 6), _mm256_srai_epi16(odd, 6));
}

inline __m128i Load16(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline __m256i Load32(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }

struct Chroma {
  __m256i red, green, blue;  // one lane per chroma sample
};

// Word j holds sample j's Cb in its low byte and Cr in its high one.
inline Chroma ChromaFromPairs(__m256i uv) {
  Chroma c;
  c.red = _mm256_add_epi16(_mm256_maddubs_epi16(uv, _mm256_set1_epi16(102 << 8)), _mm256_set1_epi16(-14240));
  c.green = _mm256_add_epi16(_mm256_maddubs_epi16(uv, _mm256_set1_epi16(52 << 8 | 25)), _mm256_set1_epi16(-8672));
  const __m256i cb = _mm256_and_si256(uv, _mm256_set1_epi16(0x00FF));
  c.blue = _mm256_add_epi16(_mm256_mullo_epi16(cb, _mm256_set1_epi16(129)), _mm256_set1_epi16(-17696));
  return c;
}

inline Chroma ChromaTerms(__m128i u8, __m128i v8) {
  return ChromaFromPairs(
      _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_unpacklo_epi8(u8, v8)), _mm_unpackhi_epi8(u8, v8), 1));
}

struct Bgr24Store {
  static constexpr int kBytesPerPixel = 3;
  static void Write(__m256i b, __m256i g, __m256i r, uint8_t* out);
  static void Tail(const PlanarPicture& p, int row, int from, uint8_t* out_row) {
    kernel::ConvertRowTail(p, row, from, p.width, out_row);
  }
};

// 32 pixels in order (0-15 in the low lane) as B G R A dwords; the first 16
// only when `kPixels` is 16.
template <int kPixels = 32>
inline void WriteBgraInOrder(__m256i b, __m256i g, __m256i r, uint8_t* out) {
  const __m256i alpha = _mm256_set1_epi8(-1);
  const __m256i bg_lo = _mm256_unpacklo_epi8(b, g);
  const __m256i bg_hi = _mm256_unpackhi_epi8(b, g);
  const __m256i ra_lo = _mm256_unpacklo_epi8(r, alpha);
  const __m256i ra_hi = _mm256_unpackhi_epi8(r, alpha);
  const __m256i p0 = _mm256_unpacklo_epi16(bg_lo, ra_lo);  // pixels 0-3 | 16-19
  const __m256i p4 = _mm256_unpackhi_epi16(bg_lo, ra_lo);
  const __m256i p8 = _mm256_unpacklo_epi16(bg_hi, ra_hi);
  const __m256i p12 = _mm256_unpackhi_epi16(bg_hi, ra_hi);
  auto* dst = reinterpret_cast<__m256i*>(out);
  _mm256_storeu_si256(dst, _mm256_permute2x128_si256(p0, p4, 0x20));
  _mm256_storeu_si256(dst + 1, _mm256_permute2x128_si256(p8, p12, 0x20));
  if constexpr (kPixels == 16) return;
  _mm256_storeu_si256(dst + 2, _mm256_permute2x128_si256(p0, p4, 0x31));
  _mm256_storeu_si256(dst + 3, _mm256_permute2x128_si256(p8, p12, 0x31));
}

// Evens then odds back to pixel order, then B G R A dwords.
struct BgraStore {
  static constexpr int kBytesPerPixel = 4;
  static void Write(__m256i b, __m256i g, __m256i r, uint8_t* out) {
    const __m256i order = _mm256_setr_epi8(0, 8, 1, 9, 2, 10, 3, 11, 4, 12, 5, 13, 6, 14, 7, 15, 0, 8, 1, 9, 2, 10, 3,
                                           11, 4, 12, 5, 13, 6, 14, 7, 15);
    WriteBgraInOrder(_mm256_shuffle_epi8(b, order), _mm256_shuffle_epi8(g, order), _mm256_shuffle_epi8(r, order), out);
  }
  static void Tail(const PlanarPicture& p, int row, int from, uint8_t* out_row) {
    kernel::ConvertRowTailBgra(p, row, from, p.width, out_row);
  }
};

// The same pixels held as 0-15 in the even lanes and 16-31 in the odd ones:
// each 128-bit lane then holds quarters 0 and 2, or 1 and 3, of the row.
template <int kPixels = 32>
struct HalvesBgraStore {
  static void Write(__m256i b, __m256i g, __m256i r, uint8_t* out) {
    constexpr int kQuarters = 0xD8;  // 0, 2, 1, 3
    WriteBgraInOrder<kPixels>(_mm256_permute4x64_epi64(b, kQuarters), _mm256_permute4x64_epi64(g, kQuarters),
                              _mm256_permute4x64_epi64(r, kQuarters), out);
  }
};

// Even pixels take the terms `ce`, odd ones `co`: the same ones for 4:2:0
// rows, each pixel's own for gathered ones.
template <typename Store>
inline void ThirtyTwoPixels(__m256i y8, const Chroma& ce, const Chroma& co, uint8_t* out) {
  const __m256i even = _mm256_maddubs_epi16(y8, _mm256_set1_epi16(74));
  const __m256i odd = _mm256_maddubs_epi16(y8, _mm256_set1_epi16(74 << 8));
  const __m256i r = Pack(_mm256_adds_epi16(even, ce.red), _mm256_adds_epi16(odd, co.red));
  const __m256i g = Pack(_mm256_sub_epi16(even, ce.green), _mm256_sub_epi16(odd, co.green));
  const __m256i b = Pack(_mm256_adds_epi16(even, ce.blue), _mm256_adds_epi16(odd, co.blue));
  Store::Write(b, g, r, out);
}

void Bgr24Store::Write(__m256i b, __m256i g, __m256i r, uint8_t* out) {
  __m256i regs[3];
  for (int reg = 0; reg < 3; ++reg) {
    const auto* m = reinterpret_cast<const __m256i*>(kMasks.bytes[reg]);
    regs[reg] = _mm256_or_si256(
        _mm256_or_si256(_mm256_shuffle_epi8(b, _mm256_load_si256(m)), _mm256_shuffle_epi8(g, _mm256_load_si256(m + 1))),
        _mm256_shuffle_epi8(r, _mm256_load_si256(m + 2)));
  }
  // Each 128-bit lane made 48 bytes: lane 0 of the three, then lane 1.
  auto* dst = reinterpret_cast<__m256i*>(out);
  _mm256_storeu_si256(dst, _mm256_permute2x128_si256(regs[0], regs[1], 0x20));
  _mm256_storeu_si256(dst + 1, _mm256_permute2x128_si256(regs[2], regs[0], 0x30));
  _mm256_storeu_si256(dst + 2, _mm256_permute2x128_si256(regs[1], regs[2], 0x31));
}

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
    for (; x + 32 <= p.width; x += 32) {
      const Chroma c = ChromaTerms(Load16(u + x / 2), Load16(v + x / 2));
      ThirtyTwoPixels<Store>(Load32(y0 + x), c, c, out0 + x * Store::kBytesPerPixel);
      if (pair) ThirtyTwoPixels<Store>(Load32(y1 + x), c, c, out1 + x * Store::kBytesPerPixel);
    }
    Store::Tail(p, row, x, out0);
    if (pair) Store::Tail(p, row + 1, x, out1);
  }
}

}  // namespace

void ConvertToBgr24Avx2(const PlanarPicture& picture, uint8_t* out, int out_pitch) {
  ConvertPicture<Bgr24Store>(picture, out, out_pitch);
}

void ConvertToBgraAvx2(const PlanarPicture& picture, uint8_t* out, int out_pitch) {
  ConvertPicture<BgraStore>(picture, out, out_pitch);
}

namespace {

// One step of gathered pixels: the luma in order, and the chroma of the even
// and of the odd pixels apart, each half in ChromaTerms' order. Bytes are
// inserted straight from memory: no stores and reloads.
struct Gathered {
  __m128i y[2], u[2], v[2];
};

template <int k>
inline void GatherPair(const uint8_t* y, const uint8_t* u, const uint8_t* v, const int* columns, Gathered* g) {
  const auto even = static_cast<unsigned>(columns[2 * k]);
  const auto odd = static_cast<unsigned>(columns[2 * k + 1]);
  constexpr int half = k / 8;
  constexpr int at = 2 * k % 16;
  g->y[half] = _mm_insert_epi8(g->y[half], y[even], at);
  g->y[half] = _mm_insert_epi8(g->y[half], y[odd], at + 1);
  g->u[0] = _mm_insert_epi8(g->u[0], u[even / 2], k);
  g->u[1] = _mm_insert_epi8(g->u[1], u[odd / 2], k);
  g->v[0] = _mm_insert_epi8(g->v[0], v[even / 2], k);
  g->v[1] = _mm_insert_epi8(g->v[1], v[odd / 2], k);
}

template <int... k>
inline void GatherStep(const uint8_t* y, const uint8_t* u, const uint8_t* v, const int* columns, uint8_t* out,
                       std::integer_sequence<int, k...>) {
  const __m128i zero = _mm_setzero_si128();
  Gathered g{{zero, zero}, {zero, zero}, {zero, zero}};
  (GatherPair<k>(y, u, v, columns, &g), ...);
  ThirtyTwoPixels<BgraStore>(_mm256_set_m128i(g.y[1], g.y[0]), ChromaTerms(g.u[0], g.v[0]), ChromaTerms(g.u[1], g.v[1]),
                             out);
}

}  // namespace

void ConvertLineToCellAvx2(const PlanarPicture& picture, int line, const int* columns, int count, uint32_t* out) {
  const uint8_t* y = picture.y + static_cast<ptrdiff_t>(line) * picture.y_pitch;
  const uint8_t* u = picture.u + static_cast<ptrdiff_t>(line / 2) * picture.uv_pitch;
  const uint8_t* v = picture.v + static_cast<ptrdiff_t>(line / 2) * picture.uv_pitch;
  constexpr auto kPairs = std::make_integer_sequence<int, 16>();
  int x = 0;
  for (; x + 32 <= count; x += 32) GatherStep(y, u, v, columns + x, reinterpret_cast<uint8_t*>(out + x), kPairs);
  if (x == count) return;
  // A short last step: padded with column 0, only its own pixels copied out.
  int padded[32] = {};
  std::memcpy(padded, columns + x, static_cast<size_t>(count - x) * sizeof(int));
  alignas(32) uint32_t last[32];
  GatherStep(y, u, v, padded, reinterpret_cast<uint8_t*>(last), kPairs);
  std::memcpy(out + x, last, static_cast<size_t>(count - x) * 4);
}

namespace {

// Two 16-byte windows of a row: for pixels 0-15 in the low lane, 16-31 in the high one.
inline __m256i Windows(const uint8_t* row, const int* starts) {
  return _mm256_inserti128_si256(_mm256_castsi128_si256(Load16(row + starts[0])), Load16(row + starts[1]), 1);
}

inline __m256i Pick(__m256i windows, const ShuffledColumns::Mask* mask) {
  return _mm256_shuffle_epi8(windows, _mm256_load_si256(reinterpret_cast<const __m256i*>(mask)));
}

// kLuma and kChroma windows per step, or (when 0) as many as the plan holds:
// fixed counts let the compiler unroll the window loops.
template <bool kSharedChroma, int kLuma, int kChroma>
void ConvertShuffledSteps(const PlanarPicture& picture, int line, const ShuffledColumns& plan, uint32_t* out) {
  const uint8_t* y = picture.y + static_cast<ptrdiff_t>(line) * picture.y_pitch;
  const uint8_t* u = picture.u + static_cast<ptrdiff_t>(line / 2) * picture.uv_pitch;
  const uint8_t* v = picture.v + static_cast<ptrdiff_t>(line / 2) * picture.uv_pitch;
  const int luma_windows = kLuma > 0 ? kLuma : plan.luma_windows;
  const int chroma_windows = kChroma > 0 ? kChroma : plan.chroma_windows;
  const int* start = plan.starts.data();
  const int* const end = start + plan.starts.size();
  const ShuffledColumns::Mask* mask = plan.masks.data();
  while (start != end) {
    auto* step_out = reinterpret_cast<uint8_t*>(out + *start++);
    __m256i y8 = _mm256_setzero_si256();
    for (int k = 0; k < luma_windows; ++k) y8 = _mm256_or_si256(y8, Pick(Windows(y, start + 2 * k), mask + k));
    start += 2 * luma_windows;
    mask += luma_windows;
    __m256i even = _mm256_setzero_si256(), odd = _mm256_setzero_si256();
    for (int k = 0; k < chroma_windows; ++k) {
      const __m256i cb = Windows(u, start + 2 * k), cr = Windows(v, start + 2 * k);
      const ShuffledColumns::Mask* m = mask + (kSharedChroma ? 2 : 4) * k;
      even = _mm256_or_si256(even, _mm256_or_si256(Pick(cb, m), Pick(cr, m + 1)));
      if constexpr (!kSharedChroma) odd = _mm256_or_si256(odd, _mm256_or_si256(Pick(cb, m + 2), Pick(cr, m + 3)));
    }
    start += 2 * chroma_windows;
    mask += (kSharedChroma ? 2 : 4) * chroma_windows;
    const Chroma ce = ChromaFromPairs(even);
    ThirtyTwoPixels<BgraStore>(y8, ce, kSharedChroma ? ce : ChromaFromPairs(odd), step_out);
  }
}

using ShuffledSteps = void (*)(const PlanarPicture&, int, const ShuffledColumns&, uint32_t*);

// The counts scaled cells need, from upscales (one window of each) to
// downscales by about five; beyond them the plan's own counts.
constexpr int kUnrolledLuma = 6, kUnrolledChroma = 3;

template <int... n>
constexpr auto UnrolledSteps(std::integer_sequence<int, n...>) {
  return std::array<ShuffledSteps, sizeof...(n)>{
      ConvertShuffledSteps<false, n / kUnrolledChroma + 1, n % kUnrolledChroma + 1>...};
}

constexpr auto kUnrolledSteps = UnrolledSteps(std::make_integer_sequence<int, kUnrolledLuma * kUnrolledChroma>());

ShuffledSteps ChooseShuffledSteps(const ShuffledColumns& plan) {
  // Chroma shared by pixel pairs means at most one column per pixel: one
  // window of each.
  if (plan.shared_chroma) {
    return plan.luma_windows == 1 && plan.chroma_windows == 1 ? ConvertShuffledSteps<true, 1, 1>
                                                              : ConvertShuffledSteps<true, 0, 0>;
  }
  if (plan.luma_windows <= kUnrolledLuma && plan.chroma_windows <= kUnrolledChroma) {
    return kUnrolledSteps[static_cast<size_t>((plan.luma_windows - 1) * kUnrolledChroma + plan.chroma_windows - 1)];
  }
  return ConvertShuffledSteps<false, 0, 0>;
}

}  // namespace

void ConvertShuffledColumnsAvx2(const PlanarPicture& picture, int line, const ShuffledColumns& plan, uint32_t* out) {
  ChooseShuffledSteps(plan)(picture, line, plan, out);
}

namespace {

// 32 kept pixels from the even luma bytes at `y` (64 bytes) and 32 chroma
// samples at `u` and `v`. Word j takes pixels j and j + 16: their chroma
// samples are then two plain 16-byte loads, no deinterleaving.
inline void EvenColumnsStep(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* out) {
  const __m256i first = _mm256_and_si256(Load32(y), _mm256_set1_epi16(0x00FF));
  const __m256i second = _mm256_slli_epi16(Load32(y + 32), 8);
  ThirtyTwoPixels<HalvesBgraStore<>>(_mm256_or_si256(first, second), ChromaTerms(Load16(u), Load16(v)),
                                     ChromaTerms(Load16(u + 16), Load16(v + 16)), out);
}

// Pixels 0-15 of such a step alone: 32 luma bytes and 16 chroma samples read,
// 16 pixels written; the other half is worked out from zeros and dropped.
inline void EvenColumnsHalfStep(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* out) {
  const Chroma c = ChromaTerms(Load16(u), Load16(v));
  ThirtyTwoPixels<HalvesBgraStore<16>>(_mm256_and_si256(Load32(y), _mm256_set1_epi16(0x00FF)), c, c, out);
}

// columns[i] == columns[0] + 2 * i with columns[0] even, eight at a time.
bool EvenStride(const int* columns, int count) {
  const int first = columns[0];
  if (first % 2 != 0 || columns[count - 1] != first + 2 * (count - 1)) return false;
  __m256i expected = _mm256_add_epi32(_mm256_set1_epi32(first), _mm256_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14));
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i got = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(columns + i));
    if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(got, expected)) != -1) return false;
    expected = _mm256_add_epi32(expected, _mm256_set1_epi32(16));
  }
  for (; i < count; ++i) {
    if (columns[i] != first + 2 * i) return false;
  }
  return true;
}

}  // namespace

namespace {

// Inlined into the callers' loops, so that a cell's lines share the set-up.
__attribute__((always_inline)) inline void EverySecondColumnLine(const PlanarPicture& picture, int line, int first,
                                                                 int count, uint32_t* out) {
  const uint8_t* y = picture.y + static_cast<ptrdiff_t>(line) * picture.y_pitch + first;
  const uint8_t* u = picture.u + static_cast<ptrdiff_t>(line / 2) * picture.uv_pitch + first / 2;
  const uint8_t* v = picture.v + static_cast<ptrdiff_t>(line / 2) * picture.uv_pitch + first / 2;
  // A step reads 64 luma bytes, one past its last kept pixel: that byte must
  // lie within the row.
  const int luma_left = picture.width - first;
  int x = 0;
  for (; x + 32 <= count && 2 * x + 64 <= luma_left; x += 32) {
    EvenColumnsStep(y + 2 * x, u + x, v + x, reinterpret_cast<uint8_t*>(out + x));
  }
  if (x == count) return;
  // The last 16 or 32 pixels again, overlapping, where their reads stay in
  // the row: a cell of 176 ends with half a step.
  if (count - x <= 16 && count >= 16 && 2 * count <= luma_left) {
    EvenColumnsHalfStep(y + 2 * (count - 16), u + count - 16, v + count - 16,
                        reinterpret_cast<uint8_t*>(out + count - 16));
    return;
  }
  if (count >= 32 && 2 * count <= luma_left) {
    EvenColumnsStep(y + 2 * (count - 32), u + count - 32, v + count - 32, reinterpret_cast<uint8_t*>(out + count - 32));
    return;
  }
  // Else the rest (at most 32 pixels) from padded copies of the bytes it uses.
  const int rest = count - x;
  alignas(32) uint8_t y_rest[64] = {};
  alignas(16) uint8_t u_rest[32] = {};
  alignas(16) uint8_t v_rest[32] = {};
  std::memcpy(y_rest, y + 2 * x, static_cast<size_t>(2 * rest - 1));
  std::memcpy(u_rest, u + x, static_cast<size_t>(rest));
  std::memcpy(v_rest, v + x, static_cast<size_t>(rest));
  alignas(32) uint32_t last[32];
  EvenColumnsStep(y_rest, u_rest, v_rest, reinterpret_cast<uint8_t*>(last));
  std::memcpy(out + x, last, static_cast<size_t>(rest) * 4);
}

}  // namespace

void ConvertEverySecondColumnAvx2(const PlanarPicture& picture, int line, const int* columns, int count,
                                  uint32_t* out) {
  EverySecondColumnLine(picture, line, columns[0], count, out);
}

void ConvertEverySecondColumnLinesAvx2(const PlanarPicture& picture, const int* lines, int line_count, int first,
                                       int count, uint32_t* out, ptrdiff_t out_stride) {
  for (int i = 0; i < line_count; ++i, out += out_stride) {
    if (i > 0 && lines[i] == lines[i - 1]) {
      std::memcpy(out, out - out_stride, static_cast<size_t>(count) * sizeof(uint32_t));
    } else {
      EverySecondColumnLine(picture, lines[i], first, count, out);
    }
  }
}

bool EvenStrideAvx2(const int* columns, int count) { return count > 0 && EvenStride(columns, count); }

bool ConvertEvenColumnsToCellAvx2(const PlanarPicture& picture, int line, const int* columns, int count,
                                  uint32_t* out) {
  if (!EvenStrideAvx2(columns, count)) return false;
  ConvertEverySecondColumnAvx2(picture, line, columns, count, out);
  return true;
}

}  // namespace vistrel
