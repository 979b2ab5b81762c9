#include "viewer_control/control/post_processor.h"

extern "C" {
#include <libpostproc/postprocess.h>
}

namespace vistrel {
namespace {

// Strength of the filters where the decoder reports no quantiser: that of a
// moderately compressed DVR picture.
constexpr int kForcedQuantiser = 10;

// Luma only, chroma only, or both, as libpostproc's per-filter options say it.
std::string Filter(const char* name, bool luma, bool chroma) {
  std::string text = name;
  if (luma && chroma) return text + ":c";
  if (luma) return text + ":y";
  return text + ":c:n";
}

}  // namespace

std::string PostProcessingModeName(int flags) {
  std::string name;
  auto add = [&name](const std::string& filter) {
    if (!name.empty()) name += '/';
    name += filter;
  };
  const bool deblock_y = flags & kDeblockY;
  const bool deblock_uv = flags & kDeblockUV;
  const bool dering_y = flags & kDeringY;
  const bool dering_uv = flags & kDeringUV;
  if (deblock_y || deblock_uv) {
    add(Filter("hb", deblock_y, deblock_uv));
    add(Filter("vb", deblock_y, deblock_uv));
  }
  if (dering_y || dering_uv) add(Filter("dr", dering_y, dering_uv));
  if (name.empty()) return name;
  add("fq:" + std::to_string(kForcedQuantiser));
  return name;
}

void PostProcessor::ContextDeleter::operator()(void* context) const { pp_free_context(context); }
void PostProcessor::ModeDeleter::operator()(void* mode) const { pp_free_mode(mode); }

PostProcessor::PostProcessor() = default;
PostProcessor::~PostProcessor() = default;

bool PostProcessor::Apply(const PlanarPicture& in, int flags, PlanarPicture* out) {
  flags &= 0x0F;
  if (flags == 0 || in.width < 16 || in.height < 16) return false;
  if (!modes_[flags]) {
    const std::string name = PostProcessingModeName(flags);
    modes_[flags].reset(pp_get_mode_by_name_and_quality(name.c_str(), PP_QUALITY_MAX));
    if (!modes_[flags]) return false;
  }
  if (!context_ || width_ != in.width || height_ != in.height) {
    context_.reset(pp_get_context(in.width, in.height, PP_FORMAT_420 | PP_CPU_CAPS_AUTO));
    if (!context_) return false;
    width_ = in.width;
    height_ = in.height;
  }
  // Pitches rounded up for the filters' wide loads.
  const int y_pitch = (in.width + 31) & ~31;
  const int uv_pitch = ((in.width + 1) / 2 + 31) & ~31;
  const size_t chroma_rows = static_cast<size_t>(in.height + 1) / 2;
  // Only the output not handed out last is written, or resized to a new size.
  const int next = 1 - last_;
  Output& output = outputs_[next];
  if (output.width != in.width || output.height != in.height) {
    output.planes.assign(static_cast<size_t>(y_pitch) * in.height + 2 * uv_pitch * chroma_rows, 0);
    output.width = in.width;
    output.height = in.height;
  }
  uint8_t* y = output.planes.data();
  uint8_t* u = y + static_cast<size_t>(y_pitch) * in.height;
  uint8_t* v = u + static_cast<size_t>(uv_pitch) * chroma_rows;
  const uint8_t* src[3] = {in.y, in.u, in.v};
  const int src_stride[3] = {in.y_pitch, in.uv_pitch, in.uv_pitch};
  uint8_t* dst[3] = {y, u, v};
  const int dst_stride[3] = {y_pitch, uv_pitch, uv_pitch};
  pp_postprocess(src, src_stride, dst, dst_stride, in.width, in.height, nullptr, 0, modes_[flags].get(), context_.get(),
                 0);
  *out = in;
  out->y = y;
  out->u = u;
  out->v = v;
  out->y_pitch = y_pitch;
  out->uv_pitch = uv_pitch;
  last_ = next;
  return true;
}

}  // namespace vistrel
