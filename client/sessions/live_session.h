// CLiveSession: the command-port side of live viewing for one DVR slot. It
// connects, logs on, asks for the live stream, hands the stream port to the
// viewer control, keeps the connection alive, follows the DVR's notices and
// takes the connection down again.
//
// Threads: commands (SetLogonData, SubmitLogon, UserDisconnect, timers) run on
// the owner thread, the one the live viewer lives on. Replies are dispatched on
// the command socket's worker thread; whatever they do to the live viewer or
// the control is run on the owner thread through CLiveViewer::RunOnOwnerThread,
// which waits, as a synchronous window message would. The user interface is
// reached through ISessionUi from either thread. Once the socket is asked to
// stop, a worker's hand-overs are given up: so a reply handler shows what it
// has to show before it resets the session, and a disconnect it asks for is
// queued only when the reply has been handled.
//
// Locks: info_lock_ guards the texts of SessionInfo; the flags are atomics.
// record_type_lock_ guards the hand-over of record event types to the control.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

#include "client/sessions/command_socket.h"
#include "client/sessions/session_ui.h"
#include "protocol/byte_reader.h"
#include "protocol/reassembler.h"

class QTimer;

namespace sessions {

class CLiveViewer;

inline constexpr int kModemLink = 5;
inline constexpr int kAlreadyConnected = 0x40001;
inline constexpr int kNetworkKeepAliveMs = 2000;
inline constexpr int kModemKeepAliveMs = 15000;
inline constexpr int kModemStopWaitMs = 3000;

struct SessionInfo {
  std::string user_name;  // guarded by info_lock_, at most 127 characters
  std::string password;   // guarded by info_lock_, at most 127 characters
  std::atomic<int> connected{0};
  std::atomic<int> stream_connected{0};
  std::atomic<int> logon_pending{0};
  std::string address;  // guarded by info_lock_, at most 22 characters
  std::atomic<int> modem{0};
  std::atomic<uint16_t> port{0};
  std::atomic<int> state{0};
};

class CLiveSession : public ICommandSocketOwner {
 public:
  CLiveSession(int index, CLiveViewer& viewer, ISessionUi& ui, Pinger pinger = {});
  ~CLiveSession() override;

  int index() const { return index_; }
  const SessionInfo& info() const { return info_; }
  int channel_count() const { return channel_count_; }
  bool connected() const { return info_.connected != 0; }
  bool stream_connected() const { return info_.stream_connected != 0; }
  bool over_modem() const { return info_.modem == kModemLink; }
  // Connecting, connected or logged on: a new connection request is refused.
  bool in_use() const { return connected() || info_.state != static_cast<int>(ConnectionState::kIdle); }
  // The user name this slot logged on with.
  std::string user_name() const;
  // The latest alarm (number 1-8 and kind), kept for the alarm box.
  void NoteAlarm(int number, AlarmKind kind);
  int alarm_number() const { return alarm_number_; }
  AlarmKind alarm_kind() const { return alarm_kind_; }

  // Commands of the owner thread.
  int SetLogonData(const std::string& address, uint16_t port, const std::string& user_name,
                   const std::string& password, bool network);
  void SubmitLogon();
  int ConnectCommandPort();
  int Reset();
  // As Reset, waiting for the command socket's worker until `deadline` at
  // most, so that the viewer stops its slots side by side.
  int Reset(std::chrono::steady_clock::time_point deadline);
  // Tells the command socket's worker to stop without waiting; Reset ends it.
  void RequestStop();
  // The live viewer's disconnect command for this slot.
  void UserDisconnect();
  // Leaving live mode: stop request and control disconnect, no waiting for
  // replies; the worker (pinging, connecting or connected) is told to stop,
  // and Reset follows.
  void DisconnectAtOnce();
  int ConnectViewerControl();
  int DisconnectViewerControl();

  // Requests; any thread.
  int RequestLiveStream();
  int RequestStopLiveStream();
  int SendKeepAlive();
  int SendAuthData();
  int SendChannelChange(uint8_t mask);
  int SendPacket(uint32_t code, std::span<const uint8_t> payload = {});

  // The control's events for this slot, on the owner thread.
  void OnStreamPortConnected();
  void OnStreamPortClosed();
  void OnStreamAuthenticated();

  // Worker thread, while a reply is handled: a refusal by the administrator
  // alerts and disconnects once the reply is done.
  bool CheckResult(uint8_t result);

  // ICommandSocketOwner, on the worker thread.
  void OnConnect(int error) override;
  void OnReceive() override;
  void OnClose(int error) override;

 private:
  void Dispatch(const protocol::PacketView& packet);
  void OnRequestAuthentication();
  void OnLogonResult(protocol::ByteReader payload);
  void OnChannelChange(protocol::ByteReader payload);
  void OnLiveStream(protocol::ByteReader payload);
  // A channel count other than 4 or 8: box, alert, disconnect.
  void RefuseChannelCount(int count);
  void OnStopLiveStream(protocol::ByteReader payload);
  void OnBypassReply(protocol::ByteReader payload);
  void OnAdminNotice(protocol::ByteReader payload);
  void OnDvrNotice(protocol::ByteReader payload);
  void StopProcedure();
  void ConnectFailed();
  void CloseProcedure();
  // The administrator took the DVR over: alert, select this slot, disconnect.
  void AdminTookOver();
  // The disconnect command for this slot, queued once the reply in hand has
  // been handled (worker thread).
  void DisconnectAfterReply();

  const int index_;
  CLiveViewer& viewer_;
  ISessionUi& ui_;
  CCommandSocket socket_;
  SessionInfo info_;
  mutable std::mutex info_lock_;
  protocol::Reassembler reassembler_;  // worker thread only, reset when stopped
  std::atomic<int> channel_count_{0};
  std::mutex record_type_lock_;
  std::atomic<int> alarm_number_{0};
  std::atomic<AlarmKind> alarm_kind_{AlarmKind::kSensor};
  bool disconnect_after_reply_ = false;  // worker thread only
  QTimer* stop_timer_ = nullptr;       // owner thread; owned by the viewer's QObject tree
  QTimer* channel_timer_ = nullptr;    // the pause before the first channel request
};

}  // namespace sessions
