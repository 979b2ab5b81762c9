// CLiveSession: the live side of one DVR slot's command session. The core
// (CCommandSession) connects, logs on, keeps the connection alive and follows
// the DVR's notices; this class asks for the live stream, hands the stream
// port to the viewer control, answers the stream's replies and takes the live
// stream down again.
//
// Threads: as CCommandSession. The owner thread is the live viewer's; the
// replies arrive on the command socket's worker, and whatever they do to the
// live viewer or the control runs on the owner thread through
// CLiveViewer::RunOnOwnerThread, which waits, as a synchronous window message
// would.
//
// Locks: record_type_lock_ guards the hand-over of record event types to the
// control.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>

#include "client/sessions/command_session.h"
#include "client/sessions/session_ui.h"

class QTimer;

namespace sessions {

class CLiveViewer;

inline constexpr int kModemStopWaitMs = 3000;

// The host comes first among the bases, so it exists before the core keeps it.
class CLiveSession : private ICommandSessionHost, public CCommandSession {
 public:
  CLiveSession(int index, CLiveViewer& viewer, ISessionUi& ui, Pinger pinger = {});
  ~CLiveSession() override;

  int channel_count() const { return channel_count_; }
  // The latest alarm (number 1-8 and kind), kept for the alarm box.
  void NoteAlarm(int number, AlarmKind kind);
  int alarm_number() const { return alarm_number_; }
  AlarmKind alarm_kind() const { return alarm_kind_; }

  // Commands of the owner thread.
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
  int SendChannelChange(uint8_t mask);

  // The control's events for this slot, on the owner thread.
  void OnStreamPortConnected();
  void OnStreamPortClosed();
  void OnStreamAuthenticated();

 private:
  // ICommandSessionHost.
  void RunOnOwnerThread(const std::function<void()>& work) override;
  void PostToOwnerThread(std::function<void()> work) override;
  void OnLoggedOn(uint8_t level) override;
  void OnReply(uint32_t code, std::span<const uint8_t> payload) override;
  void DisconnectCommand(DisconnectCause cause) override;
  bool WantsKeepAlive() override;
  void OnStopWaitExpired() override;
  void OnSessionReset() override;
  void OnConnectFailed() override;
  void OnLogonRefused() override;

  void OnChannelChange(std::span<const uint8_t> payload);
  void OnLiveStream(std::span<const uint8_t> payload);
  // A channel count other than 4 or 8: box, alert, disconnect.
  void RefuseChannelCount(int count);
  void OnStopLiveStream(std::span<const uint8_t> payload);
  void OnBypassReply(std::span<const uint8_t> payload);
  void HandOverRecordEventTypes(std::span<const uint8_t> types);
  void StopProcedure();

  CLiveViewer& viewer_;
  ISessionUi& ui_;
  std::atomic<int> channel_count_{0};
  std::mutex record_type_lock_;
  std::atomic<int> alarm_number_{0};
  std::atomic<AlarmKind> alarm_kind_{AlarmKind::kSensor};
  QTimer* channel_timer_ = nullptr;  // owner thread: the pause before the first channel request
};

}  // namespace sessions
