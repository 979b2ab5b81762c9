// CSearchViewer: the search and playback mode's logic. It owns the search
// session, keeps the month calendar's remembered date and the file list's
// rows, turns the mode's buttons into the session's requests, plays the
// selected file in the viewer control (playback mode), switches the grid's
// layout, rotates channels, records the playing stream and prepares file
// downloads. It takes the control's events for the search session.
//
// Threads: every command runs on the thread this object lives on (the owner
// thread, the user-interface thread in Kaviro). The session's replies come
// here through RunOnOwnerThread, which waits as a synchronous window message
// would; anything that may close the command socket is posted instead.
#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "client/sessions/alarm_popups.h"
#include "client/sessions/command_socket.h"
#include "client/sessions/search_session.h"
#include "client/sessions/search_ui.h"
#include "protocol/search_replies.h"
#include "viewer_control/engine/vistrel_control.h"
#include "viewer_control/engine/vistrel_events.h"

class QTimer;

namespace sessions {

inline constexpr int kRotationPeriodMs = 2000;
inline constexpr int kSpeedCount = 5;  // x1, x2, x4, x8, x16

class CSearchViewer : public QObject, public vistrel::IVistrelEvents {
 public:
  CSearchViewer(ISearchUi& ui, vistrel::IVistrelControl* control, Pinger pinger = {}, QObject* parent = nullptr);
  ~CSearchViewer() override;

  CSearchSession& session() { return *session_; }
  vistrel::IVistrelControl* control() const { return control_; }
  ISearchUi& ui() { return ui_; }

  void RunOnOwnerThread(const std::function<void()>& work);
  void PostToOwnerThread(std::function<void()> work);

  // What the viewer shows and plays.
  PlaybackDirection direction() const { return direction_; }
  int speed_index() const { return speed_index_; }
  int shown_view() const { return view_; }
  bool rotating() const;
  bool recording() const { return recording_; }
  int file_start_seconds() const { return start_seconds_; }
  int file_end_seconds() const { return end_seconds_; }
  const std::vector<protocol::FileRecord>& files() const { return files_; }

  // The mode's commands (owner thread).
  void ChangeCalendarDate(const CalendarDate& date);
  void PlaySelectedFile();
  void FastForward();
  void FastReverse();
  void ForwardPlay();
  void ReversePlay();
  void FrameForward();
  void FrameBack();
  void Stop();
  void Faster();
  void Slower();
  // The position slider let go at `seconds` within the hour.
  void Jump(int seconds);
  void ShowChannel(int channel);     // 0-7
  void ShowQuad(int first_channel);  // 0 or 4
  void ShowAllChannels();
  void ToggleRotation();
  // Drives the rotation as its timer would.
  void RotateOnce();
  void ToggleRecording();
  void TimeToTimePlayback();
  void DownloadSelectedFile();
  void Disconnect();

  // Called by the session on the owner thread.
  void OnRecordedDays(uint32_t day_mask);
  void OnMonthInfo(uint32_t day_mask);
  void OnDayList(std::span<const protocol::FileRecord> files);
  void OnPlaybackPosition(int seconds);
  void StartKeepAlive();
  // An alarm of the DVR (any thread): its box, and the alarm out released
  // when the operator answers it.
  void RaiseAlarm(AlarmKind kind, int number);
  // After every search disconnect: the controls as at start.
  void ResetControls();

  // The control's events for the search session (owner thread).
  void Connect(int nSessionOfNum, int nResult) override;
  void Close(int nSessionOfNum, int nResult) override;
  void AuthenticationResult(int nSessionOfNum, int nResult) override;
  void RecordingFailed(int nSessionOfNum, int nResult) override;

 private:
  // The selected row's record, or nothing after the "To select" box.
  const protocol::FileRecord* SelectedFile();
  // The steps of a file selection from "stop what plays" on.
  void StartPlayback(const protocol::FileRecord& file, const PlaybackRange& range, int start_seconds);
  // The box of a playback command refused while the stream is recorded.
  bool RefusedWhileRecording();
  // A playback command of the table: sent, then the state it leaves.
  void Command(int sent, PlaybackDirection after, const char* event);
  void ChangeSpeed(int step);
  void SetAlign(int start, int per_row);
  void StopRotation();
  void StopRecording();

  ISearchUi& ui_;
  vistrel::IVistrelControl* control_;
  std::unique_ptr<CSearchSession> session_;
  std::optional<CalendarDate> remembered_date_;
  std::vector<protocol::FileRecord> files_;
  PlaybackDirection direction_ = PlaybackDirection::kStopped;
  int speed_index_ = 0;
  int start_seconds_ = 0;
  int end_seconds_ = 0;
  int view_ = kViewAll;
  int next_channel_ = 0;
  int next_quad_ = 0;
  bool recording_ = false;
  bool playing_still_recording_ = false;  // the playing file is still being written
  QTimer* rotation_ = nullptr;
  std::unique_ptr<AlarmPopups> alarms_;  // ended before the session
};

}  // namespace sessions
