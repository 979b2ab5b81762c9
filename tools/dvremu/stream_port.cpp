#include "tools/dvremu/stream_port.h"

#include <ctime>

#include "platform/trace.h"
#include "protocol/byte_reader.h"
#include "protocol/command_codes.h"
#include "protocol/stream_codes.h"
#include "tools/dvremu/dvr_emulator.h"
#include "tools/dvremu/playback.h"

namespace dvremu {
namespace {

namespace stream = protocol::stream;

constexpr size_t kMaxText = 259;
constexpr size_t kMaxClientPayload = 1024;

}  // namespace

StreamConnection::StreamConnection(DvrEmulator& dvr, int fd, std::string peer, int stop_fd)
    : Connection(dvr, protocol::PortKind::kStream, fd, std::move(peer), kMaxClientPayload, stop_fd) {}

void StreamConnection::OnConnected() { Send(stream::REQ_AUTHENTICATION); }

void StreamConnection::OnPacket(const protocol::PacketView& packet) {
  protocol::ByteReader reader(packet.payload());
  switch (packet.code()) {
    case stream::SNDAUTHDATA: {
      const std::string user = reader.cstring(kMaxText);
      const std::string password = reader.cstring(kMaxText);
      int level = 0;
      const uint8_t result = reader.ok() ? dvr().CheckLogon(user, password, &level) : protocol::result::kWrongUser;
      if (result == 0) {
        user_ = user;
        set_logged_on();
      }
      const uint8_t reply[1] = {result};
      Send(stream::LOGON_RESULT, reply);
      return;
    }
    case stream::REQRECSTREAM: {
      if (!logged_on()) return;
      playback_ = dvr().FindPlayback(peer(), user_);
      const uint8_t reply[1] = {static_cast<uint8_t>(playback_ ? 0 : 1)};
      Send(stream::RESP_RECSTREAM, reply);
      if (playback_) mode_ = Mode::kRecordRequested;
      return;
    }
    case stream::RCVREADY: {
      if (!logged_on()) return;
      const uint8_t kind = reader.u8();
      const auto& vol = dvr().video().vol_header();
      if (kind == stream::RCVREADY_LIVE) {
        mode_ = Mode::kLive;
        live_frame_ = 0;
        Send(stream::LIVE_VIDEO_DATA, vol);
      } else if (kind == stream::RCVREADY_REMOTEPLAY && mode_ == Mode::kRecordRequested) {
        mode_ = Mode::kRecorded;
        Send(stream::RECORD_VIDEO_DATA, vol);
      } else {
        Trace("[DVREMU] stream RCVREADY %#x from %s ignored", kind, peer().c_str());
        return;
      }
      next_picture_ = Clock::now();
      return;
    }
    default:
      Trace("[DVREMU] unknown stream command %#x from %s", packet.code(), peer().c_str());
  }
}

std::optional<Connection::Clock::time_point> StreamConnection::NextTick() {
  if (mode_ != Mode::kLive && mode_ != Mode::kRecorded) return std::nullopt;
  return next_picture_;
}

void StreamConnection::OnTick() {
  if (dvr().options().unpaced) {
    next_picture_ = Clock::now();
  } else {
    // Keep to the frame rate on average; after a long stall start afresh
    // rather than send a burst.
    const auto period = std::chrono::microseconds(1000000 / dvr().options().fps);
    next_picture_ += period;
    if (next_picture_ < Clock::now() - std::chrono::seconds(1)) next_picture_ = Clock::now() + period;
  }
  if (mode_ == Mode::kLive) {
    SendLivePictures();
  } else {
    SendRecordedPictures();
  }
}

int StreamConnection::SendPicture(uint32_t code, int channel, int64_t frame, const std::tm& time) {
  const int number = static_cast<int>(frame % kGroupLength);
  BuildPicturePayload(dvr().video(), channel, number, number, time, &scratch_);
  return Send(code, scratch_);
}

void StreamConnection::SendLivePictures() {
  const time_t now = time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const uint16_t channels = dvr().StreamedChannels(peer(), user_);
  for (int channel = 1; channel <= dvr().options().channels; ++channel) {
    if ((channels & (1u << (channel - 1))) == 0) continue;
    if (SendPicture(stream::LIVE_VIDEO_DATA, channel, live_frame_, local) != 0) return;
  }
  ++live_frame_;
}

void StreamConnection::SendRecordedPictures() {
  const int fps = dvr().options().fps;
  for (const int64_t frame : playback_->Tick()) {
    const std::tm time = playback_->file().TimeAt(frame / fps);
    for (int channel = 1; channel <= dvr().options().channels; ++channel) {
      if (SendPicture(stream::RECORD_VIDEO_DATA, channel, frame, time) != 0) return;
    }
  }
}

}  // namespace dvremu
