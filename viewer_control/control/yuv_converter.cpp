#include "viewer_control/control/yuv_converter.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "viewer_control/control/yuv_converter_kernel.h"

namespace vistrel {
namespace {

int16_t Saturate(int value) { return static_cast<int16_t>(std::clamp(value, -32768, 32767)); }

uint8_t ToByte(int16_t value) {
  // Arithmetic shift of a signed 16-bit lane, then unsigned saturation.
  return static_cast<uint8_t>(std::clamp(value >> 6, 0, 255));
}

void ConvertPixel(int y, int cb, int cr, uint8_t* bgr) {
  const int16_t luma = Saturate(74 * (y - 16));
  const int16_t r = Saturate(luma + Saturate(102 * (cr - 128)));
  const int16_t g = Saturate(Saturate(luma - Saturate(25 * (cb - 128))) - Saturate(52 * (cr - 128)));
  const int16_t b = Saturate(luma + Saturate(129 * (cb - 128)));
  bgr[0] = ToByte(b);
  bgr[1] = ToByte(g);
  bgr[2] = ToByte(r);
}

}  // namespace

namespace kernel {

void ConvertRowTail(const PlanarPicture& p, int row, int from, int to, uint8_t* out_row) {
  const uint8_t* y = p.y + static_cast<ptrdiff_t>(row) * p.y_pitch;
  const uint8_t* u = p.u + static_cast<ptrdiff_t>(row / 2) * p.uv_pitch;
  const uint8_t* v = p.v + static_cast<ptrdiff_t>(row / 2) * p.uv_pitch;
  for (int x = from; x < to; ++x) ConvertPixel(y[x], u[x / 2], v[x / 2], out_row + x * 3);
}

void ConvertRowTailBgra(const PlanarPicture& p, int row, int from, int to, uint8_t* out_row) {
  const uint8_t* y = p.y + static_cast<ptrdiff_t>(row) * p.y_pitch;
  const uint8_t* u = p.u + static_cast<ptrdiff_t>(row / 2) * p.uv_pitch;
  const uint8_t* v = p.v + static_cast<ptrdiff_t>(row / 2) * p.uv_pitch;
  for (int x = from; x < to; ++x) {
    ConvertPixel(y[x], u[x / 2], v[x / 2], out_row + x * 4);
    out_row[x * 4 + 3] = 255;
  }
}

}  // namespace kernel

namespace {

#if defined(__SSE2__)
// Four pixels as B G R 0 dwords to twelve bytes.
inline void StoreFour(__m128i bgr0, uint8_t* out) {
  const __m128i low3 = _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF);
  const __m128i a = _mm_and_si128(bgr0, low3);
  const __m128i bytes3to5 =
      _mm_set_epi32(0x0000FFFF, static_cast<int>(0xFF000000u), 0x0000FFFF, static_cast<int>(0xFF000000u));
  const __m128i pix1 = _mm_and_si128(_mm_srli_epi64(bgr0, 8), bytes3to5);
  const __m128i lanes = _mm_or_si128(a, pix1);
  // The upper lane's six bytes follow the lower lane's six.
  const __m128i low6 = _mm_set_epi32(0, 0, 0x0000FFFF, -1);
  const __m128i high6 = _mm_set_epi32(0, -1, static_cast<int>(0xFFFF0000u), 0);
  const __m128i packed = _mm_or_si128(_mm_and_si128(lanes, low6), _mm_and_si128(_mm_srli_si128(lanes, 2), high6));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), packed);
  const int last = _mm_cvtsi128_si32(_mm_srli_si128(packed, 8));
  __builtin_memcpy(out + 8, &last, 4);
}

struct MaskStore {
  static void Write(__m128i b, __m128i g, __m128i r, uint8_t* out) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i bg_lo = _mm_unpacklo_epi8(b, g);
    const __m128i bg_hi = _mm_unpackhi_epi8(b, g);
    const __m128i r0_lo = _mm_unpacklo_epi8(r, zero);
    const __m128i r0_hi = _mm_unpackhi_epi8(r, zero);
    StoreFour(_mm_unpacklo_epi16(bg_lo, r0_lo), out);
    StoreFour(_mm_unpackhi_epi16(bg_lo, r0_lo), out + 12);
    StoreFour(_mm_unpacklo_epi16(bg_hi, r0_hi), out + 24);
    StoreFour(_mm_unpackhi_epi16(bg_hi, r0_hi), out + 36);
  }
};
#endif

// Gathering costs about as much per kept pixel as converting about two and
// a half source pixels and picking one: below two fifths of the picture's
// width it costs fewer instructions (bench/render under callgrind).
bool GathersFirst(int count, int width) { return count * 5 < width * 2; }

