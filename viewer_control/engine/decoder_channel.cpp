#include "viewer_control/engine/decoder_channel.h"

#include <cstdio>

#include "platform/trace.h"
#include "viewer_control/engine/mpeg4_decoder.h"
#include "viewer_control/engine/picture_user_data.h"

namespace vistrel {
namespace {

constexpr uint8_t kVopCode = 0xB6;
constexpr int kLastPictureOfGroup = 29;
constexpr int kMaxPictureWidth = 720;
constexpr int kMaxPictureHeight = 576;

}  // namespace

DecoderChannel::DecoderChannel() = default;
DecoderChannel::~DecoderChannel() = default;

void DecoderChannel::Bind(int slot) { slot_ = slot; }

void DecoderChannel::SetFrameSink(IFrameSink* sink) {
  std::lock_guard lock(lock_);
  if (sink == sink_) return;
  ReleasePictureLocked();
  sink_ = sink;
}

void DecoderChannel::ReleasePictureLocked() {
  if (sink_ != nullptr && sink_holds_picture_) sink_->ReleasePicture(slot_);
  sink_holds_picture_ = false;
}

int DecoderChannel::Open(std::span<const uint8_t> vol_header) {
  std::lock_guard lock(lock_);
  if (open_ || decoder_) CloseLocked();

  VolInfo vol;
  if (!FindVol(vol_header, &vol)) {
    Trace("Can't find MPEG-4 VOL(Video Object Layer) at channel %d.", slot_);
    CloseLocked();
    return 0;
  }
  // The DVR sends at most D1 (720x576); a larger announced size is refused
  // before the decoder allocates pictures of it.
  if (vol.width % 16 != 0 || vol.height % 16 != 0 || vol.width > kMaxPictureWidth || vol.height > kMaxPictureHeight) {
    Trace("VOP header has unsupported image size: %dx%d at channel %d.", vol.width, vol.height, slot_);
    CloseLocked();
    return 0;
  }
  decoder_ = Mpeg4Decoder::Create(vol.width, vol.height, vol_header);
  if (!decoder_) {
    Trace("Can't initialize decoder at channel %d.", slot_);
    CloseLocked();
    return 0;
  }
  if (!decoder_->AllocateFrameBuffer()) {
    Trace("Can't allocate frame buffer at channel %d.", slot_);
    CloseLocked();
    return 0;
  }
  width_ = vol.width;
  height_ = vol.height;
  post_processing_ = 0;
  colour_ = ColourSettings{};
  playing_ = false;
  open_ = true;
  return 1;
}

int DecoderChannel::Start() {
  std::lock_guard lock(lock_);
  if (!open_) return 0;
  if (!playing_) Trace("Channel %d, Mpeg4 decoder play !!!.", slot_);
  playing_ = true;
  return 1;
}

void DecoderChannel::Close() {
  std::lock_guard lock(lock_);
  CloseLocked();
}

void DecoderChannel::CloseLocked() {
  open_ = false;
  playing_ = false;
  synchronised_ = false;
  // The sink may point into the decoder's planes.
  ReleasePictureLocked();
  decoder_.reset();
  Trace("Channel %d, Mpeg4 decoder close !!!.", slot_);
}

bool DecoderChannel::VerifyUserData(std::span<const uint8_t> data) {
  const size_t start = FindUserData(data);
  if (start == data.size()) {
    Trace("[MPEG4DECODER] channel: %d, not matching mpeg4 user data sync byte.", slot_);
    Trace("Channel: %d Failed to Mpeg4 user data at VerifyMpeg4UserData().", slot_);
    return false;
  }
  // User data cut short carries no picture number or date to trust.
  const auto stamp = ReadPictureStamp(data.subspan(start));
  if (!stamp) {
    Trace("Channel: %d Failed to Mpeg4 user data at VerifyMpeg4UserData().", slot_);
    return false;
  }
  const int number = stamp->number;
  if (number == 0) synchronised_ = true;
  const PictureTime& time = stamp->time;
  std::snprintf(date_text_.data(), date_text_.size(), "%04d/%02d/%02d  %02d:%02d:%02d", time.year + 1900, time.month,
                time.day, time.hour, time.minute, time.second);
  if (number == kLastPictureOfGroup && synchronised_) {
    // The group's last picture is shown; the next one waits for a new group.
    synchronised_ = false;
    return true;
  }
  if (!synchronised_) {
    Trace("[MPEG4DECODER] channel: %d, not decode I frame, frame number %d", slot_, number);
    Trace("Channel: %d Failed to Mpeg4 user data at VerifyMpeg4UserData().", slot_);
    return false;
  }
  return true;
}

int DecoderChannel::DecodeAndDraw(std::span<const uint8_t> data) {
  std::lock_guard lock(lock_);
  if (!open_ || !playing_ || data.empty()) return 1;
  if (!VerifyUserData(data)) return 1;

  const size_t vop = FindStartCode(data, kVopCode);
  if (vop == data.size()) {
    Trace("Channel: %d Can't find MPEG-4 VOL (Video Object Layer) at Network packet.", slot_);
    return 1;
  }
  PlanarPicture picture;
  if (decoder_->Decode(data.subspan(vop), &picture) < 0) {
    Trace("Channel: %d, Mpeg4 decode error.", slot_);
    return 1;
  }
  pictures_drawn_.fetch_add(1, std::memory_order_relaxed);
  if (sink_ == nullptr) return 1;
  picture.post_processing = post_processing_;
  const int32_t result = sink_->DrawPicture(slot_, picture, date_text_.data());
  sink_holds_picture_ = true;
  if (result < 0 && result != kDrawWrongMode && result != kDrawExclusiveModeAlreadySet) {
    Trace("Channel: %d Drawing error.(0x%08X)", slot_, static_cast<unsigned>(result));
    // Nothing more is drawn until the next VOL packet opens the channel again.
    open_ = false;
  }
  return 1;
}

ColourSettings DecoderChannel::colour() const {
  std::lock_guard lock(lock_);
  return colour_;
}

void DecoderChannel::SetColour(const ColourSettings& colour) {
  std::lock_guard lock(lock_);
  if (decoder_) decoder_->SetColour(colour);
  colour_ = colour;
}

int DecoderChannel::post_processing() const {
  std::lock_guard lock(lock_);
  return post_processing_;
}

void DecoderChannel::SetPostProcessing(int flags) {
  std::lock_guard lock(lock_);
  post_processing_ = flags & 0x0F;
}

bool DecoderChannel::is_open() const {
  std::lock_guard lock(lock_);
  return open_;
}

bool DecoderChannel::is_playing() const {
  std::lock_guard lock(lock_);
  return playing_;
}

int DecoderChannel::width() const {
  std::lock_guard lock(lock_);
  return width_;
}

int DecoderChannel::height() const {
  std::lock_guard lock(lock_);
  return height_;
}

std::string DecoderChannel::date_text() const {
  std::lock_guard lock(lock_);
  return date_text_.data();
}

}  // namespace vistrel
