#include "tools/dvremu/command_port.h"

#include <ctime>

#include "platform/trace.h"
#include "protocol/byte_reader.h"
#include "protocol/command_codes.h"
#include "protocol/payload.h"
#include "tools/dvremu/dvr_emulator.h"
#include "tools/dvremu/playback.h"

namespace dvremu {
namespace {

namespace cmd = protocol::cmd;

constexpr uint8_t kFailure = 0x01;
constexpr uint8_t kNoSuchFile = 1;
constexpr size_t kMaxText = 127;

std::tm LocalNow() {
  const time_t now = time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

// Two-digit year of a BCD byte, as a full year in this century.
int FullYear(int two_digits) { return 2000 + two_digits; }

}  // namespace

CommandConnection::CommandConnection(DvrEmulator& dvr, int fd, std::string peer, int stop_fd)
    : Connection(dvr, protocol::PortKind::kCommand, fd, std::move(peer), protocol::kCommandMaxPayload, stop_fd) {}

void CommandConnection::OnConnected() { Send(cmd::REQ_AUTHENTICATION); }

void CommandConnection::ReplyResult(uint32_t code, uint8_t result) {
  const uint8_t payload[1] = {result};
  Reply(code, payload);
}

void CommandConnection::OnPacket(const protocol::PacketView& packet) {
  const auto payload = packet.payload();
  const uint32_t code = packet.code();
  if (code == cmd::AUTH_DATA) return OnAuthData(payload);
  if (code == cmd::KEEP_ALIVE) return;
  if (!logged_on()) {
    Trace("[DVREMU] command %#x before logon from %s ignored", code, peer().c_str());
    return;
  }
  dvr().NoteReceived({peer(), user_, code, std::vector<uint8_t>(payload.begin(), payload.end())});
  switch (code) {
    case cmd::REQ_LIVESTREAM:
      return OnLiveStream();
    case cmd::CHANNEL_CHANGE:
      return OnChannelChange(payload);
    case cmd::REQ_STOP_LIVESTREAM:
      return ReplyResult(cmd::RESP_STOP_LIVESTREAM, protocol::result::kStopLiveConfirmed);
    case cmd::REQ_SEARCH:
      return OnSearch();
    case cmd::REQ_MONTHINFO:
      return OnMonthInfo(payload);
    case cmd::REQ_RECDAYINFO:
      return OnDayInfo(payload);
    case cmd::REQ_PLAYBACK:
      return OnPlayback(payload);
    case cmd::REQ_RECSTATUSBAR:
    case cmd::REQ_TRICKMODE:
    case cmd::REQ_JUMPSTREAM:
    case cmd::REQ_STOP_RECSTREAM:
    case cmd::REQ_REVERSE_PLAYBACK:
    case cmd::REQ_FORWARD_PLAYBACK:
      return OnPlaybackControl(code, payload);
    case cmd::REQ_PANTILT:
      return;  // the cameras are painted; nothing moves
    case cmd::REQ_LOGFILE_BY_DATE:
      return OnLogByDate(payload);
    case cmd::REQ_DVR_STATUS: {
      protocol::PayloadWriter out;
      out.u8(0);
      const auto block = BuildStatusBlock(dvr().service_setting(), dvr().bound_address(), dvr().options().channels);
      out.raw(block.data(), block.size());
      Reply(cmd::RESP_DVR_STATUS, out.bytes());
      return;
    }
    case cmd::BYPASS:
      return OnBypass(payload);
    default:
      Trace("[DVREMU] unknown command %#x from %s", code, peer().c_str());
  }
}

void CommandConnection::OnAuthData(std::span<const uint8_t> payload) {
  protocol::ByteReader reader(payload);
  const std::string user = reader.cstring(kMaxText);
  const std::string password = reader.cstring(kMaxText);
  int level = 0;
  const uint8_t result = reader.ok() ? dvr().CheckLogon(user, password, &level) : protocol::result::kWrongUser;
  if (result != protocol::result::kSuccess) {
    ReplyResult(cmd::LOGON_RESULT, result);
    return;
  }
  user_ = user;
  set_logged_on();
  const uint8_t reply[2] = {0, static_cast<uint8_t>(level)};
  Reply(cmd::LOGON_RESULT, reply);
}

void CommandConnection::OnLiveStream() {
  const auto& options = dvr().options();
  const uint8_t reply[4] = {0, options.pantilt_mask, 0, static_cast<uint8_t>(options.channels)};
  if (Reply(cmd::RESP_LIVESTREAM, reply) != 0) return;
  // The record event type of each channel follows once the stream is on.
  protocol::PayloadWriter types;
  types.u8(0).u8(protocol::bypass::kRecordEventType);
  static constexpr uint8_t kTypes[] = {1, 2, 4, 8};
  for (int channel = 0; channel < options.channels; ++channel) types.u8(kTypes[channel % 4]);
  Send(cmd::BYPASS_REPLY, types.bytes());
}

void CommandConnection::OnChannelChange(std::span<const uint8_t> payload) {
  protocol::ByteReader reader(payload);
  const uint8_t mask = reader.u8();
  if (!reader.ok()) return ReplyResult(cmd::RESP_CHANNEL_CHANGE, kFailure);
  dvr().SetChannelMask(peer(), user_, mask);
  ReplyResult(cmd::RESP_CHANNEL_CHANGE, 0);
}

void CommandConnection::OnSearch() {
  const std::tm now = LocalNow();
  protocol::PayloadWriter out;
  out.u8(0).u32le(dvr().recordings().MonthMask(now.tm_year + 1900, now.tm_mon + 1));
  out.u8(dvr().search_channels().value_or(static_cast<uint8_t>(dvr().options().channels)));
  Reply(cmd::RESP_SEARCH, out.bytes());
}

void CommandConnection::OnMonthInfo(std::span<const uint8_t> payload) {
  protocol::ByteReader reader(payload);
  reader.u8();
  const int year = FullYear(reader.bcd());
  const int month = reader.bcd();
  if (!reader.ok()) return ReplyResult(cmd::RESP_RECMONTHINFO, kFailure);
  protocol::PayloadWriter out;
  out.u8(0).u32le(dvr().recordings().MonthMask(year, month));
  Reply(cmd::RESP_RECMONTHINFO, out.bytes());
}

void CommandConnection::OnDayInfo(std::span<const uint8_t> payload) {
  protocol::ByteReader reader(payload);
  reader.u8();
  const int year = FullYear(reader.bcd());
  const int month = reader.bcd();
  const int day = reader.bcd();
  if (!reader.ok()) return ReplyResult(cmd::RESP_RECDAYINFO, kFailure);
  protocol::PayloadWriter out;
  out.u8(0);
  for (const RecordFile* file : dvr().recordings().Day(year, month, day)) {
    const auto record = BuildFileRecord(*file);
    if (out.bytes().size() + record.size() > protocol::kCommandMaxPayload) break;
    out.raw(record.data(), record.size());
  }
  Reply(cmd::RESP_RECDAYINFO, out.bytes());
}

void CommandConnection::OnPlayback(std::span<const uint8_t> payload) {
  if (const auto reason = dvr().TakePlaybackRefusal()) {
    const uint8_t reply[2] = {kFailure, *reason};
    Reply(cmd::RESP_PLAYBACK, reply);
    return;
  }
  const auto request = FindRequestedStretch(dvr().recordings(), dvr().options().fps, payload);
  if (!request) {
    const uint8_t reply[2] = {kFailure, kNoSuchFile};
    Reply(cmd::RESP_PLAYBACK, reply);
    return;
  }
  playback_ = std::make_shared<Playback>(*request->file, request->stretch, dvr().options().fps);
  dvr().SetPlayback(peer(), user_, playback_);
  next_clock_ = Clock::now() + std::chrono::seconds(1);
  ReplyResult(cmd::RESP_PLAYBACK, 0);
}

void CommandConnection::OnPlaybackControl(uint32_t code, std::span<const uint8_t> payload) {
  protocol::ByteReader reader(payload);
  const uint8_t first = reader.u8();
  const int second = reader.bcd();
  const uint8_t raw_second = payload.size() > 1 ? payload[1] : 0;
  if (code == cmd::REQ_STOP_RECSTREAM) {
    // 0x33 closes the record stream, 0x08 only stops it; the byte echoes.
    if (playback_) playback_->Stop();
    if (first == protocol::sub::kCloseRecStream) {
      playback_.reset();
      dvr().SetPlayback(peer(), user_, nullptr);
    }
    ReplyResult(cmd::RESP_STOP_RECSTREAM, first);
    return;
  }
  if (!playback_) {
    const uint32_t reply_code = code == cmd::REQ_RECSTATUSBAR       ? cmd::RESP_RECSTATUSBAR
                                : code == cmd::REQ_TRICKMODE        ? cmd::RESP_TRICKMODE
                                : code == cmd::REQ_JUMPSTREAM       ? cmd::RESP_JUMPSTREAM
                                : code == cmd::REQ_REVERSE_PLAYBACK ? cmd::RESP_REVERSE_PLAYBACK
                                                                    : cmd::RESP_FORWARD_PLAYBACK;
    return ReplyResult(reply_code, kFailure);
  }
  switch (code) {
    case cmd::REQ_RECSTATUSBAR:
      return ReplyResult(cmd::RESP_RECSTATUSBAR, 0);
    case cmd::REQ_TRICKMODE:
      playback_->Step(first == protocol::sub::kTrickForward ? 1 : -1);
      return ReplyResult(cmd::RESP_TRICKMODE, 0);
    case cmd::REQ_JUMPSTREAM:
      if (!reader.ok()) return ReplyResult(cmd::RESP_JUMPSTREAM, kFailure);
      playback_->JumpToMinute(second);
      return ReplyResult(cmd::RESP_JUMPSTREAM, 0);
    case cmd::REQ_REVERSE_PLAYBACK:
    case cmd::REQ_FORWARD_PLAYBACK: {
      const bool forward = code == cmd::REQ_FORWARD_PLAYBACK;
      if (forward) {
        playback_->Forward(raw_second);
      } else {
        playback_->Reverse(raw_second);
      }
      next_clock_ = Clock::now() + std::chrono::seconds(1);
      // The speed steps between normal and fast get the speed reply.
      const bool speed_change = raw_second != 0x01 && raw_second != 0x20;
      return ReplyResult(speed_change ? cmd::RESP_SPEED_PLAYBACK
                         : forward    ? cmd::RESP_FORWARD_PLAYBACK
                                      : cmd::RESP_REVERSE_PLAYBACK,
                         0);
    }
  }
}

std::optional<Connection::Clock::time_point> CommandConnection::NextTick() {
  if (!playback_ || !playback_->playing()) return std::nullopt;
  return next_clock_;
}

void CommandConnection::OnTick() {
  // The playback clock, once a second while playing.
  next_clock_ = Clock::now() + std::chrono::seconds(1);
  const int position = playback_->position_in_hour_s();
  protocol::PayloadWriter out;
  out.u8(0).u8(protocol::bypass::kPlaybackPosition).bcd(position / 60 % 60).bcd(position % 60);
  Send(cmd::BYPASS_REPLY, out.bytes());
}

void CommandConnection::OnLogByDate(std::span<const uint8_t> payload) {
  protocol::ByteReader reader(payload);
  reader.u8();
  const int year = FullYear(reader.bcd());
  const int month = reader.bcd();
  const int day = reader.bcd();
  const uint32_t page = reader.u32le();
  if (!reader.ok()) return ReplyResult(cmd::RESP_LOGFILE_BY_DATE, kFailure);
  const std::tm now = LocalNow();
  const int today = (now.tm_year + 1900) * 10000 + (now.tm_mon + 1) * 100 + now.tm_mday;
  const auto log = DayLog(dvr().options().seed, year, month, day, today);
  Reply(cmd::RESP_LOGFILE_BY_DATE, BuildLogPage(log, page));
}

void CommandConnection::OnBypass(std::span<const uint8_t> payload) {
  protocol::ByteReader reader(payload);
  const uint8_t letter = reader.u8();
  const uint8_t sub = reader.u8();
  if (!reader.ok() || letter != protocol::sub::kBypass) {
    Trace("[DVREMU] malformed BYPASS from %s", peer().c_str());
    return;
  }
  switch (sub) {
    case protocol::bypass::kEmailSetting: {
      const auto setting = ParseServiceSetting(reader.rest());
      if (setting) dvr().set_service_setting(*setting);
      const uint8_t reply[2] = {setting ? uint8_t{0} : kFailure, protocol::bypass::kEmailSetting};
      Reply(cmd::BYPASS_REPLY, reply);
      return;
    }
    case protocol::bypass::kStopAlarmOut:
      Trace("[DVREMU] alarm out stopped by %s", peer().c_str());
      return;
    case protocol::bypass::kLight: {
      const uint8_t ask = reader.u8();
      const uint8_t value = reader.u8();
      if (!reader.ok()) {
        const uint8_t reply[3] = {kFailure, protocol::bypass::kLight, 0};
        Reply(cmd::BYPASS_REPLY, reply);
        return;
      }
      const uint8_t lights = ask == 0x00 ? dvr().SetLights(value) : dvr().lights();
      const uint8_t reply[3] = {0, protocol::bypass::kLight, lights};
      Reply(cmd::BYPASS_REPLY, reply);
      return;
    }
    default:
      Trace("[DVREMU] unknown BYPASS sub-code %#x from %s", sub, peer().c_str());
  }
}

}  // namespace dvremu