// Beyond this many luma windows per step (downscales by about 12 or more)
// gathering costs fewer instructions (callgrind, 704-wide rows).
constexpr int kMaxShuffledWindows = 8;

}  // namespace

bool HaveSse2() {
#if defined(__SSE2__)
  return true;
#else
  return false;
#endif
}

void ConvertToBgr24Scalar(const PlanarPicture& picture, uint8_t* out, int out_pitch) {
  for (int row = 0; row < picture.height; ++row) {
    kernel::ConvertRowTail(picture, row, 0, picture.width, out + static_cast<ptrdiff_t>(row) * out_pitch);
  }
}

void ConvertToBgraScalar(const PlanarPicture& picture, uint8_t* out, int out_pitch) {
  for (int row = 0; row < picture.height; ++row) {
    kernel::ConvertRowTailBgra(picture, row, 0, picture.width, out + static_cast<ptrdiff_t>(row) * out_pitch);
  }
}

void ConvertToBgr24Sse2(const PlanarPicture& picture, uint8_t* out, int out_pitch) {
#if defined(__SSE2__)
  kernel::ConvertPicture<MaskStore>(picture, out, out_pitch);
#else
  ConvertToBgr24Scalar(picture, out, out_pitch);
#endif
}

bool HaveSsse3() {
#if defined(__x86_64__) || defined(__i386__)
  static const bool have = __builtin_cpu_supports("ssse3");
  return have;
#else
  return false;
#endif
}

bool HaveAvx2() {
#if defined(__x86_64__) || defined(__i386__)
  static const bool have = __builtin_cpu_supports("avx2");
  return have;
#else
  return false;
#endif
}

void ConvertToBgr24(const PlanarPicture& picture, uint8_t* out, int out_pitch) {
  if (HaveAvx2()) {
    ConvertToBgr24Avx2(picture, out, out_pitch);
  } else if (HaveSsse3()) {
    ConvertToBgr24Ssse3(picture, out, out_pitch);
  } else if (HaveSse2()) {
    ConvertToBgr24Sse2(picture, out, out_pitch);
  } else {
    ConvertToBgr24Scalar(picture, out, out_pitch);
  }
}

void ConvertToBgra(const PlanarPicture& picture, uint8_t* out, int out_pitch) {
  if (HaveAvx2()) {
    ConvertToBgraAvx2(picture, out, out_pitch);
    return;
  }
  // Without AVX2 the vector BGR24 rows are widened.
  thread_local std::vector<uint8_t> bgr;
  bgr.resize(static_cast<size_t>(picture.width) * 3);
  for (int row = 0; row < picture.height; ++row) {
    PlanarPicture line = picture;
    line.y = picture.y + static_cast<ptrdiff_t>(row) * picture.y_pitch;
    line.u = picture.u + static_cast<ptrdiff_t>(row / 2) * picture.uv_pitch;
    line.v = picture.v + static_cast<ptrdiff_t>(row / 2) * picture.uv_pitch;
    line.height = 1;
    ConvertToBgr24(line, bgr.data(), picture.width * 3);
    uint8_t* dst = out + static_cast<ptrdiff_t>(row) * out_pitch;
    for (int x = 0; x < picture.width; ++x) {
      std::memcpy(dst + x * 4, bgr.data() + x * 3, 3);
      dst[x * 4 + 3] = 255;
    }
  }
}

void ConvertLineToCellScalar(const PlanarPicture& picture, int line, const int* columns, int count, uint32_t* out) {
  const uint8_t* y = picture.y + static_cast<ptrdiff_t>(line) * picture.y_pitch;
  const uint8_t* u = picture.u + static_cast<ptrdiff_t>(line / 2) * picture.uv_pitch;
  const uint8_t* v = picture.v + static_cast<ptrdiff_t>(line / 2) * picture.uv_pitch;
  auto* bytes = reinterpret_cast<uint8_t*>(out);
  for (int i = 0; i < count; ++i) {
    const int column = columns[i];
    ConvertPixel(y[column], u[column / 2], v[column / 2], bytes + i * 4);
    bytes[i * 4 + 3] = 255;
  }
}

