// The software colour converter of the RGB mode: planar 4:2:0 pictures to
// 24-bit rows of blue, green, red bytes, top-down, with ITU-R BT.601
// studio-range coefficients in fixed point with six fraction bits:
//   R = (74(Y-16) + 102(Cr-128)) >> 6
//   G = (74(Y-16) - 25(Cb-128) - 52(Cr-128)) >> 6
//   B = (74(Y-16) + 129(Cb-128)) >> 6
// Every term and every partial sum saturates to 16 bits, as the packed
// arithmetic of the vector path does; the result is clamped to 0-255. The
// scalar and the vector path give the same bytes for every input.
//
// Threads: pure functions; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "viewer_control/engine/planar_picture.h"

namespace vistrel {

// Converts `picture` (any size; two luma rows and columns share one chroma
// sample) into `out`, whose rows are `out_pitch` bytes apart and hold at
// least width * 3 bytes.
void ConvertToBgr24(const PlanarPicture& picture, uint8_t* out, int out_pitch);

// The same as B G R 255 bytes (what a 32-bit RGB image holds), rows
// `out_pitch` bytes apart holding at least width * 4 bytes.
void ConvertToBgra(const PlanarPicture& picture, uint8_t* out, int out_pitch);

// Line `line` of `picture` scaled into `count` 32-bit pixels 0xFFRRGGBB:
// pixel i is the picture's pixel at column columns[i] (nondecreasing, each
// below the width), as nearest-neighbour scaling gives them.
void ConvertLineToCell(const PlanarPicture& picture, int line, const int* columns, int count, uint32_t* out);

// How a cell's lines are converted, worked out once for the cell's columns
// and kept while the cell and the pictures keep their sizes: every line of a
// cell has the same columns.
enum class CellColumns { kWholeLine, kEverySecond, kGathered, kShuffled };

// Byte-shuffle masks that pick, for every 32 pixels of a cell line, the kept
// luma and chroma bytes out of a fixed number of 16-byte windows of the rows.
struct ShuffledColumns {
  struct alignas(32) Mask {
    int8_t bytes[32];
  };
  int luma_windows = 0, chroma_windows = 0;
  // Even and odd pixels take the same chroma samples (as when each column
  // is shown twice): one set of chroma terms serves both.
  bool shared_chroma = false;
  // Per step: the first pixel, then each window's start for pixels 0-15 and
  // for 16-31 (luma windows, then chroma ones).
  std::vector<int> starts;
  // Per step: one mask per luma window, then four per chroma window (the
  // blue-difference and red-difference bytes of the even, then of the odd
  // pixels).
  std::vector<Mask> masks;
};

class CellLinePlan {
 public:
  // For pixels [first, first + count) of a cell `cell_width` wide showing
  // pictures `width` wide: pixel i takes column (first + i) * width /
  // cell_width. Nothing is done when already prepared so; otherwise the plan
  // may allocate.
  void Prepare(int first, int count, int cell_width, int width);
  // Lines lines[0..line_count) of `picture` (as wide as prepared), each
  // into count pixels 0xFFRRGGBB as ConvertLineToCell gives them, row i at
  // out + i * out_stride; a line the same as the one before is copied.
  // Allocates nothing. A whole cell a call: the per-line cost is a step.
  void ConvertLines(const PlanarPicture& picture, const int* lines, int line_count, uint32_t* out,
                    ptrdiff_t out_stride) const;

 private:
  int first_ = -1, cell_width_ = 0, width_ = 0;
  std::vector<int> columns_;
  CellColumns way_ = CellColumns::kWholeLine;
  ShuffledColumns shuffled_;
};

// Each path, for tests and the benchmark; ConvertToBgr24 takes the fastest
// one the processor has (AVX2, else SSSE3, else SSE2).
void ConvertToBgr24Scalar(const PlanarPicture& picture, uint8_t* out, int out_pitch);
void ConvertToBgr24Sse2(const PlanarPicture& picture, uint8_t* out, int out_pitch);
void ConvertToBgr24Ssse3(const PlanarPicture& picture, uint8_t* out, int out_pitch);
void ConvertToBgr24Avx2(const PlanarPicture& picture, uint8_t* out, int out_pitch);
void ConvertToBgraScalar(const PlanarPicture& picture, uint8_t* out, int out_pitch);
void ConvertToBgraAvx2(const PlanarPicture& picture, uint8_t* out, int out_pitch);
// ConvertLineToCell's gathering paths: only the kept pixels are converted.
void ConvertLineToCellScalar(const PlanarPicture& picture, int line, const int* columns, int count, uint32_t* out);
void ConvertLineToCellAvx2(const PlanarPicture& picture, int line, const int* columns, int count, uint32_t* out);
// The path for cells at half the picture's width: when columns[i] ==
// columns[0] + 2 * i with columns[0] even, converts only those pixels and
// returns true; for any other layout writes nothing and returns false.
bool ConvertEvenColumnsToCellAvx2(const PlanarPicture& picture, int line, const int* columns, int count, uint32_t* out);
// Whether columns[i] == columns[0] + 2 * i with columns[0] even (count > 0),
// and the conversion of such columns without that check.
bool EvenStrideAvx2(const int* columns, int count);
void ConvertEverySecondColumnAvx2(const PlanarPicture& picture, int line, const int* columns, int count, uint32_t* out);
// The same for several lines, as CellLinePlan::ConvertLines takes them.
void ConvertEverySecondColumnLinesAvx2(const PlanarPicture& picture, const int* lines, int line_count, int first,
                                       int count, uint32_t* out, ptrdiff_t out_stride);
// Builds `plan` for count >= 32 nondecreasing columns of pictures `width`
// wide, reading only within each row; false (the plan left as it was) where
// count < 32, the rows are narrower than a window, or more than `max_windows`
// luma windows would be needed.
bool PrepareShuffledColumns(const int* columns, int count, int width, int max_windows, ShuffledColumns* plan);
// Those columns of line `line` into count 32-bit pixels.
void ConvertShuffledColumnsAvx2(const PlanarPicture& picture, int line, const ShuffledColumns& plan, uint32_t* out);
bool HaveSse2();
bool HaveSsse3();
bool HaveAvx2();

}  // namespace vistrel
