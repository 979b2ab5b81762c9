#include "client/sessions/search_session.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>
#include <vector>

#include "client/sessions/dvr_services.h"
#include "client/sessions/search_viewer.h"
#include "platform/result_codes.h"
#include "platform/string_table.h"
#include "platform/trace.h"
#include "protocol/command_codes.h"
#include "protocol/command_replies.h"
#include "protocol/payload.h"
#include "protocol/search_replies.h"
#include "protocol/service_replies.h"

namespace sessions {
namespace {

namespace cmd = protocol::cmd;
namespace sub = protocol::sub;

constexpr int kSearchIndex = 0;
constexpr int kMonthListTextId = 169;
constexpr int kSelectFileTextId = 172;
constexpr int kSelectStatusTextId = 173;
constexpr int kPermissionDeniedTextId = 213;
constexpr int kMotionAlertText = 182;
constexpr int kSensorAlertText = 183;
constexpr int kFirstAlarm = 1;
constexpr int kLastAlarm = 8;

// The search mode's lines name no index where the session is always 0:
// "%.0d" prints nothing for it and keeps the core's argument order.
constexpr CommandSessionTexts kSearchTexts = {
    .tag = "SEARCH SESSION",
    .logon_data_full = "[SEARCH DVR %d] Search logon data %s : %s, Port : %d, Username : %s, Password : %s",
    .logon_data_address = "[SEARCH DVR %d] Search logon data %s : %s, Port : %d",
    .logon_typed = "[SEARCH DVR%.0d] Search logon UserName: %s, Password : %s",
    .logon_send_failed = "[SEARCH DVR%.0d] Search command socket logon data send failed !!!",
    .auth_send_failed = "[SEARCH SESSION %d] Send authentication data failed !!!",
    .in_use = "[SEARCH SESSION %d] Search session in use; connection request refused.",
    .already_connected = "[SEARCH SESSION %d] Search command port already connected !!!",
    .open_failed = "[SEARCH SESSION %d] Search command socket connection failed !!!",
    .socket_connected = "[SEARCH SESSION %d] Search command port socket connect !!!",
    .socket_closed = "[SEARCH SESSION %d] Search command port socket close !!!",
    .receive_failed = "[SEARCH SESSION %d] Search command socket read error !!!",
    .parse_code = "[SEARCH SESSION %d] Search Command Protocol parse code : %#x",
    .auth_requested = "[SEARCH SESSION %d] Search Command Protocol RequestAuthentication !!!",
    .admin_notice = "[SEARCH SESSION %d] The administrator is using the DVR System. PC Client Network Disconnect!!!",
    .keep_alive_sent = "[SEARCH DVR %d] Send keep alive message !!!",
    .keep_alive_started = "[SEARCH DVR %d] Start keep alive message !!!",
    .keep_alive_stopped = "[SEARCH DVR %d] Stop keep alive message !!!",
    .dvr_notice = "[SEARCH DVR %d] %s",
    .dvr_notice_info = "[LIVE DVR %d] %s",
};

std::string Lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

}  // namespace

CSearchSession::CSearchSession(CSearchViewer& viewer, ISearchUi& ui, Pinger pinger)
    : CCommandSession(kSearchIndex, kSearchTexts, CommandSocketVariant::kSearch, kSearchStopWaitMs, *this, ui, viewer,
                      std::move(pinger)),
      viewer_(viewer),
      ui_(ui) {}

// The worker may still be handling a reply that reaches this object: it is
// ended before the members go.
CSearchSession::~CSearchSession() { Reset(); }

void CSearchSession::RunOnOwnerThread(const std::function<void()>& work) { viewer_.RunOnOwnerThread(work); }

void CSearchSession::PostToOwnerThread(std::function<void()> work) { viewer_.PostToOwnerThread(std::move(work)); }

bool CSearchSession::RefusesUser(const std::string& user_name) {
  if (Lowered(user_name) == "admin") return false;
  ui_.AddEventLog(kNoticeColour, platform::LoadString(kPermissionDeniedTextId));
  return true;
}

void CSearchSession::NoteAlarm(int number, AlarmKind kind) {
  alarm_number_ = number;
  alarm_kind_ = kind;
}

int CSearchSession::RequestMonthInfo(int year, int month) {
  ui_.ShowBusy(kMonthListTextId);
  protocol::PayloadWriter payload;
  payload.u8(sub::kMonthInfo).bcd(year % 100).bcd(month);
  Trace("[SEARCH SESSION %d] REQUESTMONTHINFO !!! ", index());
  if (SendPacket(cmd::REQ_MONTHINFO, payload.bytes()) != 0) {
    ui_.HideBusy();
    return E_FAIL;
  }
  return 0;
}

int CSearchSession::RequestDayInfo(int year, int month, int day) {
  ui_.ShowBusy(kMonthListTextId);
  protocol::PayloadWriter payload;
  payload.u8(sub::kRecDayInfo).bcd(year % 100).bcd(month).bcd(day);
  Trace("[SEARCH SESSION %d] REQRECDAYINFO !!!", index());
  if (SendPacket(cmd::REQ_RECDAYINFO, payload.bytes()) != 0) {
    ui_.HideBusy();
    return E_FAIL;
  }
  return 0;
}

int CSearchSession::RequestPlayback(uint32_t file_index, const PlaybackRange& range) {
  ui_.ShowBusy(kSelectFileTextId);
  protocol::PayloadWriter payload;
  payload.u8(sub::kPlayback).u32le(file_index);
  for (uint8_t byte : range) payload.u8(byte);
  Trace("[SEARCH SESSION %d] Request playback !!!", index());
  if (SendPacket(cmd::REQ_PLAYBACK, payload.bytes()) != 0) {
    ui_.HideBusy();
    return E_FAIL;
  }
  return 0;
}

int CSearchSession::RequestForwardPlayback(uint8_t speed_code) {
  const uint8_t payload[2] = {sub::kForwardPlayback, speed_code};
  return SendPacket(cmd::REQ_FORWARD_PLAYBACK, payload) == 0 ? 0 : E_FAIL;
}

int CSearchSession::RequestReversePlayback(uint8_t speed_code) {
  const uint8_t payload[2] = {sub::kReversePlayback, speed_code};
  return SendPacket(cmd::REQ_REVERSE_PLAYBACK, payload) == 0 ? 0 : E_FAIL;
}

int CSearchSession::RequestTrickmode(uint8_t step) {
  const uint8_t payload[1] = {step};
  return SendPacket(cmd::REQ_TRICKMODE, payload) == 0 ? 0 : E_FAIL;
}

int CSearchSession::RequestJump(int minutes) {
  // One jump at a time: the DVR answers each before it takes the next.
  int ready = 1;
  if (!jump_ready_.compare_exchange_strong(ready, 0)) return E_FAIL;
  const uint8_t payload[2] = {sub::kJumpStream, protocol::BcdFromNumber(minutes)};
  Trace("[SEARCH SESSION %d] Request jump stream = %d!!!", index(), minutes);
  if (SendPacket(cmd::REQ_JUMPSTREAM, payload) != 0) {
    // Nothing went out, so no answer will come to free the next jump.
    jump_ready_ = 1;
    return E_FAIL;
  }
  return 0;
}

int CSearchSession::RequestStopRecordStream(uint8_t code, StopKind kind) {
  stop_kind_ = kind;
  const uint8_t payload[1] = {code};
  Trace("[SEARCH SESSION %d] Request stop record stream(0x%02X) !!!", index(), code);
  return SendPacket(cmd::REQ_STOP_RECSTREAM, payload) == 0 ? 0 : E_FAIL;
}

int CSearchSession::StopAlarmOut() {
  Trace("[SEARCH DVR 0] request stop Alram out.");
  const uint8_t payload[2] = {sub::kBypass, protocol::bypass::kStopAlarmOut};
  if (!connected()) return E_FAIL;
  return SendPacket(cmd::BYPASS, payload) == 0 ? 0 : E_FAIL;
}

int CSearchSession::RequestLightStatus() {
  Trace("[SEARCH DVR 0] request light status.");
  const uint8_t payload[4] = {sub::kBypass, protocol::bypass::kLight, kLightStatusRequest, 0x00};
  if (!connected()) return E_FAIL;
  return SendPacket(cmd::BYPASS, payload) == 0 ? 0 : E_FAIL;
}

int CSearchSession::RequestLight(uint8_t control) {
  Trace("[SEARCH DVR 0] request light control.");
  const uint8_t payload[4] = {sub::kBypass, protocol::bypass::kLight, kLightSet, control};
  if (!connected()) return E_FAIL;
  return SendPacket(cmd::BYPASS, payload) == 0 ? 0 : E_FAIL;
}

int CSearchSession::ConnectViewerControl() {
  vistrel::IVistrelControl* control = viewer_.control();
  if (control == nullptr) {
    Trace("[SEARCH DVR %d] VistrelCtl is destroy !!!", index());
    return E_FAIL;
  }
  const int count = channel_count_;
  std::vector<uint8_t> channels(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) channels[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
  const Credentials login = credentials();
  control->SetStreamSessionInfo(index(), channels, count, 2);
  if (control->ConnectStreamPort(index(), login.address, static_cast<uint16_t>(info().port + 1), login.user_name,
                                 login.password) != vistrel::ControlResult::kDone) {
    Trace("[SEARCH DVR %d] Search stream port connection error !!!", index());
    return E_FAIL;
  }
  return 0;
}

int CSearchSession::DisconnectViewerControl() {
  vistrel::IVistrelControl* control = viewer_.control();
  if (control == nullptr || control->DisconnectStreamPort(index()) != vistrel::ControlResult::kDone) {
    Trace("[SEARCH DVR %d] Search stream port disconnection error !!!", index());
    return E_FAIL;
  }
  set_stream_connected(false);
  return 0;
}

void CSearchSession::UserDisconnect() {
  if (!connected()) return;
  RequestStopRecordStream(sub::kCloseRecStream, StopKind::kDisconnect);
  if (over_modem()) {
    // The line is hung up only once the DVR has closed the stream.
    StartStopWait();
  } else {
    StopProcedure();
  }
  ui_.CloseLightDialog();
}

void CSearchSession::DisconnectCommand(DisconnectCause) { viewer_.Disconnect(); }

bool CSearchSession::WantsKeepAlive() { return connected(); }

void CSearchSession::OnStopWaitExpired() {
  Trace("[SEARCH DVR 0] Response time Out !!! Network disconnect !!!!");
  StopProcedure();
}

void CSearchSession::OnSessionReset() {
  channel_count_ = 0;
  jump_ready_ = 1;
  stop_kind_ = StopKind::kDisconnect;
}

void CSearchSession::StopProcedure() {
  Trace("[SEARCH DVR 0] Response stop record stream !!!");
  EndTimers();
  DisconnectViewerControl();
  Reset();
  viewer_.ResetControls();
  ui_.ReportConnectionState(index(), ConnectionState::kFailed);
}

// Worker thread from here on.

void CSearchSession::OnLoggedOn(uint8_t level) {
  if (level == 0) Trace("[SEARCH SESSION %d] Search mode Admin Logon !!!", index());
  if (level <= 1) Trace("[SEARCH SESSION %d] Search mode User Logon !!!", index());
  EnterState(ConnectionState::kSearchLoggedOn);
  RunOnOwnerThread([this] { viewer_.StartKeepAlive(); });
  ui_.ShowBusy(kMonthListTextId);
  Trace("[SEARCH SESSION %d] REQUEST SEARCH !!!", index());
  const uint8_t payload[1] = {sub::kSearch};
  if (SendPacket(cmd::REQ_SEARCH, payload) != 0) ui_.HideBusy();
}

void CSearchSession::OnReply(uint32_t code, std::span<const uint8_t> payload) {
  switch (code) {
    case cmd::RESP_SEARCH:
      OnSearch(payload);
      break;
    case cmd::RESP_RECMONTHINFO:
      OnMonthInfo(payload);
      break;
    case cmd::RESP_RECDAYINFO:
      OnDayInfo(payload);
      break;
    case cmd::RESP_PLAYBACK:
      OnPlayback(payload);
      break;
    case cmd::RESP_RECSTATUSBAR:
      OnStatusBar(payload);
      break;
    case cmd::RESP_FORWARD_PLAYBACK:
      TraceResult(payload, "[SEARCH SESSION %d] Response forward playback !!! ",
                  "[SEARCH SESSION %d] Response forward playback failed!!! ");
      break;
    case cmd::RESP_REVERSE_PLAYBACK:
      TraceResult(payload, "[SEARCH SESSION %d] Response reverse playback !!! ",
                  "[SEARCH SESSION %d] Response reverse playback failed!!! ");
      break;
    case cmd::RESP_SPEED_PLAYBACK:
      TraceResult(payload, "[SEARCH SESSION %d] Response speed playback !!! ",
                  "[SEARCH SESSION %d] Response speed playback failed!!! ");
      break;
    case cmd::RESP_TRICKMODE:
      TraceResult(payload, "[SEARCH SESSION %d] Response trickmode playback !!! ",
                  "[SEARCH SESSION %d] Response trickmode playback failed!!! ");
      break;
    case cmd::RESP_PLAYBACK_IGNORED:
      break;
    case cmd::RESP_JUMPSTREAM:
      jump_ready_ = 1;
      TraceResult(payload, "[SEARCH SESSION %d] Response jump stream !!! ",
                  "[SEARCH SESSION %d] Response jump stream failed !!! ");
      break;
    case cmd::RESP_STOP_RECSTREAM:
      OnStopRecordStream(payload);
      break;
    case cmd::BYPASS_REPLY:
      OnBypassReply(payload);
      break;
    case cmd::SENSOR_ALARM:
      OnAlarm(AlarmKind::kSensor, payload);
      break;
    case cmd::MOTION_ALARM:
      OnAlarm(AlarmKind::kMotion, payload);
      break;
    default:
      Trace("[SEARCH SESSION %d] Search Command Protocol error parse code : %#x", index(), code);
      break;
  }
}

void CSearchSession::TraceResult(std::span<const uint8_t> payload, const char* done, const char* failed) {
  const auto result = protocol::DecodePlaybackResult(payload);
  Trace(result && CheckResult(*result) ? done : failed, index());
}

void CSearchSession::OnSearch(std::span<const uint8_t> payload) {
  const auto reply = protocol::DecodeSearchReply(payload);
  // A reply cut short is no success: nothing of it is shown.
  if (!reply || !CheckResult(reply->result)) {
    Trace("[SEARCH SESSION %d] RESPONSESEARCH Failed !!!", index());
    ui_.HideBusy();
    return;
  }
  Trace("[SEARCH SESSION %d] RESPONSESEARCH !!!", index());
  RunOnOwnerThread([this, mask = reply->day_mask] { viewer_.OnRecordedDays(mask); });
  channel_count_ = reply->channel_count;
  if (reply->channel_count == 0) {
    ui_.HideBusy();
    ui_.ShowMessage("Dastel-8 or Dastel-4 is not the DVR of version.\nThe connection is ended.", MessageIcon::kError);
    DisconnectAfterReply();
  }
}

void CSearchSession::OnMonthInfo(std::span<const uint8_t> payload) {
  const auto reply = protocol::DecodeMonthInfoReply(payload);
  if (reply && CheckResult(reply->result)) {
    Trace("[SEARCH SESSION %d] RESPONSERECMONTHINFO !!! ", index());
    RunOnOwnerThread([this, mask = reply->day_mask] { viewer_.OnMonthInfo(mask); });
  } else {
    Trace("[SEARCH SESSION %d] Response record month infomation failed !!!", index());
  }
  ui_.HideBusy();
}

void CSearchSession::OnDayInfo(std::span<const uint8_t> payload) {
  const auto reply = protocol::DecodeDayInfoReply(payload);
  if (reply && CheckResult(reply->result)) {
    Trace("[SEARCH SESSION %d] RESPONSERECDAYINFO !!!", index());
    RunOnOwnerThread([this, &reply] { viewer_.OnDayList(reply->files); });
  } else {
    Trace("[SEARCH SESSION %d] RESPONSERECDAYINFO Failed !!!", index());
  }
  ui_.HideBusy();
}

void CSearchSession::OnPlayback(std::span<const uint8_t> payload) {
  ui_.HideBusy();
  const auto reply = protocol::DecodePlaybackReply(payload);
  if (reply && CheckResult(reply->result)) {
    Trace("[SEARCH SESSION %d] Response playback !!!", index());
    ui_.ShowBusy(kSelectStatusTextId);
    Trace("[SEARCH DVR 0] Request record status bar !!!");
    const uint8_t request[1] = {sub::kRecStatusBar};
    if (SendPacket(cmd::REQ_RECSTATUSBAR, request) != 0) ui_.HideBusy();
    return;
  }
  const uint8_t reason = reply ? reply->reason : 0;
  if (reason == 1) {
    ui_.ShowMessage("Can't found record file. To select again.", MessageIcon::kError);
  } else if (reason == 2) {
    ui_.ShowMessage("Can't playback the record file in DVR. Admin use playback in the DVR", MessageIcon::kError);
  }
}

void CSearchSession::OnStatusBar(std::span<const uint8_t> payload) {
  ui_.HideBusy();
  const auto result = protocol::DecodePlaybackResult(payload);
  if (!result || !CheckResult(*result)) {
    ui_.ShowMessage("Can't found record file status bar. To select again.", MessageIcon::kError);
    return;
  }
  Trace("[SEARCH SESSION %d] Response record status bar !!!", index());
  RunOnOwnerThread([this] { ConnectViewerControl(); });
}

void CSearchSession::OnStopRecordStream(std::span<const uint8_t> payload) {
  const auto code = protocol::DecodeStopRecordStreamReply(payload);
  if (code == sub::kCloseRecStream) {
    Trace("[SEARCH SESSION %d] Response stop record stream ==> Record stream close(0x%01x)!!! ", index(), *code);
    if (stop_kind_ == StopKind::kDisconnect) {
      Trace("[SEARCH SESSION %d] Response stop record stream ==> Network disconnect !!! ", index());
      // Closes this socket: queued behind the reply in hand.
      if (over_modem()) PostToOwnerThread([this] { StopProcedure(); });
    }
  } else if (code == sub::kStopPlaying) {
    Trace("[SEARCH SESSION %d] Response stop record stream ==> Record stream restart(0x%01x)!!! ", index(), *code);
  } else {
    Trace("[SEARCH SESSION %d] Response stop record stream failed !!! ", index());
  }
}

void CSearchSession::OnBypassReply(std::span<const uint8_t> payload) {
  const auto reply = protocol::DecodeBypassReply(payload);
  const bool succeeded = reply && CheckResult(reply->result);
  Trace(
      succeeded ? "[SEARCH SESSION %d] ByPass command succeeded !!!" : "[SEARCH SESSION %d] ByPass command failed !!!",
      index());
  if (!reply || !reply->sub_code) return;
  switch (*reply->sub_code) {
    case protocol::bypass::kPlaybackPosition: {
      if (!succeeded) return;
      const auto clock = protocol::DecodePlaybackClock(reply->data);
      if (!clock) {
        Trace("[SEARCH SESSION %d] playback position of %zu bytes is malformed; dropped.", index(), reply->data.size());
        return;
      }
      RunOnOwnerThread([this, seconds = clock->seconds()] { viewer_.OnPlaybackPosition(seconds); });
      return;
    }
    case protocol::bypass::kLight: {
      const auto light = protocol::DecodeLightState(reply->data);
      if (!succeeded || !light) {
        Trace("[SEARCH DVR 0] response dvr light failed.");
        return;
      }
      Trace("[SEARCH DVR %d] response dvr light status.", index());
      ui_.DeliverLightState(*light);
      return;
    }
    default:
      Trace("[SEARCH SESSION %d] ByPass command message error parse code : #0x%02X", index(), *reply->sub_code);
      return;
  }
}

void CSearchSession::OnAlarm(AlarmKind kind, std::span<const uint8_t> payload) {
  const auto alarm = protocol::DecodeAlarm(payload);
  if (alarm && !CheckResult(alarm->result)) return;
  const int number = alarm && alarm->body ? *alarm->body : 0;
  if (number < kFirstAlarm || number > kLastAlarm) {
    Trace("[SEARCH DVR 0] alarm number %d out of range; ignored.", number);
    return;
  }
  NoteAlarm(number, kind);
  // The search mode has one DVR: its alarms always name DVR 1.
  const int text = kind == AlarmKind::kSensor ? kSensorAlertText : kMotionAlertText;
  ui_.AddEventLog(kAlertColour, platform::FormatString(text, 1, number));
  viewer_.RaiseAlarm(kind, number);
}

}  // namespace sessions
