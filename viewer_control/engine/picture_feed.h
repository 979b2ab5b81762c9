// The road of one picture source's pictures into the engine: the source's
// channel map (stream channel -> display slot), the VOL header that opened
// its stream, and one recorder per stream channel. A stream session owns one
// today; the readers of local files, disks and CDs will own one each, so
// every source is decoded, drawn and recorded by the same code.
//
// A source hands over what it reads, unchanged: the VOL packet with
// StreamHeader, every other video payload with Picture. The feed records the
// payload when recording is on and gives the picture from its user data on to
// the decoder channel of its slot, through the source's IPictureOutlet.
//
// Threads: SetChannels, ResetStream and SetRecording run on the engine's
// owner thread; StreamHeader and Picture on the source's reading thread (a
// stream session's receive thread). Locks: `map_lock_` guards the channel
// count, the map and the VOL header; `recorder_lock_` guards the recorders,
// the recording flag and the recording's failure. Where both are held
// (starting a recording), `recorder_lock_` comes first. The outlet is called
// with neither held, so decoder channels take their own lock after them.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "viewer_control/engine/mpeg4_recorder.h"

namespace vistrel {

class DecoderChannel;

inline constexpr int kStreamChannels = 16;

// Where a feed delivers, called on the source's reading thread. The two
// notifications run on the engine's owner thread and return once it handled
// them, or early when the source is being stopped.
class IPictureOutlet {
 public:
  virtual ~IPictureOutlet() = default;
  // Opens and starts the decoders of the source's display slots with `vol`.
  virtual void OpenDecoders(const VolHeader& vol) = 0;
  // A write of the recording failed (`error` is the errno); once per recording.
  virtual void RecordingFailed(int error) = 0;
  // The decoder channel of display slot 0-15.
  virtual DecoderChannel& Decoder(int slot) = 0;
};

class PictureFeed {
 public:
  // `trace_prefix` begins the feed's trace lines ("[STREAM SESSION 2]").
  void SetTracePrefix(std::string trace_prefix) { trace_prefix_ = std::move(trace_prefix); }
  // The first `count` (1-16) entries of `map` are the display slots of
  // stream channels 1 to count; a count beyond the map is cut to its size.
  void SetChannels(std::span<const uint8_t> map, int count);
  // The stream ended: map and VOL header are cleared, the count stays.
  void ResetStream();
  // Off always succeeds. On: true when the files of at least one channel
  // were made; false when none were, with recording_failure() saying why (a
  // folder that cannot be made leaves an earlier recording running).
  bool SetRecording(bool on, bool live, const std::tm& now);

  // A payload that starts with the VOL start code: its first 19 bytes (zero
  // beyond a short one) open the decoders and reach recorders waiting for it.
  void StreamHeader(std::span<const uint8_t> payload, IPictureOutlet& outlet);
  // Any other video payload: one picture of the channel its user data names.
  void Picture(std::span<const uint8_t> payload, IPictureOutlet& outlet);

  bool recording() const;
  int channel_count() const;
  VolHeader vol_header() const;
  std::string recorder_path(int channel) const;  // .rmp of a stream channel, "" when closed
  // Why the last start of recording failed or the first write of this
  // recording that failed; empty while nothing failed.
  std::optional<RecordingFailure> recording_failure() const;

 private:
  // After a recorder's write failed, under `recorder_lock_`: keeps the first
  // failure of the recording; true when the source is still to hear of it.
  bool NoteWriteFailureLocked(const Mpeg4Recorder& recorder);
  // The slot of a stream channel; -1 when the map names none.
  int SlotOf(int channel) const;

  std::string trace_prefix_;  // set before the source starts reading

  mutable std::mutex map_lock_;
  int channel_count_ = 0;                               // guarded by map_lock_
  std::array<uint8_t, kStreamChannels> channel_map_{};  // guarded by map_lock_
  VolHeader vol_{};                                     // guarded by map_lock_

  mutable std::mutex recorder_lock_;
  bool recording_ = false;                                // guarded by recorder_lock_
  std::array<Mpeg4Recorder, kStreamChannels> recorders_;  // guarded by recorder_lock_
  std::optional<RecordingFailure> recording_failure_;     // guarded by recorder_lock_
  bool write_failure_noted_ = false;                      // guarded by recorder_lock_
};

}  // namespace vistrel
