#include "client/sessions/live_session.h"

#include <QTimer>

#include <array>
#include <cstdio>
#include <cstring>
#include <utility>

#include "client/sessions/live_viewer.h"
#include "client/sessions/socket_error_text.h"
#include "platform/result_codes.h"
#include "platform/string_table.h"
#include "platform/trace.h"
#include "platform/winsock_errors.h"
#include "protocol/command_codes.h"
#include "protocol/packet_sender.h"
#include "protocol/payload.h"

namespace sessions {
namespace {

constexpr size_t kTextLimit = 127;
constexpr size_t kAddressLimit = 22;
constexpr int kConnectingTextId = 345;
constexpr int kChannelRequestDelayMs = 1000;
// Trace files end up in bug reports: passwords never reach them.
constexpr const char* kMaskedPassword = "****";

std::string Clip(const std::string& text, size_t limit) { return text.substr(0, limit); }

}  // namespace

CLiveSession::CLiveSession(int index, CLiveViewer& viewer, ISessionUi& ui, Pinger pinger)
    : index_(index),
      viewer_(viewer),
      ui_(ui),
      socket_(CommandSocketVariant::kLive, std::move(pinger)),
      reassembler_(protocol::kCommandMaxPayload),
      stop_timer_(new QTimer(&viewer)),
      channel_timer_(new QTimer(&viewer)) {
  socket_.SetOwner(this);
  stop_timer_->setSingleShot(true);
  stop_timer_->setInterval(kModemStopWaitMs);
  QObject::connect(stop_timer_, &QTimer::timeout, &viewer, [this] {
    Trace("[LIVE DVR %d] Time Out .... Response stop live stream !!!", index_);
    StopProcedure();
  });
  channel_timer_->setSingleShot(true);
  channel_timer_->setInterval(kChannelRequestDelayMs);
  QObject::connect(channel_timer_, &QTimer::timeout, &viewer, [this] {
    if (connected()) SendChannelChange(channel_count_ == 8 ? 0xFF : 0x0F);
  });
}

CLiveSession::~CLiveSession() { socket_.CloseSocket(); }

int CLiveSession::SetLogonData(const std::string& address, uint16_t port,
                               const std::string& user_name, const std::string& password,
                               bool network) {
  if (address.empty()) return E_FAIL;
  // A slot that is connecting or connected keeps its DVR; storing the new
  // address would only corrupt what its connection still uses.
  if (in_use()) {
    Trace("[LIVE DVR %d] live slot in use; connection request refused.", index_);
    return kAlreadyConnected;
  }
  const std::string connect_address = network ? address : "127.0.0.1";
  const uint16_t connect_port = network ? port : 2000;
  const int modem = network ? 0 : kModemLink;
  const char* kind = network ? "IP" : "Telephone Number";

  if (!user_name.empty() && !password.empty()) {
    Trace("[LIVE DVR %d] Live logon data %s : %s, Port : %d, Username : %s, Password : %s", index_,
          kind, address.c_str(), connect_port, user_name.c_str(), kMaskedPassword);
    {
      std::lock_guard guard(info_lock_);
      info_.user_name = Clip(user_name, kTextLimit);
      info_.password = Clip(password, kTextLimit);
      info_.address = Clip(connect_address, kAddressLimit);
    }
    info_.port = connect_port;
    info_.modem = modem;
    info_.logon_pending = 1;
  } else if (address != "0.0.0.0" && address != "127.0.0.1" && port != 0) {
    Trace("[LIVE DVR %d] Live logon data %s : %s, Port: %d", index_, kind, address.c_str(),
          connect_port);
    {
      std::lock_guard guard(info_lock_);
      info_.address = Clip(connect_address, kAddressLimit);
    }
    info_.port = connect_port;
    info_.modem = modem;
  } else {
    ui_.ShowMessage("Wrong IP Address. confirm IP Address.", MessageIcon::kError);
    info_.state = static_cast<int>(ConnectionState::kIdle);
    return E_FAIL;
  }
  // Reported before the attempt starts, so that a fast failure is not
  // overwritten by a late "connecting".
  info_.state = static_cast<int>(ConnectionState::kConnecting);
  ui_.ReportConnectionState(index_, ConnectionState::kConnecting);
  ConnectCommandPort();
  return 0;
}

int CLiveSession::ConnectCommandPort() {
  if (connected()) {
    Trace("[LIVE DVR %d] live command port already connected.", index_);
    return kAlreadyConnected;
  }
  ui_.ShowBusy(kConnectingTextId);
  std::string address;
  {
    std::lock_guard guard(info_lock_);
    address = info_.address;
  }
  reassembler_.Reset();
  if (socket_.Open(address, info_.port) != 0) {
    Trace("[LIVE DVR %d] live command socket connection failed.", index_);
    // Nothing runs for this slot: it may be asked again.
    info_.state = static_cast<int>(ConnectionState::kIdle);
    return E_FAIL;
  }
  return 0;
}

void CLiveSession::SubmitLogon() {
  const LogonFields fields = ui_.ReadLogonFields();
  if (fields.user_name.empty() || fields.password.empty()) return;
  Trace("[LIVE DVR %d] Live logon UserName: %s, Password : %s", index_, fields.user_name.c_str(),
        kMaskedPassword);
  {
    std::lock_guard guard(info_lock_);
    info_.user_name = Clip(fields.user_name, kTextLimit);
    info_.password = Clip(fields.password, kTextLimit);
  }
  if (SendAuthData() != 0) {
    Trace("[LIVE DVR %d] Live command socket logon data send failed !!!", index_);
    ui_.ReportConnectionState(index_, ConnectionState::kIdle);
    Reset();
  }
}

int CLiveSession::Reset() {
  return Reset(std::chrono::steady_clock::now() + std::chrono::milliseconds(CCommandSocket::kStopTimeoutMs));
}

void CLiveSession::RequestStop() { socket_.RequestStop(); }

int CLiveSession::Reset(std::chrono::steady_clock::time_point deadline) {
  socket_.CloseSocket(deadline);
  {
    std::lock_guard guard(info_lock_);
    info_.user_name.clear();
    info_.password.clear();
    info_.address.clear();
  }
  info_.connected = 0;
  info_.stream_connected = 0;
  info_.logon_pending = 0;
  info_.modem = 0;
  info_.port = 0;
  info_.state = static_cast<int>(ConnectionState::kIdle);
  channel_count_ = 0;
  return 0;
}

std::string CLiveSession::user_name() const {
  std::lock_guard guard(info_lock_);
  return info_.user_name;
}

void CLiveSession::NoteAlarm(int number, AlarmKind kind) {
  alarm_number_ = number;
  alarm_kind_ = kind;
}

int CLiveSession::SendPacket(uint32_t code, std::span<const uint8_t> payload) {
  return protocol::SendPacket(socket_, protocol::PortKind::kCommand, code, payload);
}

int CLiveSession::SendAuthData() {
  protocol::PayloadWriter payload;
  {
    std::lock_guard guard(info_lock_);
    payload.cstring(info_.user_name).cstring(info_.password);
  }
  if (SendPacket(protocol::cmd::AUTH_DATA, payload.bytes()) != 0) return E_FAIL;
  Trace("[LIVE DVR %d] send authentication data(id, password...).", index_);
  return 0;
}

int CLiveSession::RequestLiveStream() {
  Trace("[LIVE DVR %d] request live stream.", index_);
  return SendPacket(protocol::cmd::REQ_LIVESTREAM);
}

int CLiveSession::RequestStopLiveStream() {
  Trace("[LIVE DVR %d] !!!!!!!!!!!! REQUEST STOP LIVESTREAM !!!!!!!!!!!!", index_);
  return SendPacket(protocol::cmd::REQ_STOP_LIVESTREAM);
}

int CLiveSession::SendKeepAlive() {
  Trace("[LIVE DVR %d] send keep alive message.", index_);
  return SendPacket(protocol::cmd::KEEP_ALIVE);
}

int CLiveSession::SendChannelChange(uint8_t mask) {
  Trace("[LIVE DVR %d] Channel change (%#x)", index_, mask);
  const uint8_t payload[1] = {mask};
  return SendPacket(protocol::cmd::CHANNEL_CHANGE, payload);
}

int CLiveSession::ConnectViewerControl() {
  vistrel::IVistrelControl* control = viewer_.control();
  if (control == nullptr) {
    Trace("[LIVE DVR %d] vistrel control is destroy.", index_);
    return E_FAIL;
  }
  std::array<uint8_t, 16> cells{};
  const auto& assigned = viewer_.cells().CellsOf(index_);
  std::copy(assigned.begin(), assigned.end(), cells.begin());
  std::string address, user_name, password;
  {
    std::lock_guard guard(info_lock_);
    address = info_.address;
    user_name = info_.user_name;
    password = info_.password;
  }
  control->SetStreamSessionInfo(index_, cells, channel_count_, 1);
  const vistrel::ControlResult result = control->ConnectStreamPort(
      index_, address, static_cast<uint16_t>(info_.port + 1), user_name, password);
  if (result != vistrel::ControlResult::kDone) {
    Trace("[LIVE DVR %d] vistrel control connection failed.", index_);
    return E_FAIL;
  }
  Trace("[LIVE DVR %d] vistrel control connection.", index_);
  return 0;
}

int CLiveSession::DisconnectViewerControl() {
  vistrel::IVistrelControl* control = viewer_.control();
  // A session the control does not hold connected counts as a failure too.
  if (control == nullptr || control->DisconnectStreamPort(index_) != vistrel::ControlResult::kDone) {
    Trace("[LIVE DVR %d] vistrel control disconnection failed.", index_);
    return E_FAIL;
  }
  Trace("[LIVE DVR %d] vistrel control disconnection.", index_);
  info_.stream_connected = 0;
  return 0;
}

void CLiveSession::UserDisconnect() {
  if (!connected()) return;
  if (viewer_.IsRecording(index_)) viewer_.StopRecording(index_);
  ui_.HidePtzPresetPanel();
  RequestStopLiveStream();
  char line[64];
  std::snprintf(line, sizeof line, "[EVENT] DVR %d Network disconnect", index_ + 1);
  ui_.AddEventLog(kEventColour, line);
  if (over_modem()) {
    stop_timer_->start();
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
  if (info_.state == static_cast<int>(ConnectionState::kConnecting)) ui_.HideBusy();
  RequestStop();
}

void CLiveSession::StopProcedure() {
  Trace("[LIVE DVR %d] Response stop live stream !!!", index_);
  stop_timer_->stop();
  channel_timer_->stop();
  viewer_.StopKeepAlive(index_);
  DisconnectViewerControl();
  Reset();
  viewer_.ReleaseCells(index_);
  viewer_.ResetControls();
}

bool CLiveSession::CheckResult(uint8_t result) {
  if (result == protocol::result::kSuccess) return true;
  if (result == protocol::result::kAdminBusy) {
    Trace("[LIVE DVR %d] The administrator is using the DVR System !!!", index_);
    AdminTookOver();
  }
  return false;
}

void CLiveSession::AdminTookOver() {
  ui_.AddEventLog(kAlertColour, platform::LoadString(181));
  DisconnectAfterReply();
}

void CLiveSession::DisconnectAfterReply() { disconnect_after_reply_ = true; }

void CLiveSession::OnStreamPortConnected() {
  Trace("[LIVE DVR %d] Stream Port Connection Successfully !!!", index_);
  if (connected()) info_.stream_connected = 1;
  viewer_.StreamStarted(index_);
  ui_.ClearPasswordField();
  ui_.AddEventLog(kEventColour, platform::LoadString(193));
}

void CLiveSession::OnStreamPortClosed() {
  viewer_.DisconnectSlot(index_);
  ui_.AddEventLog(kEventColour, platform::LoadString(180));
}

void CLiveSession::OnStreamAuthenticated() { channel_timer_->start(); }

// Worker thread from here on.

void CLiveSession::OnConnect(int error) {
  if (error == 0) {
    Trace("[LIVE DVR %d] Live command port socket connect !!!", index_);
    info_.connected = 1;
    return;
  }
  if (const char* text = ConnectErrorText(error)) {
    Trace("[LIVE DVR %d] %s", index_, text);
  } else {
    Trace("[LIVE DVR %d] OnConnect error: %d", index_, error);
  }
  ConnectFailed();
}

void CLiveSession::ConnectFailed() {
  ui_.ReportConnectionState(index_, ConnectionState::kFailed);
  ui_.AddEventLog(kNoticeColour, platform::LoadString(198));
  ui_.HideBusy();
  char text[512];
  std::snprintf(text, sizeof text,
                "DVR %d, Connect failed. \n\r\n\rRemote connections might not be enabled or the DVR "
                "might be too busy to accept new connections. \n\rIt is also possible that network "
                "problems are preventing your connection.\n\r\n\rPlease try again.",
                index_ + 1);
  ui_.ShowMessage(text, MessageIcon::kError);
  // Last: closing the socket from its own worker gives up every hand-over
  // to the user interface that would follow.
  Reset();
}

void CLiveSession::OnClose(int error) {
  if (error == 0) {
    Trace("[LIVE DVR %d] Live command port socket close !!!", index_);
    CloseProcedure();
    return;
  }
  if (const char* text = CloseErrorText(error)) Trace("[LIVE DVR %d] %s", index_, text);
  CloseProcedure();
  Trace("DVR %d Command socket close error !!!", index_ + 1);
}

void CLiveSession::CloseProcedure() {
  // Before the disconnect is queued: once it closes the socket, this
  // worker's hand-overs are given up.
  ui_.HideBusy();
  viewer_.PostToOwnerThread([this] { viewer_.DisconnectSlot(index_); });
}

void CLiveSession::OnReceive() {
  auto into = reassembler_.Wanted();
  size_t count = 0;
  if (socket_.ReceiveData(into.data(), into.size(), &count) != 0) {
    Trace("[LIVE DVR %d] live command socket ReceiveData error.", index_);
    return;
  }
  switch (reassembler_.Received(count)) {
    case protocol::Reassembler::Step::kPacket:
      Dispatch(reassembler_.Packet());
      reassembler_.Reset();
      break;
    case protocol::Reassembler::Step::kOversize:
      // Taking it would overrun the receive buffer; the stream cannot be
      // trusted past this point, so the connection goes.
      Trace("[LIVE DVR %d] packet of %zu bytes exceeds the receive buffer; connection dropped.",
            index_, reassembler_.rejected_length());
      Trace("[LIVE DVR %d] %s", index_, CloseErrorText(platform::kWsaConnAborted));
      CloseProcedure();
      socket_.CloseSocket();
      break;
    case protocol::Reassembler::Step::kResync:
      Trace("[LIVE DVR %d] packet header without magic; resynchronising.", index_);
      break;
    case protocol::Reassembler::Step::kNeedMore:
      break;
  }
}

void CLiveSession::Dispatch(const protocol::PacketView& packet) {
  const uint32_t code = packet.code();
  Trace("[LIVE DVR %d] Live Command Protocol parse code : %#x", index_, code);
  protocol::ByteReader payload(packet.payload());
  switch (code) {
    case protocol::cmd::BYPASS_REPLY:
    case protocol::cmd::BYPASS_REPLY_2: OnBypassReply(payload); break;
    case protocol::cmd::REQ_AUTHENTICATION: OnRequestAuthentication(); break;
    case protocol::cmd::LOGON_RESULT: OnLogonResult(payload); break;
    case protocol::cmd::RESP_LIVESTREAM: OnLiveStream(payload); break;
    case protocol::cmd::RESP_CHANNEL_CHANGE: OnChannelChange(payload); break;
    case protocol::cmd::RESP_STOP_LIVESTREAM: OnStopLiveStream(payload); break;
    case protocol::cmd::ADMIN_NOTICE: OnAdminNotice(payload); break;
    case protocol::cmd::DVR_NOTICE: OnDvrNotice(payload); break;
    default:
      if (!viewer_.DispatchServiceReply(index_, code, packet.payload())) {
        Trace("[LIVE DVR %d] Live Command Protocol error parse code : #%8x", index_, code);
      }
      break;
  }
  // Queued only now, behind everything the reply showed: the disconnect
  // closes this socket, and a hand-over still waiting would be given up.
  if (std::exchange(disconnect_after_reply_, false)) {
    viewer_.PostToOwnerThread([this] { viewer_.DisconnectSlot(index_); });
  }
}

void CLiveSession::OnRequestAuthentication() {
  ui_.HideBusy();
  if (info_.logon_pending.exchange(0) != 0) {
    if (!connected()) return;
    Trace("[LIVE DVR %d] live command protocol request authentication.", index_);
    if (SendAuthData() != 0) {
      Trace("[LIVE DVR %d] send authentication data failed.", index_);
      // Shown before the reset, which gives up later hand-overs.
      ui_.ReportConnectionState(index_, ConnectionState::kIdle);
      Reset();
    }
    return;
  }
  info_.state = static_cast<int>(ConnectionState::kAwaitingLogon);
  ui_.ReportConnectionState(index_, ConnectionState::kAwaitingLogon);
  Trace("[LIVE DVR %d] live command protocol request authentication.", index_);
}

void CLiveSession::OnLogonResult(protocol::ByteReader payload) {
  const uint8_t result = payload.u8();
  const bool has_result = payload.ok();
  const uint8_t level = payload.u8();
  // Past the end the reader yields 0, which is success: a reply without its
  // result byte, or a success without its level, is refused as malformed.
  const bool malformed = !has_result || (result == protocol::result::kSuccess && !payload.ok());
  if (malformed) {
    Trace("[LIVE DVR %d] Malformed logon result (%zu bytes) !!!", index_, payload.position());
  } else if (CheckResult(result) && level <= 2) {
    Trace("[LIVESESSION %d] live session logon.", index_);
    info_.state = static_cast<int>(ConnectionState::kLiveLoggedOn);
    ui_.ReportConnectionState(index_, ConnectionState::kLiveLoggedOn);
    viewer_.RunOnOwnerThread([this] { viewer_.StartKeepAlive(index_); });
    RequestLiveStream();
    return;
  }
  // A level the client does not know would leave the slot logged on without
  // a live stream; it is refused like any other failed logon.
  ui_.ReportConnectionState(index_, ConnectionState::kFailed);
  if (!malformed && result == protocol::result::kWrongUser) {
    ui_.ShowMessage("Logon failed !!! \n\r\n\r The DVR could not log you on. Make sure your User Name are correct.",
                    MessageIcon::kError);
    ui_.AddEventLog(kNoticeColour, platform::LoadString(326));
  } else if (!malformed && result == protocol::result::kWrongPassword) {
    ui_.ShowMessage("Logon failed !!! \n\r\n\r The DVR could not log you on. Make sure your Password are correct.",
                    MessageIcon::kError);
    ui_.AddEventLog(kNoticeColour, platform::LoadString(327));
  } else {
    ui_.ShowMessage("The DVR could not log you on. Make sure your IP Address are correct.",
                    MessageIcon::kError);
    ui_.AddEventLog(kNoticeColour, platform::LoadString(328));
  }
  // After the box and the notice: the reset closes the socket, which gives
  // up every later hand-over of this worker.
  Reset();
}

void CLiveSession::OnChannelChange(protocol::ByteReader payload) {
  const uint8_t result = payload.u8();
  if (!payload.ok()) {
    Trace("[LIVE DVR %d] Malformed channel change reply (0 bytes) !!!", index_);
  } else if (CheckResult(result)) {
    return;
  }
  Trace("[LIVE DVR %d] Channel change failed !!!", index_);
}

void CLiveSession::OnLiveStream(protocol::ByteReader payload) {
  if (payload.u8() != protocol::result::kSuccess) return;
  const uint8_t pan_tilt_mask = payload.u8();
  payload.skip(1);
  const uint8_t count = payload.u8();
  if (!payload.ok()) return;
  std::array<uint8_t, 8> flags{};
  for (int i = 0; i < 8; ++i) flags[i] = (pan_tilt_mask >> i) & 1;
  viewer_.RunOnOwnerThread([&] { viewer_.SetChannelFlags(index_, flags); });
  if (count != 4 && count != 8) {
    RefuseChannelCount(count);
    return;
  }
  channel_count_ = count;

  int assigned = -1;
  viewer_.RunOnOwnerThread([&] { assigned = viewer_.AssignCells(index_, count); });
  if (assigned < 0) {
    ui_.ShowMessage("It will not be able to connect in the DVR. It passed over the maximum DVR "
                    "connection possibility.",
                    MessageIcon::kWarning);
    DisconnectAfterReply();
    return;
  }
  Trace("[LIVE DVR %d] RESPONSE LIVESTREAM !!! ", index_);
  viewer_.RunOnOwnerThread([this] { ConnectViewerControl(); });
}

void CLiveSession::RefuseChannelCount(int count) {
  // Only 4 and 8 channels fit the cells; logged on without a stream, the
  // slot would sit there with keep-alives and no video.
  Trace("[LIVE DVR %d] RESPONSE LIVESTREAM with %d channels refused !!!", index_, count);
  char text[160];
  std::snprintf(text, sizeof text,
                "DVR %d reports %d channels. Only DVRs of 4 or 8 channels can be shown; the "
                "connection is closed.",
                index_ + 1, count);
  ui_.ShowMessage(text, MessageIcon::kWarning);
  std::snprintf(text, sizeof text, "[ALERT] DVR%d, %d channels are\nnot supported. network\ndisconnect.",
                index_ + 1, count);
  ui_.AddEventLog(kAlertColour, text);
  DisconnectAfterReply();
}

void CLiveSession::OnStopLiveStream(protocol::ByteReader payload) {
  const uint8_t answer = payload.u8();
  if (answer != protocol::result::kStopLiveConfirmed) {
    Trace("[LIVE DVR %d] RESPONSE STOP LIVESTREAM Error !!!", index_);
    return;
  }
  Trace("[LIVE DVR %d] RESPONSE STOP LIVESTREAM ==> Network disconnect(0x%02x)", index_, answer);
  if (over_modem()) viewer_.PostToOwnerThread([this] { StopProcedure(); });
}

void CLiveSession::OnBypassReply(protocol::ByteReader payload) {
  if (!CheckResult(payload.u8())) {
    Trace("[LIVE DVR %d] ByPass command failed !!!", index_);
    // The e-mail and light replies trace their own failure as well.
    const uint8_t sub_code = payload.u8();
    if (payload.ok()) viewer_.DispatchBypassReply(index_, false, sub_code, payload.rest());
    return;
  }
  Trace("[LIVE DVR %d] ByPass command succeeded !!!", index_);
  const uint8_t sub_code = payload.u8();
  if (sub_code != protocol::bypass::kRecordEventType) {
    if (!viewer_.DispatchBypassReply(index_, true, sub_code, payload.rest())) {
      Trace("[LIVE DVR %d] ByPass command message error parse code : #%x", index_, sub_code);
    }
    return;
  }
  std::lock_guard guard(record_type_lock_);
  Trace("[LIVE DVR %d] ByPass Event(Record Event type) !!!", index_);
  const int count = channel_count_;
  if (count <= 0) return;
  const auto types = payload.bytes(static_cast<size_t>(count));
  if (!payload.ok()) return;  // fewer bytes than channels: nothing sensible to hand over
  std::array<uint8_t, 16> copy{};
  std::memcpy(copy.data(), types.data(), types.size());
  // Posted, not waited for: these types come right after the stream reply,
  // and a disconnect on the owner thread at that moment would otherwise wait
  // for this worker while it waits for the owner thread.
  viewer_.PostToOwnerThread([this, copy] {
    if (channel_count_ <= 0) return;  // the slot went down meanwhile
    vistrel::IVistrelControl* control = viewer_.control();
    if (control == nullptr || control->SetRecordEventType(index_, copy) != vistrel::ControlResult::kDone) {
      Trace("[LIVE DVR %d] vistrel control record event type setting failed !!!", index_);
    }
  });
}

void CLiveSession::OnAdminNotice(protocol::ByteReader payload) {
  if (payload.u8() != protocol::result::kAdminUsing) return;
  Trace("[LIVE DVR %d] The administrator is using the dvr system. pc client network disconnect.", index_);
  AdminTookOver();
}

void CLiveSession::OnDvrNotice(protocol::ByteReader payload) {
  const uint8_t kind = payload.u8();
  const char* text = "";
  switch (kind) {
    case 1: text = platform::LoadString(226); break;
    case 2: text = platform::LoadString(227); break;
    case 3: text = platform::LoadString(228); break;
    case 4: text = platform::LoadString(229); break;
    default: break;
  }
  ui_.AddEventLog(kAlertColour, text);
  Trace("[LIVE DVR %d] %s", index_, text);
  ui_.HideBusy();
  if (kind != 4) {
    ui_.PlayWarningBeeps();
    DisconnectAfterReply();
  }
}

}  // namespace sessions
