// CCommandSession: what every command session (live today, search next) does
// on a DVR's command port: the socket and its reassembly, the credentials and
// the logon exchange, the administrator and DVR notices, CheckResult, the
// keep-alive timer, the modem stop wait and the common part of stopping. The
// mode's own replies and steps belong to the session built on it, which is
// reached only through ICommandSessionHost.
//
// Threads: commands (SetLogonData, SubmitLogon, Reset, the timers) run on the
// owner thread, the thread of the QObject the timers hang on. Replies are
// handled on the command socket's worker thread; what they do on the owner
// thread goes through the host's hand-overs. Once the socket is asked to stop,
// a worker's hand-overs are given up: so a reply handler shows what it has to
// show before it resets the session, and a disconnect it asks for is queued
// only when the reply has been handled.
//
// Locks: info_lock_ guards the texts of SessionInfo; the flags are atomics.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>

#include "client/sessions/command_socket.h"
#include "client/sessions/session_ui.h"
#include "protocol/reassembler.h"

class QObject;
class QTimer;

namespace sessions {

// How a session reaches its DVR. A modem link runs through the loopback
// bridge, which dials the DVR and carries the connection; the value is the
// one the session information has always stored for it.
enum class LinkKind : int { kNetwork = 0, kModem = 5 };

// Where the loopback bridge accepts a modem link's connection.
inline constexpr const char* kBridgeAddress = "127.0.0.1";
inline constexpr uint16_t kBridgePort = 2000;
// The bridge's command port for this process (stream +1, file +2):
// kBridgePort unless a tool runs its own bridge on other ports. Any thread.
uint16_t BridgePort();
void SetBridgePort(uint16_t port);

// Why a session's connection is to end: the mode acts on each its own way
// (the live viewer reconnects only after a drop).
enum class DisconnectCause : int { kOperator = 1, kDropped, kRefused };

inline constexpr int kAlreadyConnected = 0x40001;
// SendAuthData: the mode refused the user name; nothing was sent.
inline constexpr int kUserRefused = 0x40002;
inline constexpr int kNetworkKeepAliveMs = 2000;
inline constexpr int kModemKeepAliveMs = 15000;

struct SessionInfo {
  std::string user_name;  // guarded by info_lock_, at most 127 characters
  std::string password;   // guarded by info_lock_, at most 127 characters
  std::atomic<int> connected{0};
  std::atomic<int> stream_connected{0};
  std::atomic<int> logon_pending{0};
  std::string address;  // guarded by info_lock_, at most 22 characters
  std::atomic<LinkKind> link{LinkKind::kNetwork};
  std::atomic<uint16_t> port{0};
  std::atomic<int> state{0};
};

// The trace lines each mode words its own way, as printf formats that begin
// with the session index (a %d). The core's other lines open with `tag`.
struct CommandSessionTexts {
  const char* tag;                 // "LIVE DVR" gives "[LIVE DVR 0] ..."
  const char* logon_data_full;     // kind, address, port, user name, masked password
  const char* logon_data_address;  // kind, address, port
  const char* logon_typed;         // user name, masked password
  const char* logon_send_failed;
  const char* auth_send_failed;
  const char* in_use;
  const char* already_connected;
  const char* open_failed;
  const char* socket_connected;
  const char* socket_closed;
  const char* receive_failed;
  const char* parse_code;  // the packet's code
  const char* auth_requested;
  const char* admin_notice;
  const char* keep_alive_sent;
  const char* keep_alive_started;
  const char* keep_alive_stopped;
  const char* dvr_notice;       // the notice's text
  const char* dvr_notice_info;  // the same for the informational kind 4
};

// What the core needs of the session built on it. The thread of each call is
// given beside it.
class ICommandSessionHost {
 public:
  virtual ~ICommandSessionHost() = default;
  // Runs `work` on the owner thread and waits for it; given up once the
  // calling worker's socket is stopping (any thread).
  virtual void RunOnOwnerThread(const std::function<void()>& work) = 0;
  // Queues `work` for the owner thread (any thread).
  virtual void PostToOwnerThread(std::function<void()> work) = 0;
  // The logon succeeded with a user level of 0 to 2 (worker thread).
  virtual void OnLoggedOn(uint8_t level) = 0;
  // A reply the core does not handle itself (worker thread).
  virtual void OnReply(uint32_t code, std::span<const uint8_t> payload) = 0;
  // The mode's disconnect command for this session (owner thread): the DVR
  // or the network ended the connection, or the DVR or the client refused it.
  virtual void DisconnectCommand(DisconnectCause cause) = 0;
  // Whether a keep-alive tick still sends (owner thread).
  virtual bool WantsKeepAlive() = 0;
  // The modem stop wait ran out without the DVR's stop reply (owner thread).
  virtual void OnStopWaitExpired() = 0;
  // Reset cleared the session information: the mode forgets its own state
  // (the thread that reset).
  virtual void OnSessionReset() = 0;

