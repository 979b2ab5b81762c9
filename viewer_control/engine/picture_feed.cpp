#include "viewer_control/engine/picture_feed.h"

#include <algorithm>

#include "platform/trace.h"
#include "protocol/stream_codes.h"
#include "viewer_control/engine/decoder_channel.h"
#include "viewer_control/engine/picture_user_data.h"

namespace vistrel {
namespace stream = protocol::stream;

void PictureFeed::SetChannels(std::span<const uint8_t> map, int count) {
  // Never more entries than the map holds or the feed has room for.
  count = std::clamp(count, 0, static_cast<int>(std::min(map.size(), channel_map_.size())));
  std::lock_guard lock(map_lock_);
  channel_count_ = count;
  std::copy_n(map.begin(), count, channel_map_.begin());
}

void PictureFeed::ResetStream() {
  std::lock_guard lock(map_lock_);
  channel_map_.fill(0);
  vol_.fill(0);
}

bool PictureFeed::SetRecording(bool on, bool live, const std::tm& now) {
  std::lock_guard lock(recorder_lock_);
  if (!on) {
    for (auto& recorder : recorders_) recorder.Close();
    recording_ = false;
    return true;
  }
  const auto name = RecordFolderName(now);
  if (!name) {
    recording_failure_ = RecordingFailure{};
    return false;
  }
  RecordingFailure failure;
  const auto folder = MakeRecordFolder(*name, &failure);
  if (!folder) {
    Trace("[MPEG4 DECODER] Record file foder create failed !!!");
    recording_failure_ = failure;
    return false;
  }
  int count;
  std::optional<VolHeader> vol;
  {
    std::lock_guard map(map_lock_);
    count = channel_count_;
    // Zero until the stream's VOL packet came; the recorders then wait for it.
    if (std::equal(stream::kVolStart, stream::kVolStart + 4, vol_.begin())) vol = vol_;
  }
  // A new recording closes the files of the one before.
  for (auto& recorder : recorders_) recorder.Close();
  recording_failure_.reset();
  int opened = 0;
  for (int i = 0; i < count; ++i) {
    if (recorders_[i].Open(i, vol, *folder, live)) {
      ++opened;
    } else if (!recording_failure_ && recorders_[i].failure()) {
      recording_failure_ = recorders_[i].failure();
    }
  }
  if (opened == 0) {
    if (!recording_failure_) recording_failure_ = RecordingFailure{*folder, 0};
    recording_ = false;
    return false;
  }
  recording_ = true;
  write_failure_noted_ = false;
  return true;
}

bool PictureFeed::NoteWriteFailureLocked(const Mpeg4Recorder& recorder) {
  if (write_failure_noted_ || !recorder.failure()) return false;
  write_failure_noted_ = true;
  recording_failure_ = recorder.failure();
  return true;
}

void PictureFeed::StreamHeader(std::span<const uint8_t> payload, IPictureOutlet& outlet) {
  VolHeader vol{};  // a short VOL packet leaves the rest zero
  std::copy_n(payload.begin(), std::min(payload.size(), vol.size()), vol.begin());
  {
    std::lock_guard lock(map_lock_);
    vol_ = vol;
  }
  bool failed = false;
  int error = 0;
  {
    // Recorders switched on before the VOL came write it now.
    std::lock_guard lock(recorder_lock_);
    for (auto& recorder : recorders_) {
      if (!recording_ || recorder.TakeVol(vol) || !NoteWriteFailureLocked(recorder)) continue;
      failed = true;
      error = recording_failure_->error;
    }
  }
  if (failed) outlet.RecordingFailed(error);
  outlet.OpenDecoders(vol);
}

int PictureFeed::SlotOf(int channel) const {
  std::lock_guard lock(map_lock_);
  // A channel beyond the source's count has no slot of its own in the map.
  if (channel < 1 || channel > kStreamChannels || channel > channel_count_) return -1;
  return channel_map_[channel - 1];
}

void PictureFeed::Picture(std::span<const uint8_t> payload, IPictureOutlet& outlet) {
  const size_t start = FindUserData(payload);
  if (start == payload.size()) {
    Trace("%s Can't found VOP.", trace_prefix_.c_str());
    return;
  }
  const std::span<const uint8_t> picture = payload.subspan(start);
  const int channel = UserDataChannel(picture);
  const int slot = SlotOf(channel);
  if (slot < 0) {
    Trace("%s Not found channel at GetMpeg4StreamChannel().", trace_prefix_.c_str());
    return;
  }
  bool failed = false;
  int error = 0;
  {
    std::lock_guard lock(recorder_lock_);
    Mpeg4Recorder& recorder = recorders_[channel - 1];
    if (recording_ && recorder.WritePicture(payload) == 0) {
      Trace("%s Stream data Mpeg4 recording failed !!!", trace_prefix_.c_str());
      failed = NoteWriteFailureLocked(recorder);
      if (failed) error = recording_failure_->error;
    }
  }
  if (failed) outlet.RecordingFailed(error);
  if (slot >= kStreamChannels) return;  // the engine never maps beyond slot 15
  if (outlet.Decoder(slot).DecodeAndDraw(picture) == 0) {
    Trace("%s: Failed draw frame at ResponseLiveData()", trace_prefix_.c_str());
  }
}

bool PictureFeed::recording() const {
  std::lock_guard lock(recorder_lock_);
  return recording_;
}

int PictureFeed::channel_count() const {
  std::lock_guard lock(map_lock_);
  return channel_count_;
}

VolHeader PictureFeed::vol_header() const {
  std::lock_guard lock(map_lock_);
  return vol_;
}

std::string PictureFeed::recorder_path(int channel) const {
  std::lock_guard lock(recorder_lock_);
  if (channel < 0 || channel >= kStreamChannels) return {};
  return recorders_[channel].rmp_path();
}

std::optional<RecordingFailure> PictureFeed::recording_failure() const {
  std::lock_guard lock(recorder_lock_);
  return recording_failure_;
}

}  // namespace vistrel