namespace {

// Converts the whole line and picks the kept pixels from it.
void ConvertWholeLineToCell(const PlanarPicture& picture, int line, const int* columns, int count, uint32_t* out) {
  PlanarPicture row = picture;
  row.y = picture.y + static_cast<ptrdiff_t>(line) * picture.y_pitch;
  row.u = picture.u + static_cast<ptrdiff_t>(line / 2) * picture.uv_pitch;
  row.v = picture.v + static_cast<ptrdiff_t>(line / 2) * picture.uv_pitch;
  row.height = 1;
  // A cell as wide as the picture takes the line as it is.
  if (count == picture.width && columns[0] == 0 && columns[count - 1] == count - 1) {
    ConvertToBgra(row, reinterpret_cast<uint8_t*>(out), count * 4);
    return;
  }
  // Kept per thread: nothing allocated per picture.
  thread_local std::vector<uint32_t> pixels;
  pixels.resize(static_cast<size_t>(picture.width));
  ConvertToBgra(row, reinterpret_cast<uint8_t*>(pixels.data()), picture.width * 4);
  // Four pixels a turn: the loop's own counting cost as much as the copy.
  const uint32_t* line_pixels = pixels.data();
  int x = 0;
  for (; x + 4 <= count; x += 4) {
    out[x] = line_pixels[columns[x]];
    out[x + 1] = line_pixels[columns[x + 1]];
    out[x + 2] = line_pixels[columns[x + 2]];
    out[x + 3] = line_pixels[columns[x + 3]];
  }
  for (; x < count; ++x) out[x] = line_pixels[columns[x]];
}

constexpr int kWindow = 16;

// Covers the nondecreasing `values` greedily with windows of kWindow bytes
// lying within [0, limit) (limit >= kWindow): their starts into `starts`, each
// value's window into `window_of`; returns how many.
int CoverWithWindows(const int* values, int limit, int (&starts)[16], int (&window_of)[16]) {
  int windows = 0;
  for (int i = 0; i < 16; ++i) {
    if (windows == 0 || values[i] >= starts[windows - 1] + kWindow) {
      starts[windows++] = std::min(values[i], limit - kWindow);
    }
    window_of[i] = windows - 1;
  }
  return windows;
}

// Pixels 0-15 or 16-31 of one step: what each window holds.
struct HalfStep {
  const int* columns;
  int chroma[16];
  int luma_starts[16], luma_window[16], chroma_starts[16], chroma_window[16];
  int luma = 0, chroma_count = 0;
};

CellColumns ChooseCellColumns(const int* columns, int count, int width) {
  // A cell well narrower than the picture converts only the pixels it keeps;
  // nearer the picture's width converting the whole row and picking is cheaper.
  // Every second pixel (a cell half the picture's width) converts just those.
  if (count > 0 && HaveAvx2()) {
    if (EvenStrideAvx2(columns, count)) return CellColumns::kEverySecond;
    if (GathersFirst(count, width)) return CellColumns::kGathered;
  }
  return CellColumns::kWholeLine;
}

void ConvertColumns(CellColumns way, const PlanarPicture& picture, int line, const int* columns, int count,
                    const ShuffledColumns* shuffled, uint32_t* out) {
  if (count <= 0) return;
  switch (way) {
    case CellColumns::kShuffled:
      ConvertShuffledColumnsAvx2(picture, line, *shuffled, out);
      return;
    case CellColumns::kEverySecond:
      ConvertEverySecondColumnAvx2(picture, line, columns, count, out);
      return;
    case CellColumns::kGathered:
      ConvertLineToCellAvx2(picture, line, columns, count, out);
      return;
    case CellColumns::kWholeLine:
      ConvertWholeLineToCell(picture, line, columns, count, out);
      return;
  }
}

}  // namespace