  // What a mode may do its own way; the defaults are the live session's.
  // Logon data without credentials: whether a port of 0 is refused too.
  virtual bool AddressNeedsPort() const { return true; }
  // The pause before REQ_AUTHENTICATION is answered (worker thread).
  virtual std::chrono::milliseconds AuthenticationPause() const { return std::chrono::milliseconds(0); }
  // Before AUTH_DATA goes out (any thread): true when this user may not log
  // on in this mode, once the refusal has been shown. The core then asks for
  // the mode's disconnect instead of sending.
  virtual bool RefusesUser(const std::string& /*user_name*/) { return false; }
  // The connection could not be made, or the DVR refused the logon; told
  // before the session resets (worker thread).
  virtual void OnConnectFailed() {}
  virtual void OnLogonRefused() {}
};

class CCommandSession : public ICommandSocketOwner {
 public:
  // `texts` must outlive the session. Timers hang on `timer_parent` and run
  // on its thread, the owner thread.
  CCommandSession(int index, const CommandSessionTexts& texts, CommandSocketVariant variant, int stop_wait_ms,
                  ICommandSessionHost& host, ISessionUi& ui, QObject& timer_parent, Pinger pinger);
  ~CCommandSession() override;
  CCommandSession(const CCommandSession&) = delete;
  CCommandSession& operator=(const CCommandSession&) = delete;

  int index() const { return index_; }
  const SessionInfo& info() const { return info_; }
  bool connected() const { return info_.connected != 0; }
  bool stream_connected() const { return info_.stream_connected != 0; }
  bool over_modem() const { return info_.link == LinkKind::kModem; }
  // Connecting, connected or logged on: a new connection request is refused.
  bool in_use() const { return connected() || info_.state != static_cast<int>(ConnectionState::kIdle); }
  // The user name this session logged on with.
  std::string user_name() const;

  // Commands of the owner thread.
  int SetLogonData(const std::string& address, uint16_t port, const std::string& user_name, const std::string& password,
                   bool network);
  void SubmitLogon();
  int ConnectCommandPort();
  int Reset();
  // As Reset, waiting for the command socket's worker until `deadline` at
  // most, so that several sessions stop side by side.
  int Reset(std::chrono::steady_clock::time_point deadline);
  // Tells the command socket's worker to stop without waiting; Reset ends it.
  void RequestStop();
  // An attempt nobody asked for at that moment (a reconnect): no busy
  // indicator and no box when it cannot connect; the event log still says so.
  void SetQuietConnect(bool quiet) { quiet_connect_ = quiet; }
  void StartKeepAlive();
  void StopKeepAlive();
  bool IsKeepAliveRunning() const;
  int KeepAlivePeriodMs() const;
  // The common head of the stop procedure: the stop wait and the keep-alive end.
  void EndTimers();

  // Requests; any thread.
  int SendKeepAlive();
  int SendAuthData();
  int SendPacket(uint32_t code, std::span<const uint8_t> payload = {});

  // Worker thread, while a reply is handled: a refusal by the administrator
  // alerts and disconnects once the reply is done.
  bool CheckResult(uint8_t result);

  // ICommandSocketOwner, on the worker thread.
  void OnConnect(int error) override;
  void OnReceive() override;
  void OnClose(int error) override;

 protected:
  // The credentials and address a stream connection needs (any thread).
  struct Credentials {
    std::string address;
    std::string user_name;
    std::string password;
  };
  Credentials credentials() const;
  void set_stream_connected(bool up) { info_.stream_connected = up ? 1 : 0; }
  // Reports `state` for this session and keeps it for the main window.
  void EnterState(ConnectionState state);
  // Over a modem, waits for the DVR's stop reply before the line is hung up
  // (owner thread).
  void StartStopWait();
  // The disconnect command, queued once the reply in hand has been handled
  // (worker thread).
  void DisconnectAfterReply();

 private:
  void Dispatch(const protocol::PacketView& packet);
  void OnRequestAuthentication();
  void OnLogonResult(std::span<const uint8_t> payload);
  void OnAdminNotice(std::span<const uint8_t> payload);
  void OnDvrNotice(std::span<const uint8_t> payload);
  void ConnectFailed();
  void CloseProcedure();
  // The administrator took the DVR over: alert and disconnect after the reply.
  void AdminTookOver();

  const int index_;
  const CommandSessionTexts& texts_;
  const char* const tag_;
  ICommandSessionHost& host_;
  ISessionUi& ui_;
  CCommandSocket socket_;
  SessionInfo info_;
  mutable std::mutex info_lock_;
  protocol::Reassembler reassembler_;    // worker thread only, reset when stopped
  bool disconnect_after_reply_ = false;  // worker thread only
  std::atomic<bool> quiet_connect_{false};
  QTimer* keep_alive_ = nullptr;  // owner thread; owned by the timer parent's QObject tree
  QTimer* stop_wait_ = nullptr;
};

}  // namespace sessions
