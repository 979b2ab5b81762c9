// The post-processing of a decoder channel's pictures: deblocking and
// deringing of luma and chroma, each on its own flag, through FFmpeg's
// libpostproc. The MPEG-4 decoder gives no quantiser table, so a fixed
// quantiser sets the filters' strength.
//
// Threads: one instance per display slot, used only by the thread that
// draws that slot's pictures (under the decoder channel's lock).
//
// The output goes into two buffers in turn, so a view may keep the last
// picture's planes as it keeps the decoder's: a picture is written into the
// buffer not handed out last, while the view may read the other; the view
// moves to the new one only when it is handed the picture.
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

  // The filtered picture in `out`, or false when `flags` select nothing or
  // the filters cannot be set up; then `in` stands. The planes stay unchanged
  // through the next call: only a call after the next successful one reuses them.
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
  struct Output {
    std::vector<uint8_t> planes;  // Y, U, V at the pitches below
    int width = 0;
    int height = 0;
  };
  std::array<Output, 2> outputs_;
  int last_ = 1;  // the output handed out last; the first goes into 0
};

}  // namespace vistrel
