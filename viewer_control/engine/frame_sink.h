// Where decoded pictures go: the renderer of the viewer control, or a
// command-line tool that saves them. One sink may serve several slots.
#pragma once

#include <cstdint>
#include <string_view>

#include "viewer_control/engine/planar_picture.h"

namespace vistrel {

// Drawing results that are not failures: the display is changing mode, or
// another program holds it; the next picture is drawn again.
inline constexpr int32_t kDrawWrongMode = static_cast<int32_t>(0x8876024Bu);
inline constexpr int32_t kDrawExclusiveModeAlreadySet = static_cast<int32_t>(0x88760245u);

class IFrameSink {
 public:
  virtual ~IFrameSink() = default;

  // A picture decoded for display slot `slot` (0-15) with its date and time
  // ("YYYY/MM/DD  hh:mm:ss"). Called on the receive thread of the session that
  // delivered the picture, with that slot's decoder lock held: it must return
  // promptly and must not call the engine. The decoder owns the planes; they
  // stay valid and unchanged until the slot's next DrawPicture returns or
  // ReleasePicture(slot) is called, so a sink may keep pointers to them
  // instead of copying. Returns 0 (S_OK) or a failure code; a failure other
  // than the two codes above closes the slot's decoder until the next VOL packet.
  virtual int32_t DrawPicture(int slot, const PlanarPicture& picture, std::string_view date_text) = 0;

  // The planes of the slot's last DrawPicture are about to be freed or reused
  // (the decoder is closed or made anew, or the slot gets another sink): a
  // sink that kept pointers to them copies what it still needs now. Called
  // with the slot's decoder lock held, on the thread that closes it (the
  // engine's owner thread, or a receive thread); rare, so it may allocate.
  virtual void ReleasePicture(int slot) { (void)slot; }

  // The slot's decoder was closed by a disconnect: release what the slot's
  // pictures needed and show the background. Called on the engine's owner thread.
  virtual void ChannelClosed(int slot) { (void)slot; }
};

}  // namespace vistrel
