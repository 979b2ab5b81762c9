// The software converter: the fixed-point formulas at their corners, and the
// vector path against the scalar one on random planes of awkward sizes.
#include "viewer_control/control/yuv_converter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <tuple>
#include <vector>

namespace vistrel {
namespace {

struct Planes {
  Planes(int w, int h, int pitch_pad = 0) : width(w), height(h) {
    y_pitch = w + pitch_pad;
    uv_pitch = (w + 1) / 2 + pitch_pad;
    y.assign(static_cast<size_t>(y_pitch) * h, 0);
    u.assign(static_cast<size_t>(uv_pitch) * ((h + 1) / 2), 0);
    v.assign(u.size(), 0);
  }
  PlanarPicture picture() const { return {y.data(), u.data(), v.data(), y_pitch, uv_pitch, width, height}; }
  int width, height, y_pitch, uv_pitch;
  std::vector<uint8_t> y, u, v;
};

std::vector<uint8_t> Convert(const Planes& planes, void (*convert)(const PlanarPicture&, uint8_t*, int)) {
  std::vector<uint8_t> out(static_cast<size_t>(planes.width) * planes.height * 3, 0xAA);
  convert(planes.picture(), out.data(), planes.width * 3);
  return out;
}

TEST(YuvConverter, StudioRangeBlackAndWhite) {
  for (auto convert : {ConvertToBgr24Scalar, ConvertToBgr24Sse2, ConvertToBgr24Ssse3, ConvertToBgr24Avx2}) {
    if (convert == ConvertToBgr24Avx2 && !HaveAvx2()) continue;
    Planes black(32, 2);
    std::fill(black.y.begin(), black.y.end(), 16);
    std::fill(black.u.begin(), black.u.end(), 128);
    std::fill(black.v.begin(), black.v.end(), 128);
    for (uint8_t byte : Convert(black, convert)) EXPECT_EQ(byte, 0);
    Planes white = black;
    std::fill(white.y.begin(), white.y.end(), 235);
    for (uint8_t byte : Convert(white, convert)) EXPECT_EQ(byte, 253);
  }
}

TEST(YuvConverter, ChannelsLandInBlueGreenRedOrderAndSaturate) {
  Planes planes(2, 2);
  // Strong blue: the blue sum passes 32767 and must saturate, not wrap.
  std::fill(planes.y.begin(), planes.y.end(), 255);
  planes.u[0] = 255;
  planes.v[0] = 0;
  const auto out = Convert(planes, ConvertToBgr24Scalar);
  EXPECT_EQ(out[0], 255);  // B
  // G = (74*239 - 25*127 + 52*128) >> 6 = (17686 - 3175 + 6656) >> 6 = 330 -> 255
  EXPECT_EQ(out[1], 255);
  // R = (17686 - 102*128) >> 6 = 4630 >> 6 = 72
  EXPECT_EQ(out[2], 72);
}

TEST(YuvConverter, VectorPathMatchesScalarOnRandomPlanes) {
  ASSERT_TRUE(HaveSse2());
  std::mt19937 random(6);
  for (auto [w, h, pad] :
       {std::tuple{352, 240, 0}, std::tuple{16, 2, 0}, std::tuple{37, 9, 3}, std::tuple{704, 480, 32},
        std::tuple{1, 1, 0}, std::tuple{50, 17, 5}, std::tuple{33, 3, 0}, std::tuple{63, 5, 1}, std::tuple{95, 7, 0}}) {
    Planes planes(w, h, pad);
    for (auto* plane : {&planes.y, &planes.u, &planes.v}) {
      for (auto& byte : *plane) byte = static_cast<uint8_t>(random());
    }
    const auto scalar = Convert(planes, ConvertToBgr24Scalar);
    EXPECT_EQ(scalar, Convert(planes, ConvertToBgr24Sse2)) << w << "x" << h;
    if (HaveSsse3()) {
      EXPECT_EQ(scalar, Convert(planes, ConvertToBgr24Ssse3)) << w << "x" << h;
    }
    if (HaveAvx2()) {
      EXPECT_EQ(scalar, Convert(planes, ConvertToBgr24Avx2)) << w << "x" << h;
    }
  }
}

TEST(YuvConverter, ExtremesAgreeOnEveryCombination) {
  // Every corner of the input cube, where saturation decides the result.
  Planes planes(16 * 27, 2);
  const uint8_t values[3] = {0, 128, 255};
  int x = 0;
  for (uint8_t y : values) {
    for (uint8_t u : values) {
      for (uint8_t v : values) {
        for (int i = 0; i < 16; ++i) {
          planes.y[x + i] = y;
          planes.y[planes.y_pitch + x + i] = y;
        }
        for (int i = 0; i < 8; ++i) {
          planes.u[x / 2 + i] = u;
          planes.v[x / 2 + i] = v;
        }
        x += 16;
      }
    }
  }
  EXPECT_EQ(Convert(planes, ConvertToBgr24Scalar), Convert(planes, ConvertToBgr24Sse2));
  if (HaveSsse3()) {
    EXPECT_EQ(Convert(planes, ConvertToBgr24Scalar), Convert(planes, ConvertToBgr24Ssse3));
  }
  if (HaveAvx2()) {
    EXPECT_EQ(Convert(planes, ConvertToBgr24Scalar), Convert(planes, ConvertToBgr24Avx2));
  }
}

TEST(YuvConverter, EveryByteValueAgreesAgainstEachChromaExtreme) {
  // All 256 luma values beside chroma at and next to the clipping edges, and
  // all 256 values of each chroma plane beside the luma extremes.
  const uint8_t edges[] = {0, 1, 16, 127, 128, 129, 239, 240, 254, 255};
  std::vector<std::tuple<uint8_t, uint8_t, uint8_t>> pixels;  // pairs share chroma
  for (uint8_t a : edges) {
    for (uint8_t b : edges) {
      for (int value = 0; value < 256; ++value) {
        const auto byte = static_cast<uint8_t>(value);
        pixels.emplace_back(byte, a, b);
        pixels.emplace_back(a, byte, b);
        pixels.emplace_back(a, b, byte);
      }
    }
  }
  const int width = 258;  // not a multiple of any vector width
  const int height = static_cast<int>((pixels.size() + width - 1) / width) * 2;
  Planes planes(width, height);
  for (size_t i = 0; i < pixels.size(); ++i) {
    const int x = static_cast<int>(i % width);
    const int row = static_cast<int>(i / width) * 2;
    const auto [y, u, v] = pixels[i];
    planes.y[static_cast<size_t>(row) * planes.y_pitch + x] = y;
    planes.y[static_cast<size_t>(row + 1) * planes.y_pitch + x] = static_cast<uint8_t>(255 - y);
    if (x % 2 == 0) {
      planes.u[static_cast<size_t>(row / 2) * planes.uv_pitch + x / 2] = u;
      planes.v[static_cast<size_t>(row / 2) * planes.uv_pitch + x / 2] = v;
    }
  }
  const auto scalar = Convert(planes, ConvertToBgr24Scalar);
  EXPECT_EQ(scalar, Convert(planes, ConvertToBgr24Sse2));
  if (HaveSsse3()) {
    EXPECT_EQ(scalar, Convert(planes, ConvertToBgr24Ssse3));
  }
  if (!HaveAvx2()) GTEST_SKIP() << "no AVX2 here";
  EXPECT_EQ(scalar, Convert(planes, ConvertToBgr24Avx2));
}

TEST(YuvConverter, BgraMatchesTheBgr24BytesWithOpaqueAlpha) {
  std::mt19937 random(19);
  for (auto [w, h] : {std::pair{352, 240}, std::pair{1, 1}, std::pair{31, 3}, std::pair{33, 5}, std::pair{95, 7}}) {
    Planes planes(w, h, 3);
    for (auto* plane : {&planes.y, &planes.u, &planes.v}) {
      for (auto& byte : *plane) byte = static_cast<uint8_t>(random());
    }
    const auto bgr = Convert(planes, ConvertToBgr24Scalar);
    std::vector<uint8_t> expected(static_cast<size_t>(w) * h * 4);
    for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
      std::copy_n(bgr.begin() + static_cast<ptrdiff_t>(i * 3), 3, expected.begin() + static_cast<ptrdiff_t>(i * 4));
      expected[i * 4 + 3] = 255;
    }
    auto convert = [&](void (*path)(const PlanarPicture&, uint8_t*, int)) {
      std::vector<uint8_t> out(expected.size(), 0xAA);
      path(planes.picture(), out.data(), w * 4);
      return out;
    };
    EXPECT_EQ(expected, convert(ConvertToBgraScalar)) << w << "x" << h;
    EXPECT_EQ(expected, convert(ConvertToBgra)) << w << "x" << h;
    if (HaveAvx2()) {
      EXPECT_EQ(expected, convert(ConvertToBgraAvx2)) << w << "x" << h;
    }
  }
}

TEST(YuvConverter, CellLinesPickTheNearestColumnsAtEveryCellSize) {
  std::mt19937 random(5);
  Planes planes(352, 240, 8);
  for (auto* plane : {&planes.y, &planes.u, &planes.v}) {
    for (auto& byte : *plane) byte = static_cast<uint8_t>(random());
  }
  std::vector<uint8_t> full(static_cast<size_t>(352) * 240 * 4);
  ConvertToBgraScalar(planes.picture(), full.data(), 352 * 4);
  // Smaller, equal and larger than the picture, odd widths among them.
  for (int cell_width : {1, 87, 176, 234, 351, 352, 353, 704}) {
    std::vector<int> columns(static_cast<size_t>(cell_width));
    for (int x = 0; x < cell_width; ++x) columns[static_cast<size_t>(x)] = x * 352 / cell_width;
    std::vector<uint32_t> out(columns.size() + 1, 0xDEADBEEFu);
    for (int line : {0, 1, 119, 239}) {
      ConvertLineToCell(planes.picture(), line, columns.data(), cell_width, out.data());
      for (int x = 0; x < cell_width; ++x) {
        uint32_t expected = 0;
        std::memcpy(&expected, full.data() + (static_cast<size_t>(line) * 352 + columns[static_cast<size_t>(x)]) * 4,
                    4);
        ASSERT_EQ(out[static_cast<size_t>(x)], expected) << cell_width << " wide, line " << line << ", x " << x;
      }
      EXPECT_EQ(out.back(), 0xDEADBEEFu) << "wrote past the cell";
    }
  }
}

// What converting the whole line and picking the columns gives.
std::vector<uint32_t> ConvertThenPick(const Planes& planes, int line, const std::vector<int>& columns) {
  std::vector<uint32_t> row(static_cast<size_t>(planes.width));
  PlanarPicture one = planes.picture();
  one.y += static_cast<ptrdiff_t>(line) * one.y_pitch;
  one.u += static_cast<ptrdiff_t>(line / 2) * one.uv_pitch;
  one.v += static_cast<ptrdiff_t>(line / 2) * one.uv_pitch;
  one.height = 1;
  ConvertToBgraScalar(one, reinterpret_cast<uint8_t*>(row.data()), planes.width * 4);
  std::vector<uint32_t> picked;
  for (int column : columns) picked.push_back(row[static_cast<size_t>(column)]);
  return picked;
}

TEST(YuvConverter, GatheredCellLinesMatchConvertingTheWholeLine) {
  std::mt19937 random(23);
  using Gather = void (*)(const PlanarPicture&, int, const int*, int, uint32_t*);
  std::vector<Gather> paths{ConvertLineToCellScalar, ConvertLineToCell};
  if (HaveAvx2()) paths.push_back(ConvertLineToCellAvx2);
  // Odd widths, and counts around the vector width and the gathering threshold.
  for (auto [width, counts] : {std::pair{352, std::vector<int>{1, 2, 31, 32, 33, 63, 64, 65, 88, 140, 141, 264}},
                               std::pair{37, std::vector<int>{1, 9, 27, 28, 29, 36}},
                               std::pair{705, std::vector<int>{1, 176, 234, 281, 282, 529}}}) {
    Planes planes(width, 5, 3);
    for (auto* plane : {&planes.y, &planes.u, &planes.v}) {
      for (auto& byte : *plane) byte = static_cast<uint8_t>(random());
    }
    for (int count : counts) {
      // Nearest-neighbour spacing, then random nondecreasing columns with
      // repeats that always hold the first and the last column.
      std::vector<std::vector<int>> layouts(2, std::vector<int>(static_cast<size_t>(count)));
      for (int x = 0; x < count; ++x) layouts[0][static_cast<size_t>(x)] = x * width / count;
      for (auto& column : layouts[1]) column = static_cast<int>(random() % static_cast<unsigned>(width));
      std::sort(layouts[1].begin(), layouts[1].end());
      layouts[1].front() = 0;
      layouts[1].back() = width - 1;
      for (const auto& columns : layouts) {
        for (int line : {0, 3, 4}) {
          const auto expected = ConvertThenPick(planes, line, columns);
          for (Gather path : paths) {
            std::vector<uint32_t> out(columns.size() + 1, 0xDEADBEEFu);
            path(planes.picture(), line, columns.data(), count, out.data());
            EXPECT_EQ(out.back(), 0xDEADBEEFu) << "wrote past the cell";
            out.pop_back();
            ASSERT_EQ(out, expected) << width << " wide, " << count << " kept, line " << line;
          }
        }
      }
    }
  }
}

TEST(YuvConverter, CellLinesOfEverySecondPixelMatchConvertingTheWholeLine) {
  std::mt19937 random(29);
  // Unpadded rows: a read past the row's end on the last line leaves the planes.
  for (int width : {352, 704, 705, 67}) {
    Planes planes(width, 3);
    for (auto* plane : {&planes.y, &planes.u, &planes.v}) {
      for (auto& byte : *plane) byte = static_cast<uint8_t>(random());
    }
    const int half = (width + 1) / 2;
    for (int count : {1, 2, 31, 32, 33, 63, 64, 65, half - 1, half}) {
      // From the row's start, from inside it, and ending on its last pixels.
      const int last_start = (width - 1 - 2 * (count - 1)) & ~1;
      for (int first : {0, 2, 36, last_start}) {
        if (first < 0 || first > last_start) continue;
        std::vector<int> columns(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) columns[static_cast<size_t>(i)] = first + 2 * i;
        for (int line : {0, 1, 2}) {
          const auto expected = ConvertThenPick(planes, line, columns);
          std::vector<uint32_t> out(columns.size() + 1, 0xDEADBEEFu);
          ConvertLineToCell(planes.picture(), line, columns.data(), count, out.data());
          EXPECT_EQ(out.back(), 0xDEADBEEFu) << "wrote past the cell";
          out.pop_back();
          ASSERT_EQ(out, expected) << width << " wide, " << count << " from " << first << ", line " << line;
          if (!HaveAvx2()) continue;
          std::vector<uint32_t> direct(columns.size() + 1, 0xDEADBEEFu);
          ASSERT_TRUE(ConvertEvenColumnsToCellAvx2(planes.picture(), line, columns.data(), count, direct.data()));
          EXPECT_EQ(direct.back(), 0xDEADBEEFu) << "wrote past the cell";
          direct.pop_back();
          ASSERT_EQ(direct, expected) << width << " wide, " << count << " from " << first << ", line " << line;
        }
      }
    }
  }
}

TEST(YuvConverter, NearlyEverySecondPixelTakesTheGeneralPath) {
  // An odd start, a repeat deep in the line, a step of three at the end:
  // the even-pixel path must refuse them untouched and the result still hold.
  Planes planes(352, 2);
  std::mt19937 random(31);
  for (auto* plane : {&planes.y, &planes.u, &planes.v}) {
    for (auto& byte : *plane) byte = static_cast<uint8_t>(random());
  }
  std::vector<int> even(176);
  for (int i = 0; i < 176; ++i) even[static_cast<size_t>(i)] = 2 * i;
  std::vector<std::vector<int>> layouts(3, even);
  for (int& column : layouts[0]) column += 1;
  layouts[0].back() = 351;
  layouts[1][100] = layouts[1][99];  // first and last still fit the step
  layouts[2].pop_back();
  layouts[2].back() += 1;
  for (const auto& columns : layouts) {
    const int count = static_cast<int>(columns.size());
    if (HaveAvx2()) {
      std::vector<uint32_t> untouched(columns.size(), 0xDEADBEEFu);
      EXPECT_FALSE(ConvertEvenColumnsToCellAvx2(planes.picture(), 1, columns.data(), count, untouched.data()));
      EXPECT_EQ(untouched, std::vector<uint32_t>(columns.size(), 0xDEADBEEFu));
    }
    std::vector<uint32_t> out(columns.size());
    ConvertLineToCell(planes.picture(), 1, columns.data(), count, out.data());
    EXPECT_EQ(out, ConvertThenPick(planes, 1, columns));
  }
}

TEST(YuvConverter, GatheredCellLinesAgreeAtTheSaturationCorners) {
  // Each pixel its own chroma sample at the clipping edges, as the gather sees them.
  const uint8_t edges[] = {0, 1, 16, 127, 128, 129, 239, 240, 254, 255};
  const int width = 2 * 1000;
  Planes planes(width, 2);
  for (int i = 0; i < 1000; ++i) {
    planes.y[static_cast<size_t>(2 * i)] = edges[i % 10];
    planes.y[static_cast<size_t>(2 * i + 1)] = static_cast<uint8_t>(255 - edges[i % 10]);
    planes.u[static_cast<size_t>(i)] = edges[i / 10 % 10];
    planes.v[static_cast<size_t>(i)] = edges[i / 100];
  }
  std::vector<int> columns(static_cast<size_t>(width));
  for (int x = 0; x < width; ++x) columns[static_cast<size_t>(x)] = x;
  const auto expected = ConvertThenPick(planes, 0, columns);
  std::vector<uint32_t> out(columns.size());
  ConvertLineToCellScalar(planes.picture(), 0, columns.data(), width, out.data());
  EXPECT_EQ(out, expected);
  if (!HaveAvx2()) GTEST_SKIP() << "no AVX2 here";
  ConvertLineToCellAvx2(planes.picture(), 0, columns.data(), width, out.data());
  EXPECT_EQ(out, expected);
}

// Planes without padding, mostly at the extremes where saturation decides:
// the last line's rows end where their allocations end, so a read past a row
// leaves the planes (under ASan, a fault).
Planes ExtremePlanes(int width, int height, std::mt19937& random) {
  Planes planes(width, height);
  for (auto* plane : {&planes.y, &planes.u, &planes.v}) {
    for (auto& byte : *plane) {
      const unsigned r = random();
      byte = static_cast<uint8_t>(r % 3 == 0 ? 0 : r % 3 == 1 ? 255 : r >> 8);
    }
  }
  return planes;
}

// Pixels [first, first + count) of a cell `cell_width` wide, through one plan,
// against the scalar path, on the first, second and last two lines.
void ExpectPlanMatchesScalar(const Planes& planes, int first, int count, int cell_width, CellLinePlan* plan) {
  SCOPED_TRACE(testing::Message() << planes.width << " wide into " << cell_width << ", pixels " << first << " + "
                                  << count);
  std::vector<int> columns(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) columns[static_cast<size_t>(i)] = (first + i) * planes.width / cell_width;
  plan->Prepare(first, count, cell_width, planes.width);
  // One call for them all, the last line twice: rows a pixel wider than the
  // cell, so that a write past a row shows.
  const int lines[] = {0, 1, planes.height - 2, planes.height - 1, planes.height - 1};
  const ptrdiff_t stride = count + 1;
  std::vector<uint32_t> out(static_cast<size_t>(stride) * std::size(lines), 0xDEADBEEFu);
  plan->ConvertLines(planes.picture(), lines, static_cast<int>(std::size(lines)), out.data(), stride);
  for (size_t i = 0; i < std::size(lines); ++i) {
    std::vector<uint32_t> expected(columns.size());
    ConvertLineToCellScalar(planes.picture(), lines[i], columns.data(), count, expected.data());
    const auto row = out.begin() + static_cast<ptrdiff_t>(i) * stride;
    EXPECT_EQ(row[count], 0xDEADBEEFu) << "wrote past the cell";
    ASSERT_EQ(std::vector<uint32_t>(row, row + count), expected) << "line " << lines[i];
  }
}

TEST(CellLinePlan, MatchesTheScalarPathInEveryLayoutOfTheView) {
  std::mt19937 random(37);
  CellLinePlan plan;
  for (auto [width, height] : {std::pair{352, 240}, std::pair{704, 480}}) {
    const Planes planes = ExtremePlanes(width, height, random);
    for (int cell_width : {176, 234, 235, 352, 704}) {
      ExpectPlanMatchesScalar(planes, 0, cell_width, cell_width, &plan);
      // Clipped at either side by the view's edge.
      ExpectPlanMatchesScalar(planes, 13, cell_width - 13, cell_width, &plan);
      ExpectPlanMatchesScalar(planes, 0, cell_width - 21, cell_width, &plan);
      ExpectPlanMatchesScalar(planes, 7, cell_width - 50, cell_width, &plan);
    }
  }
}

TEST(CellLinePlan, MatchesTheScalarPathAtAwkwardWidthsAndRatios) {
  std::mt19937 random(41);
  CellLinePlan plan;
  // Odd widths, and rows narrower than a window or just as wide.
  for (int width : {37, 353, 703, 31, 32, 20}) {
    const Planes planes = ExtremePlanes(width, 5, random);
    // Upscales by two and by odd factors, near 1:1, and downscales up to and
    // past the ratio where gathering takes over.
    for (int cell_width : {2 * width, 3 * width, 3 * width / 2, width - 1, width + 1, width / 2, width / 3,
                           width * 2 / 5, width / 5, width / 8, width / 12, width / 16}) {
      if (cell_width <= 0) continue;
      ExpectPlanMatchesScalar(planes, 0, cell_width, cell_width, &plan);
      // Fewer than, exactly and just over one step of 32 pixels, from inside
      // the cell and ending on its last pixel.
      for (int count : {1, 31, 32, 33, 65}) {
        if (count > cell_width) continue;
        ExpectPlanMatchesScalar(planes, 0, count, cell_width, &plan);
        ExpectPlanMatchesScalar(planes, cell_width - count, count, cell_width, &plan);
        if (count + 3 <= cell_width) ExpectPlanMatchesScalar(planes, 3, count, cell_width, &plan);
      }
    }
  }
}

}  // namespace
}  // namespace vistrel
