// What the DVR sessions need of the user interface, and nothing more: the
// connection state of a slot, event-log lines, message boxes, the busy
// indicator, the logon fields, the warning beeps, the alarm boxes and their
// buzzers, the three service dialogs and the live viewer's indicators.
//
// Sessions call these from their worker threads as well as from the owner
// thread; an implementation hands each call to its user-interface thread and
// returns when it has run there, as a synchronous window message would, with
// CallOnOwnerThread (owner_call.h) so that a worker whose socket is being
// closed by that thread does not hold the close up.
#pragma once

#include <cstdint>
#include <string>

#include "client/sessions/dvr_status_block.h"
#include "client/sessions/log_page.h"
#include "client/sessions/reconnect_policy.h"

namespace sessions {

// Event-log colours (0x00BBGGRR).
inline constexpr uint32_t kAlertColour = 0x0000FF;
inline constexpr uint32_t kNoticeColour = 0x00FFFF;
inline constexpr uint32_t kEventColour = 0xFFFFFF;

// The event-log line of a local recording of a DVR's stream started or
// stopped, in the words of its trace.
inline std::string RecordingEventLine(int dvr_number, bool on) {
  return "[EVENT] DVR" + std::to_string(dvr_number) + (on ? " File Recording Start..." : " File Recording Stop...");
}

// Connection states shown by the main window.
enum class ConnectionState : int {
  kIdle = 0,
  kFailed = 1,
  kAwaitingLogon = 2,
  kLiveLoggedOn = 3,
  kSearchLoggedOn = 4,
  kConnecting = 6,
};

enum class MessageIcon { kNone = 1, kError, kWarning, kInformation };

enum class AlarmKind { kSensor = 1, kMotion };

// One alarm box: the texts are ready to show (warning icon, OK button, no
// owner window). `id` tells the alarms apart for their buzzers; `repeats`
// counts the same alarm raised again while its box was up (in the text).
struct AlarmBox {
  int id = 0;
  int dvr_number = 0;  // 1-based
  AlarmKind kind = AlarmKind::kSensor;
  int number = 0;  // sensor or channel, 1-8
  int repeats = 0;
  std::string caption;  // "Sensor Alarm Out" / "Motion Alarm Out"
  std::string text;
};

// Pan/tilt arrows that the current mode enables.
enum PanTiltArrows : uint8_t { kArrowUp = 1, kArrowDown = 2, kArrowLeft = 4, kArrowRight = 8 };

struct LogonFields {
  std::string user_name;
  std::string password;
};

class ISessionUi {
 public:
  virtual ~ISessionUi() = default;

  virtual void ReportConnectionState(int slot, ConnectionState state) = 0;
  virtual void AddEventLog(uint32_t colour, const std::string& text) = 0;
  // Returns once the operator has closed the box.
  virtual void ShowMessage(const std::string& text, MessageIcon icon) = 0;
  // The busy indicator with a text from the string table; Hide ends it.
  virtual void ShowBusy(int text_id) = 0;
  virtual void HideBusy() = 0;
  // The user name and password fields of the main window.
  virtual LogonFields ReadLogonFields() = 0;
  virtual void ClearPasswordField() = 0;
  // Six alternating warning tones, played without blocking the caller.
  virtual void PlayWarningBeeps() = 0;

  // Alarms. ShowAlarm is called on the alarm's own thread and returns once
  // the operator answered the box: true for OK. Several may be up at once.
  // The buzzer of an alarm (wave file allowed) starts before its box and
  // stops after it. UpdateAlarm gives an open box (same id) its new text; it
  // is called under the alarms' lock from any thread, so it must not wait,
  // and it may come before the box is up or until its buzzer stops.
  virtual bool ShowAlarm(const AlarmBox& alarm) = 0;
  virtual void UpdateAlarm(const AlarmBox& /*alarm*/) {}
  virtual void StartBuzzer(int alarm_id) = 0;
  virtual void StopBuzzer(int alarm_id) = 0;

  // The service dialogs, found by their titles. Each delivery returns false
  // when its dialog is not open (the data is then dropped); the data need
  // only live until the call returns.
  // "Kaviro - Remote DVR Status & Calling Service": refill every field.
  virtual bool DeliverDvrStatus(const DvrStatusBlock& status) = 0;
  // "Kaviro - Logfile Viewer": show the page (a page count of 0 changes nothing).
  virtual bool DeliverLogPage(const DvrLogPage& page) = 0;
  // The DVR could not give the page: the viewer shows that the day has no
  // list rather than the page it showed before.
  virtual bool DeliverLogFailure() { return false; }
  // "Kaviro - Light Control": the light status byte.
  virtual bool DeliverLightState(uint8_t status) = 0;
  // Cancel the light dialog if it is open (its slot disconnected).
  virtual void CloseLightDialog() = 0;

  // The live viewer's indicators on the main window; optional to show.
  virtual void ShowSelectedSlot(int /*slot*/, bool /*recording*/) {}
  virtual void ShowLayoutCells(int /*first_cell*/, int /*count*/) {}
  virtual void ShowRotation(bool /*running*/) {}
  virtual void ShowRecording(bool /*on*/) {}
  // The record button takes clicks only while a live stream is up.
  virtual void EnableRecording(bool /*enabled*/) {}
  // No live stream is left: the connection fields start afresh (address
  // cleared, port 2000, user name and password cleared), the pan/tilt
  // indicators and the record button are reset and the connect panel shows.
  virtual void ResetConnectionControls() {}
  virtual void EnablePanTiltArrows(uint8_t /*arrows*/) {}
  virtual void HidePtzPresetPanel() {}
  // A DVR slot's connection state changed (owner thread); optional to show.
  virtual void ShowSlotStatus(int /*slot*/, const SlotStatus& /*status*/) {}
};

}  // namespace sessions
