// The post-processing of a decoder channel's pictures: deblocking and
// deringing of luma and chroma, each on its own flag, through FFmpeg's
// libpostproc. The MPEG-4 decoder gives no quantiser table, so a fixed
// quantiser sets the filters' strength.
//
// Threads: one instance per display slot, used only by the thread that
// draws that slot's pictures (under the decoder channel's lock).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "viewer_control/engine/planar_picture.h"

namespace vistrel {

inline constexpr int kDeblockY = 1;
inline constexpr int kDeblockUV = 2;
inline constexpr int kDeringY = 4;
inline constexpr int kDeringUV = 8;

// The libpostproc filter description of a set of flags ("" for none).
std::string PostProcessingModeName(int flags);

class PostProcessor {
 public:
  PostProcessor();
  ~PostProcessor();
  PostProcessor(const PostProcessor&) = delete;
  PostProcessor& operator=(const PostProcessor&) = delete;

  // The filtered picture in `out` (valid until the next call), or false when
  // `flags` select nothing or the filters cannot be set up; then `in` stands.
  bool Apply(const PlanarPicture& in, int flags, PlanarPicture* out);

 private:
  struct ContextDeleter {
    void operator()(void* context) const;
  };
  struct ModeDeleter {
    void operator()(void* mode) const;
  };
  std::unique_ptr<void, ContextDeleter> context_;
  int width_ = 0;
  int height_ = 0;
  std::array<std::unique_ptr<void, ModeDeleter>, 16> modes_;
  std::vector<uint8_t> planes_;
  int y_pitch_ = 0;
  int uv_pitch_ = 0;
};

}  // namespace vistrel
