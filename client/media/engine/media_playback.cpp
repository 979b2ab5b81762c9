#include "client/media/engine/media_playback.h"

#include <algorithm>
#include <chrono>

#include "platform/trace.h"

namespace media {
namespace {

// Reverse play crosses one group per recorded second at speed x1; the fast
// modes four groups.
constexpr int kReverseGroupsPerSecond = 1;
constexpr int kFastGroupsPerSecond = 4;
// The worker looks at the clock at least this often, so a clock moved by
// hand is followed without a wake-up.
constexpr auto kLongestSleep = std::chrono::milliseconds(20);
constexpr auto kWorkerStopBound = std::chrono::milliseconds(2000);

bool Runs(PlayMode mode) {
  return mode == PlayMode::kForward || mode == PlayMode::kReverse || mode == PlayMode::kFastForward ||
         mode == PlayMode::kFastReverse;
}

}  // namespace

MediaPlayback::MediaPlayback(const vistrel::IPlaybackClock& clock, vistrel::IFrameSink* frames)
    : clock_(clock), frames_(frames) {
  for (int slot = 0; slot < 16; ++slot) {
    decoders_[static_cast<size_t>(slot)].Bind(slot);
    decoders_[static_cast<size_t>(slot)].SetFrameSink(frames_);
  }
  feed_.SetTracePrefix("[MEDIA PLAYER]");
}

MediaPlayback::~MediaPlayback() { Close(); }

bool MediaPlayback::Open(RecordedMedia media, std::vector<std::unique_ptr<IByteSource>> sources,
                         int pictures_per_second) {
  Close();
  if (!media.has_vol || media.pictures.empty()) return false;
  for (const auto& picture : media.pictures) {
    if (picture.source >= sources.size() || !sources[picture.source]) return false;
  }
  const vistrel::VolHeader vol = media.vol;
  // Stream channel n shows in slot n - 1; a recording makes files for the
  // recording's channels only.
  std::array<uint8_t, 16> map;
  for (int i = 0; i < 16; ++i) map[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
  feed_.SetChannels(map, media.highest_channel);
  {
    std::lock_guard lock(lock_);
    media_ = std::move(media);
    sources_ = std::move(sources);
    pictures_per_second_ = pictures_per_second == 25 ? 25 : 30;
    speed_ = vistrel::kSpeedAsRecorded;
    mode_ = PlayMode::kStopped;
    current_.reset();
    last_second_ = -1;
    handed_on_ = 0;
    open_ = true;
    stopping_ = false;
    ResetPaceLocked();
  }
  // The decoders open on this thread: the owner's, as for a stream's VOL packet.
  feed_.StreamHeader(vol, *this);
  return true;
}

void MediaPlayback::Close() {
  {
    std::lock_guard lock(lock_);
    stopping_ = true;
    mode_ = PlayMode::kStopped;
  }
  wake_.notify_all();
  if (worker_.joinable() && !worker_.JoinWithin(kWorkerStopBound)) {
    // A frame sink that does not return holds the worker; what it uses is ours.
    Trace("[MEDIA PLAYER] Playback thread did not end in time");
    worker_.WaitFinished();
  }
  feed_.SetRecording(false, false, std::tm{});
  for (auto& decoder : decoders_) decoder.Close();
  std::lock_guard lock(lock_);
  open_ = false;
  media_ = RecordedMedia{};
  sources_.clear();
  current_.reset();
}

bool MediaPlayback::is_open() const {
  std::lock_guard lock(lock_);
  return open_;
}

bool MediaPlayback::Start() {
  {
    std::lock_guard lock(lock_);
    if (!open_) return false;
    stopping_ = false;
  }
  return worker_.Start([this] { WorkerBody(); });
}

void MediaPlayback::OpenDecoders(const vistrel::VolHeader& vol) {
  for (auto& decoder : decoders_) {
    decoder.Close();
    if (decoder.Open(vol) == 1) decoder.Start();
  }
}

void MediaPlayback::RecordingFailed(int error) {
  if (listener_ != nullptr) listener_->RecordingFailed(error);
}

void MediaPlayback::ResetPaceLocked() {
  int rate = pictures_per_second_;
  if (mode_ == PlayMode::kReverse) rate = kReverseGroupsPerSecond;
  if (mode_ == PlayMode::kFastForward || mode_ == PlayMode::kFastReverse) rate = kFastGroupsPerSecond;
  pace_ = std::make_unique<vistrel::PlaybackPace>(clock_, rate);
  pace_->SetSpeed(speed_);
}

void MediaPlayback::SetMode(PlayMode mode) {
  std::optional<int> second;
  {
    std::lock_guard lock(lock_);
    if (!open_) return;
    if (mode == PlayMode::kFrameForward || mode == PlayMode::kFrameBack) {
      mode_ = mode;
      const size_t count = media_.frame_count();
      if (mode == PlayMode::kFrameForward) {
        const size_t next = current_ ? *current_ + 1 : 0;
        if (next < count) second = HandOnLocked(next, next);
      } else if (current_ && *current_ > 0) {
        const size_t wanted = *current_ - 1;
        second = HandOnLocked(GroupStartLocked(wanted), wanted);
      }
    } else {
      mode_ = mode;
      ResetPaceLocked();
    }
  }
  wake_.notify_all();
  Notify(second);
}

PlayMode MediaPlayback::mode() const {
  std::lock_guard lock(lock_);
  return mode_;
}

void MediaPlayback::SetSpeed(int speed) {
  std::lock_guard lock(lock_);
  if (speed < 1 || speed > 16 || (speed & (speed - 1)) != 0) return;
  speed_ = speed;
  if (pace_) pace_->SetSpeed(speed);
}

bool MediaPlayback::JumpTo(int second_in_hour) {
  std::optional<int> second;
  {
    std::lock_guard lock(lock_);
    if (!open_) return false;
    size_t frame = 0;
    while (frame < media_.frame_count() &&
           media_.pictures[media_.frame_begin(frame)].second_in_hour() < second_in_hour) {
      ++frame;
    }
    if (frame >= media_.frame_count()) return false;
    const size_t start = GroupStartLocked(frame);
    second = HandOnLocked(start, start);
    ResetPaceLocked();
  }
  Notify(second);
  return true;
}

size_t MediaPlayback::GroupStartLocked(size_t frame) const {
  while (frame > 0 && !media_.pictures[media_.frame_begin(frame)].is_intra()) --frame;
  return frame;
}

std::optional<size_t> MediaPlayback::NextFrameLocked() const {
  const size_t count = media_.frame_count();
  auto intra = [&](size_t frame) { return media_.pictures[media_.frame_begin(frame)].is_intra(); };
  switch (mode_) {
    case PlayMode::kForward: {
      const size_t next = current_ ? *current_ + 1 : 0;
      return next < count ? std::optional(next) : std::nullopt;
    }
    case PlayMode::kFastForward: {
      size_t next = current_ ? *current_ + 1 : 0;
      while (next < count && !intra(next)) ++next;
      return next < count ? std::optional(next) : std::nullopt;
    }
    case PlayMode::kReverse:
    case PlayMode::kFastReverse: {
      // Inside a group its own I picture comes first, then the group before.
      if (!current_) return std::nullopt;
      const size_t start = GroupStartLocked(*current_);
      if (start != *current_) return start;
      if (start == 0) return std::nullopt;
      return GroupStartLocked(start - 1);
    }
    default:
      return std::nullopt;
  }
}

std::optional<int> MediaPlayback::HandOnLocked(size_t from, size_t to) {
  for (size_t frame = from; frame <= to; ++frame) {
    for (size_t i = media_.frame_begin(frame); i < media_.frame_end(frame); ++i) {
      const RecordedPicture& picture = media_.pictures[i];
      buffer_.resize(picture.length);
      if (!sources_[picture.source]->ReadAt(picture.offset, buffer_)) {
        Trace("[MEDIA PLAYER] Read error at %llu", static_cast<unsigned long long>(picture.offset));
        continue;
      }
      feed_.Picture(buffer_, *this);
      ++handed_on_;
    }
  }
  current_ = to;
  const int second = media_.pictures[media_.frame_begin(to)].second_in_hour();
  if (second == last_second_) return std::nullopt;
  last_second_ = second;
  return second;
}

void MediaPlayback::Notify(std::optional<int> second) {
  if (second && listener_ != nullptr) listener_->PositionChanged(*second);
}

int MediaPlayback::RunDue() {
  int count = 0;
  for (;;) {
    std::optional<int> second;
    {
      std::lock_guard lock(lock_);
      if (!open_ || !Runs(mode_) || !pace_ || pace_->UntilNext().count() > 0) return count;
      const auto next = NextFrameLocked();
      if (!next) return count;  // at either end: the mode stays, nothing more is due
      second = HandOnLocked(*next, *next);
      pace_->Taken();
    }
    ++count;
    Notify(second);
  }
}

bool MediaPlayback::ShowFrame(size_t frame) {
  std::optional<int> second;
  {
    std::lock_guard lock(lock_);
    if (!open_ || frame >= media_.frame_count()) return false;
    second = HandOnLocked(GroupStartLocked(frame), frame);
  }
  Notify(second);
  return true;
}

void MediaPlayback::WorkerBody() {
  for (;;) {
    RunDue();
    std::unique_lock lock(lock_);
    if (stopping_) return;
    auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(kLongestSleep);
    if (Runs(mode_) && pace_ && NextFrameLocked()) {
      wait = std::min(wait, std::chrono::duration_cast<std::chrono::milliseconds>(pace_->UntilNext()));
    }
    wake_.wait_for(lock, wait, [this] { return stopping_; });
    if (stopping_) return;
  }
}

bool MediaPlayback::SetRecording(bool on, const std::tm& now) {
  // Played pictures are recorded as a DVR's playback stream is: "PLAY" files.
  return feed_.SetRecording(on, /*live=*/false, now);
}

int MediaPlayback::channel_count() const {
  std::lock_guard lock(lock_);
  return open_ ? media_.channel_count() : 0;
}

std::optional<size_t> MediaPlayback::frame() const {
  std::lock_guard lock(lock_);
  return current_;
}

size_t MediaPlayback::frame_count() const {
  std::lock_guard lock(lock_);
  return media_.frame_count();
}

int MediaPlayback::frames_handed_on() const {
  std::lock_guard lock(lock_);
  return handed_on_;
}

}  // namespace media
