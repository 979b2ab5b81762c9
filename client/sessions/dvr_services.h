// DvrServices: the DVR's service requests and their replies for the four live
// slots: DVR status, the log page of a day, the e-mail and call service
// setting, lights, stop alarm out, and the sensor and motion alarms.
//
// Threads: the requests run on the owner thread (StopAlarmOut also on an
// alarm box thread); the reply handlers run on a session's command socket
// worker and reach the dialogs through ISessionUi, which hands the data to
// its own thread and returns when it was shown. No lock of its own: the
// sessions' sockets serialise their sends.
#pragma once

#include <cstdint>
#include <span>

#include "client/sessions/dvr_status_block.h"
#include "client/sessions/session_ui.h"

namespace sessions {

class CLiveViewer;
class AlarmPopups;

inline constexpr int kRequestStatusTextId = 167;
inline constexpr int kRequestLogTextId = 174;
inline constexpr uint8_t kLightStatusRequest = 0x01;
inline constexpr uint8_t kLightSet = 0x00;

class DvrServices {
 public:
  DvrServices(CLiveViewer& viewer, ISessionUi& ui, AlarmPopups& alarms);

  // Requests for a slot; 0, or E_FAIL when the slot is not connected or the
  // send failed (traced, not retried).
  int RequestDvrStatus(int slot);
  int RequestLogByDate(int slot, int year, int month, int day, uint32_t page);
  // Refused with the warning box unless the slot logged on as "admin".
  int SendEmailSetting(int slot, const ServiceSettingBlock& setting);
  int RequestLightStatus(int slot);
  int SetLights(int slot, uint8_t status);
  int StopAlarmOut(int slot);

  // Worker thread: the replies that belong here; false for any other code.
  bool HandleReply(int slot, uint32_t code, std::span<const uint8_t> payload);
  bool HandleBypass(int slot, bool succeeded, uint8_t sub_code, std::span<const uint8_t> data);

 private:
  int SendBypass(int slot, std::span<const uint8_t> payload);
  void OnAlarm(int slot, AlarmKind kind, std::span<const uint8_t> payload);
  void OnStatus(int slot, std::span<const uint8_t> payload);
  void OnLogPage(int slot, std::span<const uint8_t> payload);

  CLiveViewer& viewer_;
  ISessionUi& ui_;
  AlarmPopups& alarms_;
};

}  // namespace sessions