bool PrepareShuffledColumns(const int* columns, int count, int width, int max_windows, ShuffledColumns* plan) {
  const int chroma_width = (width + 1) / 2;
  if (count < 32 || chroma_width < kWindow) return false;
  // A short last step ends at the last pixel, overlapping the one before.
  std::vector<int> firsts;
  for (int x = 0; x + 32 <= count; x += 32) firsts.push_back(x);
  if (count % 32 != 0) firsts.push_back(count - 32);
  std::vector<HalfStep> halves(firsts.size() * 2);
  int luma_windows = 0, chroma_windows = 0;
  bool shared = true;
  for (size_t h = 0; h < halves.size(); ++h) {
    HalfStep& half = halves[h];
    half.columns = columns + firsts[h / 2] + 16 * static_cast<int>(h % 2);
    for (int j = 0; j < 16; ++j) half.chroma[j] = half.columns[j] / 2;
    for (int j = 0; j < 16; j += 2) shared = shared && half.chroma[j] == half.chroma[j + 1];
    half.luma = CoverWithWindows(half.columns, width, half.luma_starts, half.luma_window);
    half.chroma_count = CoverWithWindows(half.chroma, chroma_width, half.chroma_starts, half.chroma_window);
    luma_windows = std::max(luma_windows, half.luma);
    chroma_windows = std::max(chroma_windows, half.chroma_count);
  }
  if (luma_windows > max_windows) return false;
  plan->luma_windows = luma_windows;
  plan->chroma_windows = chroma_windows;
  plan->shared_chroma = shared;
  const size_t starts_per_step = 1 + 2 * static_cast<size_t>(luma_windows + chroma_windows);
  const int chroma_masks = shared ? 2 : 4;
  const size_t masks_per_step = static_cast<size_t>(luma_windows + chroma_masks * chroma_windows);
  ShuffledColumns::Mask empty;
  std::memset(empty.bytes, -1, sizeof empty.bytes);  // the high bit set: a zero byte
  plan->starts.assign(firsts.size() * starts_per_step, 0);
  plan->masks.assign(firsts.size() * masks_per_step, empty);
  for (size_t step = 0; step < firsts.size(); ++step) {
    int* start = &plan->starts[step * starts_per_step];
    ShuffledColumns::Mask* mask = &plan->masks[step * masks_per_step];
    *start++ = firsts[step];
    for (int h = 0; h < 2; ++h) {
      const HalfStep& half = halves[2 * step + static_cast<size_t>(h)];
      // Windows a half does not need repeat its last one, masked out.
      for (int k = 0; k < luma_windows; ++k) start[2 * k + h] = half.luma_starts[std::min(k, half.luma - 1)];
      for (int k = 0; k < chroma_windows; ++k) {
        start[2 * (luma_windows + k) + h] = half.chroma_starts[std::min(k, half.chroma_count - 1)];
      }
      for (int j = 0; j < 16; ++j) {
        const int k = half.luma_window[j];
        mask[k].bytes[16 * h + j] = static_cast<int8_t>(half.columns[j] - half.luma_starts[k]);
        // Word j / 2 of the even or of the odd pixels' terms: Cb in its low
        // byte, Cr in its high one.
        if (shared && j % 2 != 0) continue;
        const int c = half.chroma_window[j];
        const auto offset = static_cast<int8_t>(half.chroma[j] - half.chroma_starts[c]);
        ShuffledColumns::Mask* pair = mask + luma_windows + chroma_masks * c + 2 * (j % 2);
        pair[0].bytes[16 * h + j / 2 * 2] = offset;
        pair[1].bytes[16 * h + j / 2 * 2 + 1] = offset;
      }
    }
  }
  return true;
}

void CellLinePlan::Prepare(int first, int count, int cell_width, int width) {
  if (first == first_ && count == static_cast<int>(columns_.size()) && cell_width == cell_width_ && width == width_) {
    return;
  }
  first_ = first;
  cell_width_ = cell_width;
  width_ = width;
  columns_.resize(static_cast<size_t>(std::max(count, 0)));
  for (int i = 0; i < count; ++i) {
    columns_[static_cast<size_t>(i)] = static_cast<int>(int64_t{first + i} * width / cell_width);
  }
  way_ = ChooseCellColumns(columns_.data(), count, width);
  // Masks built once serve every line: cheaper than gathering or converting
  // the whole line, except for a cell as wide as the picture, which takes
  // the line as it is.
  const bool whole = count == width && first == 0 && cell_width == width;
  if (way_ != CellColumns::kEverySecond && !whole && HaveAvx2() &&
      PrepareShuffledColumns(columns_.data(), count, width, kMaxShuffledWindows, &shuffled_)) {
    way_ = CellColumns::kShuffled;
  }
}

void CellLinePlan::ConvertLines(const PlanarPicture& picture, const int* lines, int line_count, uint32_t* out,
                                ptrdiff_t out_stride) const {
  const int count = static_cast<int>(columns_.size());
  if (count == 0) return;
  if (way_ == CellColumns::kEverySecond) {
    ConvertEverySecondColumnLinesAvx2(picture, lines, line_count, columns_[0], count, out, out_stride);
    return;
  }
  for (int i = 0; i < line_count; ++i, out += out_stride) {
    if (i > 0 && lines[i] == lines[i - 1]) {
      std::memcpy(out, out - out_stride, static_cast<size_t>(count) * sizeof(uint32_t));
    } else {
      ConvertColumns(way_, picture, lines[i], columns_.data(), count, &shuffled_, out);
    }
  }
}

void ConvertLineToCell(const PlanarPicture& picture, int line, const int* columns, int count, uint32_t* out) {
  ConvertColumns(ChooseCellColumns(columns, count, picture.width), picture, line, columns, count, nullptr, out);
}

}  // namespace vistrel
