// The MPEG-4 Part 2 decoder, shaped like the six calls the control makes on
// it: find the VOL and its picture size, create an instance from the VOL
// header, allocate its frame buffer, decode one picture from its VOP start
// code, set colour values, destroy.
//
// This module is the only one that includes FFmpeg headers. libavcodec's
// decoder does the work; the VOL header becomes its extradata, and colour
// values are applied here after decoding (into plane sets allocated once),
// never into the decoder's own reference pictures.
//
// Threads: an instance is used by one thread at a time; the decoder channel's
// lock serialises its users. Nothing is allocated per picture in steady state:
// the input buffer grows only when a picture is larger than any before it,
// and the adjusted planes exist only while colour values are not neutral.
//
// Pictures are decoded into two frames in turn (with two sets of adjusted
// planes): the picture handed out last is not written to or freed while the
// next is decoded into the other frame, so a sink may read it until it has
// the next one. Only destroying the decoder ends it early.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "viewer_control/engine/planar_picture.h"

namespace vistrel {

struct VolInfo {
  size_t offset = 0;  // of the VOL start code 00 00 01 2x in the bytes given
  size_t length = 0;  // bytes from there to the end of the bytes given
  int width = 0;
  int height = 0;
};

// Finds the video object layer start code and reads the picture size from
// its fields. False when there is none, or when the layer is not a
// rectangular one whose size fits in the bytes given.
bool FindVol(std::span<const uint8_t> bytes, VolInfo* info);

class Mpeg4Decoder {
 public:
  // Bytes of input the decoder takes at most per picture.
  static constexpr size_t kMaxPictureBytes = 256 * 1024;

  // A decoder for pictures of this size, set up from the VOL header; null
  // when libavcodec refuses it.
  static std::unique_ptr<Mpeg4Decoder> Create(int width, int height, std::span<const uint8_t> vol_header);
  ~Mpeg4Decoder();
  Mpeg4Decoder(const Mpeg4Decoder&) = delete;
  Mpeg4Decoder& operator=(const Mpeg4Decoder&) = delete;

  // Allocates what decoding needs; false when memory runs out.
  bool AllocateFrameBuffer();

  // Decodes one coded picture, starting at its VOP start code: 0 and a
  // picture in `out`, or a negative value. A picture's planes stay unchanged
  // through the next call, failed or not: only a call after the next
  // successful one (or the decoder's end) reuses them.
  int Decode(std::span<const uint8_t> from_vop, PlanarPicture* out);

  // Takes effect from the next picture. Neutral values free the adjusted
  // planes (those of the last picture once they are no longer handed out);
  // the decoder's own planes are then handed out unchanged.
  void SetColour(const ColourSettings& colour);

  // Bytes held for input and for colour-adjusted planes (not libavcodec's).
  size_t buffer_bytes() const;

  int width() const;
  int height() const;

 private:
  struct Impl;
  explicit Mpeg4Decoder(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace vistrel
