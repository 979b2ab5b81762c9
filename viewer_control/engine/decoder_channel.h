// One decoder channel per display slot: opens an MPEG-4 decoder from the
// stream's VOL header, checks each picture's user data (channel, picture
// number, date and time), waits for an I picture, decodes and hands the
// picture to the slot's frame sink.
//
// Threads: DecodeAndDraw runs on the receive thread of the session that owns
// the slot; Open, Start, Close and the settings run on the engine's owner
// thread. `lock_` serialises them and guards every field below it; decoding
// and drawing one picture happen under it, so the frame sink is called with
// it held. The accessors for tests and the renderer take it too.
//
// The sink may keep pointers to the last picture's planes (IFrameSink): the
// decoder leaves them intact until the next picture has been drawn, and every
// step that frees them (Close, Open of a new VOL, a change of sink) first
// calls the sink's ReleasePicture under `lock_`. Close the channel before its
// sink goes.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "viewer_control/engine/frame_sink.h"
#include "viewer_control/engine/planar_picture.h"

namespace vistrel {

class Mpeg4Decoder;

class DecoderChannel {
 public:
  DecoderChannel();
  ~DecoderChannel();
  DecoderChannel(const DecoderChannel&) = delete;
  DecoderChannel& operator=(const DecoderChannel&) = delete;

  void Bind(int slot);
  void SetFrameSink(IFrameSink* sink);

  // 1 when the VOL header opens a decoder, else 0 (the channel stays closed).
  int Open(std::span<const uint8_t> vol_header);
  // 1 when the channel is open (it then decodes), else 0.
  int Start();
  void Close();
  // Bytes from the picture's user-data start code on. Always 1: a picture
  // that cannot be shown is dropped with a trace line.
  int DecodeAndDraw(std::span<const uint8_t> data);

  ColourSettings colour() const;
  void SetColour(const ColourSettings& colour);
  // Bit 0 deblock Y, bit 1 deblock UV, bit 2 dering Y, bit 3 dering UV. Kept
  // for the channel settings dialog; pictures are shown as libavcodec decodes them.
  int post_processing() const;
  void SetPostProcessing(int flags);

  int slot() const { return slot_; }
  bool is_open() const;
  bool is_playing() const;
  int width() const;
  int height() const;
  int pictures_drawn() const { return pictures_drawn_.load(std::memory_order_relaxed); }
  std::string date_text() const;

 private:
  void CloseLocked();
  // Tells the sink, if it was given a picture since, that its planes go.
  void ReleasePictureLocked();
  bool VerifyUserData(std::span<const uint8_t> data);

  int slot_ = -1;
  mutable std::mutex lock_;
  IFrameSink* sink_ = nullptr;             // guarded by lock_
  bool sink_holds_picture_ = false;        // guarded by lock_
  bool open_ = false;                      // guarded by lock_
  bool playing_ = false;                   // guarded by lock_
  bool synchronised_ = false;              // guarded by lock_
  std::unique_ptr<Mpeg4Decoder> decoder_;  // guarded by lock_
  int width_ = 0;                          // guarded by lock_
  int height_ = 0;                         // guarded by lock_
  int post_processing_ = 0;                // guarded by lock_
  ColourSettings colour_;                  // guarded by lock_
  std::array<char, 256> date_text_{};      // guarded by lock_
  std::atomic<int> pictures_drawn_{0};
};

}  // namespace vistrel
