#include "client/sessions/live_session.h"

#include <QTimer>

#include <array>
#include <cstdio>
#include <cstring>
#include <utility>

#include "client/sessions/live_viewer.h"
#include "platform/result_codes.h"
#include "platform/string_table.h"
#include "platform/trace.h"
#include "protocol/command_codes.h"
#include "protocol/command_replies.h"

namespace sessions {
namespace {

constexpr int kChannelRequestDelayMs = 1000;

constexpr CommandSessionTexts kLiveTexts = {
    .tag = "LIVE DVR",
    .logon_data_full = "[LIVE DVR %d] Live logon data %s : %s, Port : %d, Username : %s, Password : %s",
    .logon_data_address = "[LIVE DVR %d] Live logon data %s : %s, Port: %d",
    .logon_typed = "[LIVE DVR %d] Live logon UserName: %s, Password : %s",
    .logon_send_failed = "[LIVE DVR %d] Live command socket logon data send failed !!!",
    .auth_send_failed = "[LIVE DVR %d] send authentication data failed.",
    .in_use = "[LIVE DVR %d] live slot in use; connection request refused.",
    .already_connected = "[LIVE DVR %d] live command port already connected.",
    .open_failed = "[LIVE DVR %d] live command socket connection failed.",
    .socket_connected = "[LIVE DVR %d] Live command port socket connect !!!",
    .socket_closed = "[LIVE DVR %d] Live command port socket close !!!",
    .receive_failed = "[LIVE DVR %d] live command socket ReceiveData error.",
    .parse_code = "[LIVE DVR %d] Live Command Protocol parse code : %#x",
    .auth_requested = "[LIVE DVR %d] live command protocol request authentication.",
    .admin_notice = "[LIVE DVR %d] The administrator is using the dvr system. pc client network disconnect.",
    .keep_alive_sent = "[LIVE DVR %d] send keep alive message.",
    .keep_alive_started = "[LIVE DVR %d] Start keep alive message !!!",
    .keep_alive_stopped = "[LIVE DVR %d] Stop keep alive message !!!",
    .dvr_notice = "[LIVE DVR %d] %s",
    .dvr_notice_info = "[LIVE DVR %d] %s",
};

}  // namespace

CLiveSession::CLiveSession(int index, CLiveViewer& viewer, ISessionUi& ui, Pinger pinger)
    : CCommandSession(index, kLiveTexts, CommandSocketVariant::kLive, kModemStopWaitMs, *this, ui, viewer,
                      std::move(pinger)),
      viewer_(viewer),
      ui_(ui),
      channel_timer_(new QTimer(&viewer)) {
  channel_timer_->setSingleShot(true);
  channel_timer_->setInterval(kChannelRequestDelayMs);
  QObject::connect(channel_timer_, &QTimer::timeout, &viewer, [this] {
    if (connected()) SendChannelChange(channel_count_ == 8 ? 0xFF : 0x0F);
  });
}

// The worker may still be handling a reply that reaches this object: it is
// ended before the members go.
CLiveSession::~CLiveSession() { Reset(); }

void CLiveSession::NoteAlarm(int number, AlarmKind kind) {
  alarm_number_ = number;
  alarm_kind_ = kind;
}

int CLiveSession::RequestLiveStream() {
  Trace("[LIVE DVR %d] request live stream.", index());
  return SendPacket(protocol::cmd::REQ_LIVESTREAM);
}

int CLiveSession::RequestStopLiveStream() {
  Trace("[LIVE DVR %d] !!!!!!!!!!!! REQUEST STOP LIVESTREAM !!!!!!!!!!!!", index());
  return SendPacket(protocol::cmd::REQ_STOP_LIVESTREAM);
}

int CLiveSession::SendChannelChange(uint8_t mask) {
  Trace("[LIVE DVR %d] Channel change (%#x)", index(), mask);
  const uint8_t payload[1] = {mask};
  return SendPacket(protocol::cmd::CHANNEL_CHANGE, payload);
}

int CLiveSession::ConnectViewerControl() {
  vistrel::IVistrelControl* control = viewer_.control();
  if (control == nullptr) {
    Trace("[LIVE DVR %d] vistrel control is destroy.", index());
    return E_FAIL;
  }
  std::array<uint8_t, 16> cells{};
  const auto& assigned = viewer_.cells().CellsOf(index());
  std::copy(assigned.begin(), assigned.end(), cells.begin());
  const Credentials login = credentials();
  control->SetStreamSessionInfo(index(), cells, channel_count_, 1);
  const vistrel::ControlResult result = control->ConnectStreamPort(
      index(), login.address, static_cast<uint16_t>(info().port + 1), login.user_name, login.password);
  if (result != vistrel::ControlResult::kDone) {
    Trace("[LIVE DVR %d] vistrel control connection failed.", index());
    return E_FAIL;
  }
  Trace("[LIVE DVR %d] vistrel control connection.", index());
  return 0;
}

int CLiveSession::DisconnectViewerControl() {
  vistrel::IVistrelControl* control = viewer_.control();
  // A session the control does not hold connected counts as a failure too.
  if (control == nullptr || control->DisconnectStreamPort(index()) != vistrel::ControlResult::kDone) {
    Trace("[LIVE DVR %d] vistrel control disconnection failed.", index());
    return E_FAIL;
  }
  Trace("[LIVE DVR %d] vistrel control disconnection.", index());
  set_stream_connected(false);
  return 0;
}

void CLiveSession::UserDisconnect() {
  if (!connected()) return;
  if (viewer_.IsRecording(index())) viewer_.StopRecording(index());
  ui_.HidePtzPresetPanel();
  RequestStopLiveStream();
  char line[64];
  std::snprintf(line, sizeof line, "[EVENT] DVR %d Network disconnect", index() + 1);
  ui_.AddEventLog(kEventColour, line);
  if (over_modem()) {
    StartStopWait();
  } else {
    StopProcedure();
  }
  ui_.CloseLightDialog();
}

void CLiveSession::DisconnectAtOnce() {
  if (connected()) {
    RequestStopLiveStream();
    DisconnectViewerControl();
  }
  // A slot still pinging or connecting is stopped as well: left alone, it
  // would log on and open streams after the live mode was left.
  if (info().state == static_cast<int>(ConnectionState::kConnecting)) ui_.HideBusy();
  RequestStop();
}

void CLiveSession::StopProcedure() {
  Trace("[LIVE DVR %d] Response stop live stream !!!", index());
  channel_timer_->stop();
  EndTimers();
  DisconnectViewerControl();
  Reset();
  viewer_.ReleaseCells(index());
  viewer_.ResetControls();
}

void CLiveSession::OnStreamPortConnected() {
  Trace("[LIVE DVR %d] Stream Port Connection Successfully !!!", index());
  if (connected()) set_stream_connected(true);
  viewer_.StreamStarted(index());
  ui_.ClearPasswordField();
  ui_.AddEventLog(kEventColour, platform::LoadString(193));
}

void CLiveSession::OnStreamPortClosed() {
  viewer_.DisconnectSlot(index(), DisconnectCause::kDropped);
  ui_.AddEventLog(kEventColour, platform::LoadString(180));
}

void CLiveSession::OnStreamAuthenticated() { channel_timer_->start(); }

void CLiveSession::RunOnOwnerThread(const std::function<void()>& work) { viewer_.RunOnOwnerThread(work); }

void CLiveSession::PostToOwnerThread(std::function<void()> work) { viewer_.PostToOwnerThread(std::move(work)); }

void CLiveSession::DisconnectCommand(DisconnectCause cause) { viewer_.DisconnectSlot(index(), cause); }

bool CLiveSession::WantsKeepAlive() { return viewer_.IsActive(index()) || connected(); }

void CLiveSession::OnStopWaitExpired() {
  Trace("[LIVE DVR %d] Time Out .... Response stop live stream !!!", index());
  StopProcedure();
}

void CLiveSession::OnSessionReset() { channel_count_ = 0; }

// Posted, not waited for: the reset that follows gives up this worker's waits.
void CLiveSession::OnConnectFailed() {
  viewer_.PostToOwnerThread([this] { viewer_.SlotConnectFailed(index()); });
}

void CLiveSession::OnLogonRefused() {
  viewer_.PostToOwnerThread([this] { viewer_.SlotRefused(index()); });
}

// Worker thread from here on.

void CLiveSession::OnLoggedOn(uint8_t) {
  Trace("[LIVESESSION %d] live session logon.", index());
  EnterState(ConnectionState::kLiveLoggedOn);
  viewer_.RunOnOwnerThread([this] { StartKeepAlive(); });
  RequestLiveStream();
}

void CLiveSession::OnReply(uint32_t code, std::span<const uint8_t> payload) {
  switch (code) {
    case protocol::cmd::BYPASS_REPLY:
    case protocol::cmd::BYPASS_REPLY_2:
      OnBypassReply(payload);
      break;
    case protocol::cmd::RESP_LIVESTREAM:
      OnLiveStream(payload);
      break;
    case protocol::cmd::RESP_CHANNEL_CHANGE:
      OnChannelChange(payload);
      break;
    case protocol::cmd::RESP_STOP_LIVESTREAM:
      OnStopLiveStream(payload);
      break;
    default:
      if (!viewer_.DispatchServiceReply(index(), code, payload)) {
        Trace("[LIVE DVR %d] Live Command Protocol error parse code : #%8x", index(), code);
      }
      break;
  }
}

void CLiveSession::OnChannelChange(std::span<const uint8_t> payload) {
  const auto result = protocol::DecodeChannelChangeReply(payload);
  if (!result) {
    Trace("[LIVE DVR %d] Malformed channel change reply (0 bytes) !!!", index());
  } else if (CheckResult(*result)) {
    return;
  }
  Trace("[LIVE DVR %d] Channel change failed !!!", index());
}

void CLiveSession::OnLiveStream(std::span<const uint8_t> payload) {
  const auto reply = protocol::DecodeLiveStreamReply(payload);
  if (!reply || reply->result != protocol::result::kSuccess) return;
  std::array<uint8_t, 8> flags{};
  for (int i = 0; i < 8; ++i) flags[i] = (reply->pan_tilt_mask >> i) & 1;
  viewer_.RunOnOwnerThread([&] { viewer_.SetChannelFlags(index(), flags); });
  const int count = reply->channel_count;
  if (count != 4 && count != 8) {
    RefuseChannelCount(count);
    return;
  }
  channel_count_ = count;

  int assigned = -1;
  viewer_.RunOnOwnerThread([&] { assigned = viewer_.AssignCells(index(), count); });
  if (assigned < 0) {
    ui_.ShowMessage(
        "It will not be able to connect in the DVR. It passed over the maximum DVR "
        "connection possibility.",
        MessageIcon::kWarning);
    DisconnectAfterReply();
    return;
  }
  Trace("[LIVE DVR %d] RESPONSE LIVESTREAM !!! ", index());
  viewer_.RunOnOwnerThread([this] { ConnectViewerControl(); });
}

void CLiveSession::RefuseChannelCount(int count) {
  // Only 4 and 8 channels fit the cells; logged on without a stream, the
  // slot would sit there with keep-alives and no video.
  Trace("[LIVE DVR %d] RESPONSE LIVESTREAM with %d channels refused !!!", index(), count);
  char text[160];
  std::snprintf(text, sizeof text,
                "DVR %d reports %d channels. Only DVRs of 4 or 8 channels can be shown; the "
                "connection is closed.",
                index() + 1, count);
  ui_.ShowMessage(text, MessageIcon::kWarning);
  std::snprintf(text, sizeof text, "[ALERT] DVR%d, %d channels are\nnot supported. network\ndisconnect.", index() + 1,
                count);
  ui_.AddEventLog(kAlertColour, text);
  DisconnectAfterReply();
}

void CLiveSession::OnStopLiveStream(std::span<const uint8_t> payload) {
  const auto answer = protocol::DecodeStopLiveStreamReply(payload);
  if (answer != protocol::result::kStopLiveConfirmed) {
    Trace("[LIVE DVR %d] RESPONSE STOP LIVESTREAM Error !!!", index());
    return;
  }
  Trace("[LIVE DVR %d] RESPONSE STOP LIVESTREAM ==> Network disconnect(0x%02x)", index(), *answer);
  if (over_modem()) viewer_.PostToOwnerThread([this] { StopProcedure(); });
}

void CLiveSession::OnBypassReply(std::span<const uint8_t> payload) {
  const auto reply = protocol::DecodeBypassReply(payload);
  if (!reply) {
    Trace("[LIVE DVR %d] Malformed ByPass reply (%zu bytes) !!!", index(), payload.size());
    return;
  }
  if (!CheckResult(reply->result)) {
    Trace("[LIVE DVR %d] ByPass command failed !!!", index());
    // The e-mail and light replies trace their own failure as well.
    if (reply->sub_code) viewer_.DispatchBypassReply(index(), false, *reply->sub_code, reply->data);
    return;
  }
  Trace("[LIVE DVR %d] ByPass command succeeded !!!", index());
  if (*reply->sub_code == protocol::bypass::kRecordEventType) {
    HandOverRecordEventTypes(reply->data);
  } else if (!viewer_.DispatchBypassReply(index(), true, *reply->sub_code, reply->data)) {
    Trace("[LIVE DVR %d] ByPass command message error parse code : #%x", index(), *reply->sub_code);
  }
}

void CLiveSession::HandOverRecordEventTypes(std::span<const uint8_t> types) {
  std::lock_guard guard(record_type_lock_);
  Trace("[LIVE DVR %d] ByPass Event(Record Event type) !!!", index());
  const int count = channel_count_;
  // Fewer bytes than channels: nothing sensible to hand over.
  if (count <= 0 || types.size() < static_cast<size_t>(count)) return;
  std::array<uint8_t, 16> copy{};
  std::memcpy(copy.data(), types.data(), static_cast<size_t>(count));
  // Posted, not waited for: these types come right after the stream reply,
  // and a disconnect on the owner thread at that moment would otherwise wait
  // for this worker while it waits for the owner thread.
  viewer_.PostToOwnerThread([this, copy] {
    if (channel_count_ <= 0) return;  // the slot went down meanwhile
    vistrel::IVistrelControl* control = viewer_.control();
    if (control == nullptr || control->SetRecordEventType(index(), copy) != vistrel::ControlResult::kDone) {
      Trace("[LIVE DVR %d] vistrel control record event type setting failed !!!", index());
    }
  });
}

}  // namespace sessions
