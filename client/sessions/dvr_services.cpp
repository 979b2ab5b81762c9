#include "client/sessions/dvr_services.h"

#include <vector>

#include "client/sessions/alarm_popups.h"
#include "client/sessions/live_viewer.h"
#include "client/sessions/log_page.h"
#include "platform/result_codes.h"
#include "platform/string_table.h"
#include "platform/trace.h"
#include "protocol/command_codes.h"
#include "protocol/service_replies.h"

namespace sessions {
namespace {

namespace cmd = protocol::cmd;

constexpr int kMotionAlertText = 182;
constexpr int kSensorAlertText = 183;
constexpr int kLogViewText = 184;
constexpr int kStatusViewText = 185;
constexpr int kStatusSettingText = 186;
constexpr int kSettingDoneText = 142;
constexpr int kAdminOnlyText = 143;
constexpr int kFirstAlarm = 1;
constexpr int kLastAlarm = 8;

}  // namespace

DvrServices::DvrServices(CLiveViewer& viewer, ISessionUi& ui, AlarmPopups& alarms)
    : viewer_(viewer), ui_(ui), alarms_(alarms) {}

int DvrServices::RequestDvrStatus(int slot) {
  ui_.AddEventLog(kEventColour, platform::LoadString(kStatusViewText));
  CLiveSession& session = viewer_.session(slot);
  if (!session.connected()) return E_FAIL;
  ui_.ShowBusy(kRequestStatusTextId);
  Trace("[LIVE DVR %d] Request DVR status.", slot);
  const uint8_t payload[1] = {protocol::sub::kDvrStatus};
  return session.SendPacket(cmd::REQ_DVR_STATUS, payload) == 0 ? 0 : E_FAIL;
}

int DvrServices::RequestLogByDate(int slot, int year, int month, int day, uint32_t page) {
  ui_.AddEventLog(kEventColour, platform::LoadString(kLogViewText));
  CLiveSession& session = viewer_.session(slot);
  if (!session.connected()) return E_FAIL;
  ui_.ShowBusy(kRequestLogTextId);
  Trace("[LIVE DVR %d] request log file by date.", slot);
  return session.SendPacket(cmd::REQ_LOGFILE_BY_DATE, BuildLogRequest(year, month, day, page)) == 0 ? 0 : E_FAIL;
}

int DvrServices::SendEmailSetting(int slot, const ServiceSettingBlock& setting) {
  CLiveSession& session = viewer_.session(slot);
  if (session.user_name() != "admin") {
    ui_.ShowMessage(platform::LoadString(kAdminOnlyText), MessageIcon::kWarning);
    return E_FAIL;
  }
  std::vector<uint8_t> payload = {protocol::sub::kBypass, protocol::bypass::kEmailSetting};
  const auto block = BuildSettingBlock(setting);
  payload.insert(payload.end(), block.begin(), block.end());
  Trace("[LIVE DVR %d] request e-mail setting.", slot);
  ui_.AddEventLog(kEventColour, platform::LoadString(kStatusSettingText));
  return SendBypass(slot, payload);
}

int DvrServices::RequestLightStatus(int slot) {
  Trace("[LIVE DVR %d] request light status.", slot);
  const uint8_t payload[4] = {protocol::sub::kBypass, protocol::bypass::kLight, kLightStatusRequest, 0x00};
  return SendBypass(slot, payload);
}

int DvrServices::SetLights(int slot, uint8_t status) {
  Trace("[LIVE DVR %d] request light control.", slot);
  const uint8_t payload[4] = {protocol::sub::kBypass, protocol::bypass::kLight, kLightSet, status};
  return SendBypass(slot, payload);
}

int DvrServices::StopAlarmOut(int slot) {
  Trace("[LIVE DVR %d] request stop Alram out.", slot);
  const uint8_t payload[2] = {protocol::sub::kBypass, protocol::bypass::kStopAlarmOut};
  return SendBypass(slot, payload);
}

int DvrServices::SendBypass(int slot, std::span<const uint8_t> payload) {
  CLiveSession& session = viewer_.session(slot);
  if (!session.connected()) return E_FAIL;
  return session.SendPacket(cmd::BYPASS, payload) == 0 ? 0 : E_FAIL;
}

// Worker thread from here on.

bool DvrServices::HandleReply(int slot, uint32_t code, std::span<const uint8_t> payload) {
  switch (code) {
    case cmd::SENSOR_ALARM:
      OnAlarm(slot, AlarmKind::kSensor, payload);
      return true;
    case cmd::MOTION_ALARM:
      OnAlarm(slot, AlarmKind::kMotion, payload);
      return true;
    case cmd::RESP_DVR_STATUS:
      OnStatus(slot, payload);
      return true;
    case cmd::RESP_LOGFILE_BY_DATE:
      OnLogPage(slot, payload);
      return true;
    default:
      return false;
  }
}

void DvrServices::OnAlarm(int slot, AlarmKind kind, std::span<const uint8_t> payload) {
  const auto alarm = protocol::DecodeAlarm(payload);
  CLiveSession& session = viewer_.session(slot);
  if (alarm && !session.CheckResult(alarm->result)) return;
  // A malformed alarm has no number: out of range like 0.
  const int number = alarm && alarm->body ? *alarm->body : 0;
  if (number < kFirstAlarm || number > kLastAlarm) {
    Trace("[LIVE DVR %d] alarm number %d out of range; ignored.", slot, number);
    return;
  }
  session.NoteAlarm(number, kind);
  const int text = kind == AlarmKind::kSensor ? kSensorAlertText : kMotionAlertText;
  ui_.AddEventLog(kAlertColour, platform::FormatString(text, slot + 1, number));
  alarms_.Raise(slot + 1, kind, number, [this, slot] { StopAlarmOut(slot); });
}

void DvrServices::OnStatus(int slot, std::span<const uint8_t> payload) {
  const auto reply = protocol::DecodeDvrStatusReply(payload);
  // A reply without its result byte is malformed, never a success.
  if (reply && !viewer_.session(slot).CheckResult(reply->result)) {
    Trace("[LIVE DVR %d] response dvr status failed.", slot);
    return;
  }
  if (reply) Trace("[LIVE DVR %d] response dvr status.", slot);
  if (!reply || !reply->body) {
    Trace("[LIVE DVR %d] dvr status block of %zu bytes is malformed; dropped.", slot, reply ? reply->body_bytes : 0);
  } else if (!ui_.DeliverDvrStatus(*reply->body)) {
    Trace("[LIVE DVR %d] no dvr status dialog; status dropped.", slot);
  }
  ui_.HideBusy();
}

void DvrServices::OnLogPage(int slot, std::span<const uint8_t> payload) {
  ui_.HideBusy();
  const auto reply = protocol::DecodeLogPageReply(payload);
  if (reply && !viewer_.session(slot).CheckResult(reply->result)) {
    Trace("[LIVE DVR %d] response log file by date failed.", slot);
    ui_.DeliverLogFailure();
    return;
  }
  if (!reply || !reply->body) {
    Trace("[LIVE DVR %d] log page of %zu bytes is malformed; dropped.", slot, reply ? reply->body_bytes : 0);
    ui_.DeliverLogFailure();
    return;
  }
  const DvrLogPage& page = *reply->body;
  if (page.records.size() < page.declared_records) {
    Trace("[LIVE DVR %d] log page announces %d records but carries %zu.", slot, page.declared_records,
          page.records.size());
  }
  if (!ui_.DeliverLogPage(page)) Trace("[LIVE DVR %d] no log viewer; page dropped.", slot);
}

bool DvrServices::HandleBypass(int slot, bool succeeded, uint8_t sub_code, std::span<const uint8_t> data) {
  if (sub_code == protocol::bypass::kEmailSetting) {
    if (!succeeded) {
      Trace("[LIVE DVR %d] response e-mail setting failed.", slot);
      return true;
    }
    Trace("[LIVE DVR %d] response e-mail setting.", slot);
    ui_.ShowMessage(platform::LoadString(kSettingDoneText), MessageIcon::kInformation);
    return true;
  }
  if (sub_code == protocol::bypass::kLight) {
    const auto light = protocol::DecodeLightState(data);
    if (!succeeded || !light) {
      Trace("[LIVE DVR %d] response dvr light failed.", slot);
      return true;
    }
    Trace("[LIVE DVR %d] response dvr light status.", slot);
    ui_.DeliverLightState(*light);
    return true;
  }
  return false;
}

}  // namespace sessions
