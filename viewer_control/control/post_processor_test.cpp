// Post-processing: the filter chosen by each flag, and that the filters
// really smooth a blocky picture while leaving it alone without flags.
#include "viewer_control/control/post_processor.h"

#include <gtest/gtest.h>

#include <vector>

namespace vistrel {
namespace {

TEST(PostProcessor, ModeNamesFollowTheFlags) {
  EXPECT_EQ(PostProcessingModeName(0), "");
  EXPECT_EQ(PostProcessingModeName(kDeblockY), "hb:y/vb:y/fq:10");
  EXPECT_EQ(PostProcessingModeName(kDeblockUV), "hb:c:n/vb:c:n/fq:10");
  EXPECT_EQ(PostProcessingModeName(kDeblockY | kDeblockUV | kDeringY), "hb:c/vb:c/dr:y/fq:10");
  EXPECT_EQ(PostProcessingModeName(kDeringUV), "dr:c:n/fq:10");
}

TEST(PostProcessor, DeblockingSoftensBlockEdgesOfLumaOnly) {
  const int w = 64;
  const int h = 32;
  // 8x8 blocks alternating by a small step, as coarse quantisation leaves them.
  std::vector<uint8_t> y(w * h), u(w * h / 4, 100), v(w * h / 4, 150);
  for (int row = 0; row < h; ++row) {
    for (int col = 0; col < w; ++col) y[row * w + col] = ((col / 8 + row / 8) % 2) ? 110 : 100;
  }
  PlanarPicture in{y.data(), u.data(), v.data(), w, w / 2, w, h};
  PostProcessor processor;
  PlanarPicture out;
  EXPECT_FALSE(processor.Apply(in, 0, &out));
  ASSERT_TRUE(processor.Apply(in, kDeblockY, &out));
  auto edge_step = [&](const PlanarPicture& p) {
    int total = 0;
    for (int row = 8; row < 24; ++row) {
      const uint8_t* line = p.y + row * p.y_pitch;
      total += std::abs(line[16] - line[15]);
    }
    return total;
  };
  EXPECT_LT(edge_step(out), edge_step(in));
  // Chroma untouched by a luma-only filter.
  for (int row = 0; row < h / 2; ++row) {
    for (int col = 0; col < w / 2; ++col) EXPECT_EQ(out.u[row * out.uv_pitch + col], 100);
  }
}

}  // namespace
}  // namespace vistrel
