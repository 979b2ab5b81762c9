// The playback of one recording read from a local file or a DVR disk: the
// players' engine. It owns the recording's byte sources, sixteen decoder
// channels (stream channel n decodes in display slot n - 1) and the picture
// feed, so that its pictures are decoded, drawn and recorded by the same code
// as a DVR's stream. Forward play hands on every frame at the speed's pace;
// fast and reverse play hand on the I pictures of each group crossed; frame
// back decodes the group up to the wanted frame, as P pictures decode only
// forwards.
//
// Threads: Open, Close and every command run on the owner thread (the
// player control's UI thread, or kaviroctl's main thread). Start runs a
// worker that hands on the due frames; RunDue does the same on the caller's
// thread for tests that move the clock by hand. `lock_` guards everything
// below it and is held while a frame is read, decoded and drawn, so a
// command waits for at most one frame; the frame sink is called with it and
// a decoder channel's lock held (order: lock_, then the decoder's) and must
// not call back. The listener is called on the thread that handed the frame
// on: PositionChanged without lock_, RecordingFailed (from inside the feed)
// with it held, so that one must only hand the news on.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "client/media/engine/byte_source.h"
#include "client/media/engine/recorded_media.h"
#include "platform/bounded_worker.h"
#include "viewer_control/engine/decoder_channel.h"
#include "viewer_control/engine/picture_feed.h"
#include "viewer_control/engine/play_direction.h"
#include "viewer_control/engine/playback_pace.h"

namespace media {

using PlayMode = vistrel::PlayDirection;

class IPlaybackListener {
 public:
  virtual ~IPlaybackListener() = default;
  // The second within the hour of the frame just handed on, when it changed.
  virtual void PositionChanged(int second_in_hour) = 0;
  // A write of the recording failed (errno); once per recording.
  virtual void RecordingFailed(int error) = 0;
};

class MediaPlayback final : private vistrel::IPictureOutlet {
 public:
  MediaPlayback(const vistrel::IPlaybackClock& clock, vistrel::IFrameSink* frames);
  ~MediaPlayback() override;
  MediaPlayback(const MediaPlayback&) = delete;
  MediaPlayback& operator=(const MediaPlayback&) = delete;

  void SetListener(IPlaybackListener* listener) { listener_ = listener; }
  // Takes a recording and its sources (RecordedPicture::source indexes them),
  // opens the decoders with its VOL header and stands at its start, stopped.
  // `pictures_per_second` is the recorded rate (30 NTSC, 25 PAL).
  bool Open(RecordedMedia media, std::vector<std::unique_ptr<IByteSource>> sources, int pictures_per_second);
  // Ends the worker and recording, closes the decoders and drops the recording.
  void Close();
  bool is_open() const;

  // Starts the worker that plays while a running mode is set; false when no
  // thread could be made (commands still work, nothing plays by itself).
  bool Start();
  // Forward, reverse and the fast modes run at the pace; the frame modes
  // step once and stop. Stopped stays where it is.
  void SetMode(PlayMode mode);
  PlayMode mode() const;
  // One of the speed values 1, 2, 4, 8 (as recorded), 16.
  void SetSpeed(int speed);
  // Moves to the group at the first frame at or after the second within the
  // hour; false when the recording holds none.
  bool JumpTo(int second_in_hour);
  // Hands on the frames due at the clock's time; the count handed on.
  int RunDue();
  // Hands on one frame now, whatever the mode: the frame at `frame`, after
  // the pictures its decoding needs. False beyond the recording.
  bool ShowFrame(size_t frame);
  // Records what is played, as a stream session records what it receives.
  bool SetRecording(bool on, const std::tm& now);
  bool recording() const { return feed_.recording(); }
  std::string recorder_path(int channel) const { return feed_.recorder_path(channel); }

  int channel_count() const;
  // The frame last handed on; nothing before the first.
  std::optional<size_t> frame() const;
  size_t frame_count() const;
  int frames_handed_on() const;
  vistrel::DecoderChannel& decoder(int slot) { return decoders_[static_cast<size_t>(slot)]; }
  // Owner thread: only Open and Close change it.
  const RecordedMedia& media() const { return media_; }

 private:
  // IPictureOutlet, called by the feed.
  void OpenDecoders(const vistrel::VolHeader& vol) override;
  void RecordingFailed(int error) override;
  vistrel::DecoderChannel& Decoder(int slot) override { return decoders_[static_cast<size_t>(slot)]; }

  // Under lock_: the frame the mode hands on next; nothing at the end.
  std::optional<size_t> NextFrameLocked() const;
  size_t GroupStartLocked(size_t frame) const;
  // Under lock_: reads and hands on the frames [from, to], the last one
  // becoming the current frame; the second to announce when it changed.
  std::optional<int> HandOnLocked(size_t from, size_t to);
  void Notify(std::optional<int> second);
  void ResetPaceLocked();
  void WorkerBody();

  const vistrel::IPlaybackClock& clock_;
  vistrel::IFrameSink* frames_;
  IPlaybackListener* listener_ = nullptr;  // set before Open
  std::array<vistrel::DecoderChannel, 16> decoders_;
  vistrel::PictureFeed feed_;

  mutable std::mutex lock_;
  std::condition_variable wake_;
  RecordedMedia media_;                                // guarded by lock_
  std::vector<std::unique_ptr<IByteSource>> sources_;  // guarded by lock_
  int pictures_per_second_ = 30;                       // guarded by lock_
  std::unique_ptr<vistrel::PlaybackPace> pace_;        // guarded by lock_
  int speed_ = vistrel::kSpeedAsRecorded;              // guarded by lock_
  PlayMode mode_ = PlayMode::kStopped;                 // guarded by lock_
  std::optional<size_t> current_;                      // guarded by lock_
  int last_second_ = -1;                               // guarded by lock_
  int handed_on_ = 0;                                  // guarded by lock_
  bool open_ = false;                                  // guarded by lock_
  bool stopping_ = false;                              // guarded by lock_
  std::vector<uint8_t> buffer_;                        // guarded by lock_

  platform::BoundedWorker worker_;  // last: its body uses the members above
};

}  // namespace media
