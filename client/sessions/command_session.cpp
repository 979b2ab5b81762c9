#include "client/sessions/command_session.h"

#include <QObject>
#include <QTimer>

#include <cstdio>
#include <thread>
#include <utility>

#include "client/sessions/socket_error_text.h"
#include "platform/result_codes.h"
#include "platform/string_table.h"
#include "platform/trace.h"
#include "platform/winsock_errors.h"
#include "protocol/command_codes.h"
#include "protocol/command_replies.h"
#include "protocol/packet_sender.h"
#include "protocol/payload.h"

namespace sessions {
namespace {

constexpr size_t kTextLimit = 127;
constexpr size_t kAddressLimit = 22;
constexpr int kConnectingTextId = 345;
// Trace files end up in bug reports: passwords never reach them.
constexpr const char* kMaskedPassword = "****";

std::string Clip(const std::string& text, size_t limit) { return text.substr(0, limit); }

}  // namespace

CCommandSession::CCommandSession(int index, const CommandSessionTexts& texts, CommandSocketVariant variant,
                                 int stop_wait_ms, ICommandSessionHost& host, ISessionUi& ui, QObject& timer_parent,
                                 Pinger pinger)
    : index_(index),
      texts_(texts),
      tag_(texts.tag),
      host_(host),
      ui_(ui),
      socket_(variant, std::move(pinger)),
      reassembler_(protocol::kCommandMaxPayload),
      keep_alive_(new QTimer(&timer_parent)),
      stop_wait_(new QTimer(&timer_parent)) {
  socket_.SetOwner(this);
  QObject::connect(keep_alive_, &QTimer::timeout, &timer_parent, [this] {
    if (host_.WantsKeepAlive()) {
      SendKeepAlive();
    } else {
      keep_alive_->stop();
    }
  });
  stop_wait_->setSingleShot(true);
  stop_wait_->setInterval(stop_wait_ms);
  QObject::connect(stop_wait_, &QTimer::timeout, &timer_parent, [this] { host_.OnStopWaitExpired(); });
}

namespace {
std::atomic<uint16_t> bridge_port{kBridgePort};
}  // namespace

uint16_t BridgePort() { return bridge_port.load(); }
void SetBridgePort(uint16_t port) { bridge_port.store(port); }

CCommandSession::~CCommandSession() { socket_.CloseSocket(); }

int CCommandSession::SetLogonData(const std::string& address, uint16_t port, const std::string& user_name,
                                  const std::string& password, bool network) {
  if (address.empty()) return E_FAIL;
  // A session that is connecting or connected keeps its DVR; storing the new
  // address would only corrupt what its connection still uses.
  if (in_use()) {
    Trace(texts_.in_use, index_);
    return kAlreadyConnected;
  }
  const std::string connect_address = network ? address : kBridgeAddress;
  const uint16_t connect_port = network ? port : BridgePort();
  const LinkKind link = network ? LinkKind::kNetwork : LinkKind::kModem;
  const char* kind = network ? "IP" : "Telephone Number";

  if (!user_name.empty() && !password.empty()) {
    Trace(texts_.logon_data_full, index_, kind, address.c_str(), connect_port, user_name.c_str(), kMaskedPassword);
    {
      std::lock_guard guard(info_lock_);
      info_.user_name = Clip(user_name, kTextLimit);
      info_.password = Clip(password, kTextLimit);
      info_.address = Clip(connect_address, kAddressLimit);
    }
    info_.port = connect_port;
    info_.link = link;
    info_.logon_pending = 1;
  } else if (address != "0.0.0.0" && address != kBridgeAddress && (port != 0 || !host_.AddressNeedsPort())) {
    Trace(texts_.logon_data_address, index_, kind, address.c_str(), connect_port);
    {
      std::lock_guard guard(info_lock_);
      info_.address = Clip(connect_address, kAddressLimit);
    }
    info_.port = connect_port;
    info_.link = link;
  } else {
    ui_.ShowMessage("Wrong IP Address. confirm IP Address.", MessageIcon::kError);
    info_.state = static_cast<int>(ConnectionState::kIdle);
    return E_FAIL;
  }
  // Reported before the attempt starts, so that a fast failure is not
  // overwritten by a late "connecting".
  EnterState(ConnectionState::kConnecting);
  ConnectCommandPort();
  return 0;
}

int CCommandSession::ConnectCommandPort() {
  if (connected()) {
    Trace(texts_.already_connected, index_);
    return kAlreadyConnected;
  }
  if (!quiet_connect_) ui_.ShowBusy(kConnectingTextId);
  std::string address;
  {
    std::lock_guard guard(info_lock_);
    address = info_.address;
  }
  reassembler_.Reset();
  if (socket_.Open(address, info_.port) != 0) {
    Trace(texts_.open_failed, index_);
    // Nothing runs for this session: it may be asked again.
    info_.state = static_cast<int>(ConnectionState::kIdle);
    return E_FAIL;
  }
  return 0;
}

void CCommandSession::SubmitLogon() {
  const LogonFields fields = ui_.ReadLogonFields();
  if (fields.user_name.empty() || fields.password.empty()) return;
  Trace(texts_.logon_typed, index_, fields.user_name.c_str(), kMaskedPassword);
  {
    std::lock_guard guard(info_lock_);
    info_.user_name = Clip(fields.user_name, kTextLimit);
    info_.password = Clip(fields.password, kTextLimit);
  }
  const int sent = SendAuthData();
  if (sent == kUserRefused) {
    host_.DisconnectCommand(DisconnectCause::kRefused);
  } else if (sent != 0) {
    Trace(texts_.logon_send_failed, index_);
    ui_.ReportConnectionState(index_, ConnectionState::kIdle);
    Reset();
  }
}

int CCommandSession::Reset() {
  return Reset(std::chrono::steady_clock::now() + std::chrono::milliseconds(CCommandSocket::kStopTimeoutMs));
}

void CCommandSession::RequestStop() { socket_.RequestStop(); }

int CCommandSession::Reset(std::chrono::steady_clock::time_point deadline) {
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
  info_.link = LinkKind::kNetwork;
  info_.port = 0;
  info_.state = static_cast<int>(ConnectionState::kIdle);
  host_.OnSessionReset();
  return 0;
}

std::string CCommandSession::user_name() const {
  std::lock_guard guard(info_lock_);
  return info_.user_name;
}

CCommandSession::Credentials CCommandSession::credentials() const {
  std::lock_guard guard(info_lock_);
  return {info_.address, info_.user_name, info_.password};
}

void CCommandSession::EnterState(ConnectionState state) {
  info_.state = static_cast<int>(state);
  ui_.ReportConnectionState(index_, state);
}

void CCommandSession::StartKeepAlive() {
  keep_alive_->start(over_modem() ? kModemKeepAliveMs : kNetworkKeepAliveMs);
  Trace(texts_.keep_alive_started, index_);
}

void CCommandSession::StopKeepAlive() {
  keep_alive_->stop();
  Trace(texts_.keep_alive_stopped, index_);
}

bool CCommandSession::IsKeepAliveRunning() const { return keep_alive_->isActive(); }

int CCommandSession::KeepAlivePeriodMs() const { return keep_alive_->interval(); }

void CCommandSession::StartStopWait() { stop_wait_->start(); }

void CCommandSession::EndTimers() {
  stop_wait_->stop();
  StopKeepAlive();
}

int CCommandSession::SendPacket(uint32_t code, std::span<const uint8_t> payload) {
  return protocol::SendPacket(socket_, protocol::PortKind::kCommand, code, payload);
}

int CCommandSession::SendAuthData() {
  protocol::PayloadWriter payload;
  std::string user;
  {
    std::lock_guard guard(info_lock_);
    user = info_.user_name;
    payload.cstring(info_.user_name).cstring(info_.password);
  }
  if (host_.RefusesUser(user)) return kUserRefused;
  if (SendPacket(protocol::cmd::AUTH_DATA, payload.bytes()) != 0) return E_FAIL;
  Trace("[%s %d] send authentication data(id, password...).", tag_, index_);
  return 0;
}

int CCommandSession::SendKeepAlive() {
  Trace(texts_.keep_alive_sent, index_);
  return SendPacket(protocol::cmd::KEEP_ALIVE);
}

bool CCommandSession::CheckResult(uint8_t result) {
  if (result == protocol::result::kSuccess) return true;
  if (result == protocol::result::kAdminBusy) {
    Trace("[%s %d] The administrator is using the DVR System !!!", tag_, index_);
    AdminTookOver();
  }
  return false;
}

void CCommandSession::AdminTookOver() {
  ui_.AddEventLog(kAlertColour, platform::LoadString(181));
  DisconnectAfterReply();
}

void CCommandSession::DisconnectAfterReply() { disconnect_after_reply_ = true; }

// Worker thread from here on.

void CCommandSession::OnConnect(int error) {
  if (error == 0) {
    Trace(texts_.socket_connected, index_);
    info_.connected = 1;
    return;
  }
  if (const char* text = ConnectErrorText(error)) {
    Trace("[%s %d] %s", tag_, index_, text);
  } else {
    Trace("[%s %d] OnConnect error: %d", tag_, index_, error);
  }
  ConnectFailed();
}

void CCommandSession::ConnectFailed() {
  ui_.ReportConnectionState(index_, ConnectionState::kFailed);
  ui_.AddEventLog(kNoticeColour, platform::LoadString(198));
  ui_.HideBusy();
  host_.OnConnectFailed();
  if (quiet_connect_) {
    Reset();
    return;
  }
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

void CCommandSession::OnClose(int error) {
  if (error == 0) {
    Trace(texts_.socket_closed, index_);
    CloseProcedure();
    return;
  }
  if (const char* text = CloseErrorText(error)) Trace("[%s %d] %s", tag_, index_, text);
  CloseProcedure();
  Trace("DVR %d Command socket close error !!!", index_ + 1);
}

void CCommandSession::CloseProcedure() {
  // Before the disconnect is queued: once it closes the socket, this
  // worker's hand-overs are given up.
  ui_.HideBusy();
  host_.PostToOwnerThread([this] { host_.DisconnectCommand(DisconnectCause::kDropped); });
}

void CCommandSession::OnReceive() {
  auto into = reassembler_.Wanted();
  size_t count = 0;
  if (socket_.ReceiveData(into.data(), into.size(), &count) != 0) {
    Trace(texts_.receive_failed, index_);
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
      Trace("[%s %d] packet of %zu bytes exceeds the receive buffer; connection dropped.", tag_, index_,
            reassembler_.rejected_length());
      Trace("[%s %d] %s", tag_, index_, CloseErrorText(platform::kWsaConnAborted));
      CloseProcedure();
      socket_.CloseSocket();
      break;
    case protocol::Reassembler::Step::kResync:
      Trace("[%s %d] packet header without magic; resynchronising.", tag_, index_);
      break;
    case protocol::Reassembler::Step::kNeedMore:
      break;
  }
}

void CCommandSession::Dispatch(const protocol::PacketView& packet) {
  const uint32_t code = packet.code();
  Trace(texts_.parse_code, index_, code);
  switch (code) {
    case protocol::cmd::REQ_AUTHENTICATION:
      OnRequestAuthentication();
      break;
    case protocol::cmd::LOGON_RESULT:
      OnLogonResult(packet.payload());
      break;
    case protocol::cmd::ADMIN_NOTICE:
      OnAdminNotice(packet.payload());
      break;
    case protocol::cmd::DVR_NOTICE:
      OnDvrNotice(packet.payload());
      break;
    default:
      host_.OnReply(code, packet.payload());
      break;
  }
  // Queued only now, behind everything the reply showed: the disconnect
  // closes this socket, and a hand-over still waiting would be given up.
  if (std::exchange(disconnect_after_reply_, false)) {
    host_.PostToOwnerThread([this] { host_.DisconnectCommand(DisconnectCause::kRefused); });
  }
}

void CCommandSession::OnRequestAuthentication() {
  if (const auto pause = host_.AuthenticationPause(); pause.count() > 0) std::this_thread::sleep_for(pause);
  ui_.HideBusy();
  if (info_.logon_pending.exchange(0) != 0) {
    if (!connected()) return;
    Trace(texts_.auth_requested, index_);
    const int sent = SendAuthData();
    if (sent == kUserRefused) {
      DisconnectAfterReply();
    } else if (sent != 0) {
      Trace(texts_.auth_send_failed, index_);
      // Shown before the reset, which gives up later hand-overs.
      ui_.ReportConnectionState(index_, ConnectionState::kIdle);
      Reset();
    }
    return;
  }
  EnterState(ConnectionState::kAwaitingLogon);
  Trace(texts_.auth_requested, index_);
}

void CCommandSession::OnLogonResult(std::span<const uint8_t> payload) {
  const auto reply = protocol::DecodeLogonResult(payload);
  if (!reply) {
    Trace("[%s %d] Malformed logon result (%zu bytes) !!!", tag_, index_, payload.size());
  } else if (CheckResult(reply->result) && reply->level <= 2) {
    host_.OnLoggedOn(reply->level);
    return;
  }
  // A level the client does not know would leave the session logged on
  // without its stream; it is refused like any other failed logon.
  ui_.ReportConnectionState(index_, ConnectionState::kFailed);
  host_.OnLogonRefused();
  const uint8_t result = reply ? reply->result : protocol::result::kSuccess;
  if (reply && result == protocol::result::kWrongUser) {
    ui_.ShowMessage("Logon failed !!! \n\r\n\r The DVR could not log you on. Make sure your User Name are correct.",
                    MessageIcon::kError);
    ui_.AddEventLog(kNoticeColour, platform::LoadString(326));
  } else if (reply && result == protocol::result::kWrongPassword) {
    ui_.ShowMessage("Logon failed !!! \n\r\n\r The DVR could not log you on. Make sure your Password are correct.",
                    MessageIcon::kError);
    ui_.AddEventLog(kNoticeColour, platform::LoadString(327));
  } else {
    ui_.ShowMessage("The DVR could not log you on. Make sure your IP Address are correct.", MessageIcon::kError);
    ui_.AddEventLog(kNoticeColour, platform::LoadString(328));
  }
  // After the box and the notice: the reset closes the socket, which gives
  // up every later hand-over of this worker.
  Reset();
}

void CCommandSession::OnAdminNotice(std::span<const uint8_t> payload) {
  if (protocol::DecodeNotice(payload) != protocol::result::kAdminUsing) return;
  Trace(texts_.admin_notice, index_);
  AdminTookOver();
}

void CCommandSession::OnDvrNotice(std::span<const uint8_t> payload) {
  const auto kind = protocol::DecodeNotice(payload);
  // An empty notice says nothing; it costs that packet, not the connection.
  if (!kind) {
    Trace("[%s %d] Malformed DVR notice (0 bytes) !!!", tag_, index_);
    return;
  }
  const char* text = "";
  switch (*kind) {
    case 1:
      text = platform::LoadString(226);
      break;
    case 2:
      text = platform::LoadString(227);
      break;
    case 3:
      text = platform::LoadString(228);
      break;
    case 4:
      text = platform::LoadString(229);
      break;
    default:
      break;
  }
  ui_.AddEventLog(kAlertColour, text);
  Trace(*kind == 4 ? texts_.dvr_notice_info : texts_.dvr_notice, index_, text);
  ui_.HideBusy();
  if (*kind != 4) {
    ui_.PlayWarningBeeps();
    DisconnectAfterReply();
  }
}

}  // namespace sessions
