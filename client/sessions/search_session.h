// CSearchSession: the command-port side of the search and playback mode, for
// one DVR at a time (index 0, shown as DVR 1). The core (CCommandSession)
// connects, logs on, keeps the connection alive and follows the DVR's
// notices; this class admits only the DVR's administrator, asks for the
// recorded days and files, starts the playback of a file, hands the stream
// port to the viewer control in playback mode and relays the viewer's
// playback commands.
//
// Threads: as CCommandSession. The owner thread is the search viewer's; the
// replies arrive on the command socket's worker, and what they do to the
// viewer or the control runs on the owner thread through
// CSearchViewer::RunOnOwnerThread, which waits.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <span>

#include "client/sessions/command_session.h"
#include "client/sessions/search_ui.h"

namespace sessions {

class CSearchViewer;

inline constexpr int kSearchStopWaitMs = 5000;

// The second argument of a stop request: why the stream is closed.
enum class StopKind : int { kDisconnect = 0, kPlayAnother = 1 };

// The host comes first among the bases, so it exists before the core keeps it.
class CSearchSession : private ICommandSessionHost, public CCommandSession {
 public:
  CSearchSession(CSearchViewer& viewer, ISearchUi& ui, Pinger pinger = {});
  ~CSearchSession() override;

  int channel_count() const { return channel_count_; }
  bool jump_ready() const { return jump_ready_ != 0; }
  StopKind stop_kind() const { return stop_kind_; }

  // Requests of the viewer; 0 or E_FAIL when the send failed. Any thread.
  int RequestMonthInfo(int year, int month);
  int RequestDayInfo(int year, int month, int day);
  int RequestPlayback(uint32_t file_index, const PlaybackRange& range);
  int RequestForwardPlayback(uint8_t speed_code);
  int RequestReversePlayback(uint8_t speed_code);
  int RequestTrickmode(uint8_t step);
  // Sends nothing while a jump is still unanswered.
  int RequestJump(int minutes);
  int RequestStopRecordStream(uint8_t code, StopKind kind);
  int StopAlarmOut();
  void NoteAlarm(int number, AlarmKind kind);
  int alarm_number() const { return alarm_number_; }
  AlarmKind alarm_kind() const { return alarm_kind_; }
  // The light dialog: its status request, and the lights it sets.
  int RequestLightStatus();
  int RequestLight(uint8_t control);

  // What the download session needs to log on by itself.
  using CCommandSession::Credentials;
  using CCommandSession::credentials;

  // Owner thread.
  void MarkStreamConnected() { set_stream_connected(true); }
  int ConnectViewerControl();
  int DisconnectViewerControl();
  // The search viewer's disconnect command.
  void UserDisconnect();

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

  void StopProcedure();
  void OnSearch(std::span<const uint8_t> payload);
  void OnMonthInfo(std::span<const uint8_t> payload);
  void OnDayInfo(std::span<const uint8_t> payload);
  void OnPlayback(std::span<const uint8_t> payload);
  void OnStatusBar(std::span<const uint8_t> payload);
  void OnStopRecordStream(std::span<const uint8_t> payload);
  void OnBypassReply(std::span<const uint8_t> payload);
  void OnAlarm(AlarmKind kind, std::span<const uint8_t> payload);
  // The direction, speed, trickmode and jump replies only trace.
  void TraceResult(std::span<const uint8_t> payload, const char* done, const char* failed);
  bool AddressNeedsPort() const override { return false; }
  std::chrono::milliseconds AuthenticationPause() const override { return std::chrono::milliseconds(100); }
  bool RefusesUser(const std::string& user_name) override;

  CSearchViewer& viewer_;
  ISearchUi& ui_;
  std::atomic<int> channel_count_{0};
  std::atomic<int> jump_ready_{1};
  std::atomic<StopKind> stop_kind_{StopKind::kDisconnect};
  std::atomic<int> alarm_number_{0};
  std::atomic<AlarmKind> alarm_kind_{AlarmKind::kSensor};
};

}  // namespace sessions
