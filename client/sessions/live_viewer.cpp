#include "client/sessions/live_viewer.h"

#include "client/sessions/owner_call.h"

#include <QThread>

#include <cstdio>

#include "platform/result_codes.h"
#include "platform/string_table.h"
#include "platform/trace.h"

namespace sessions {

CLiveViewer::CLiveViewer(ISessionUi& ui, vistrel::IVistrelControl* control, Pinger pinger, QObject* parent)
    : QObject(parent),
      ui_(ui),
      control_(control),
      alarms_(std::make_unique<AlarmPopups>(ui)),
      services_(std::make_unique<DvrServices>(*this, ui, *alarms_)),
      layouts_(std::make_unique<LiveLayouts>(*this)),
      ptz_(std::make_unique<PtzControl>(*this)) {
  for (int slot = 0; slot < kSlotCount; ++slot) {
    sessions_[slot] = std::make_unique<CLiveSession>(slot, *this, ui, pinger);
    policies_[slot] = std::make_unique<ReconnectPolicy>(
        std::make_unique<QtReconnectTimer>(), [this, slot] { AttemptReconnect(slot); },
        [this, slot](const SlotStatus& status) { ShowSlotStatus(slot, status); });
  }
}

CLiveViewer::~CLiveViewer() {
  // The sessions' workers may still post work here; stop them first.
  ResetSessions();
  // No worker raises alarms any more; answered boxes may still release theirs.
  alarms_.reset();
}

void CLiveViewer::RunOnOwnerThread(const std::function<void()>& work) { CallOnOwnerThread(this, work); }

void CLiveViewer::PostToOwnerThread(std::function<void()> work) { platform::PostToOwnerThread(this, std::move(work)); }

void CLiveViewer::SelectSlot(int slot) {
  if (slot < 0 || slot >= kSlotCount) return;
  selected_slot_ = slot;
  const auto& flags = slots_[slot].pan_tilt;
  ui_.ReportConnectionState(slot, static_cast<ConnectionState>(sessions_[slot]->info().state.load()));
  ui_.ShowSelectedSlot(slot, slots_[slot].recording);
  Trace("PTZ Camera Index(%d): 0x%02X, 0x%02X, 0x%02X, 0x%02X, 0x%02X, 0x%02X, 0x%02X, 0x%02X", slot, flags[0],
        flags[1], flags[2], flags[3], flags[4], flags[5], flags[6], flags[7]);
}

void CLiveViewer::SelectSlotButton(int slot) {
  if (slot < 0 || slot >= kSlotCount) return;
  SelectSlot(slot);
  layouts_->ShowSlot(slot);
  ui_.AddEventLog(kEventColour, platform::FormatString(191, slot + 1));
}

int CLiveViewer::AssignCells(int slot, int channel_count) {
  const int assigned = cells_.AssignCells(slot, channel_count);
  if (assigned > 0) slots_[slot].channel_count = assigned;
  return assigned;
}

void CLiveViewer::ReleaseCells(int slot) {
  cells_.ReleaseCells(slot);
  slots_[slot] = SlotRecord{};
  for (int candidate = 0; candidate < kSlotCount; ++candidate) {
    if (slots_[candidate].active) {
      SelectSlot(candidate);
      break;
    }
  }
}

void CLiveViewer::SetChannelFlags(int slot, const std::array<uint8_t, 8>& flags) { slots_[slot].pan_tilt = flags; }

void CLiveViewer::StreamStarted(int slot) {
  slots_[slot].active = true;
  sessions_[slot]->SetQuietConnect(false);
  policies_[slot]->Online(slots_[slot].channel_count);
  selected_slot_ = slot;
  layouts_->ShowSlot(slot);
  ui_.EnableRecording(true);
}

void CLiveViewer::ResetControls() {
  bool any_active = false;
  for (const SlotRecord& record : slots_) any_active = any_active || record.active;
  if (any_active) return;
  // Nothing left to rotate through, and nothing for the DVR panel to show.
  layouts_->StopRotation();
  ui_.ResetConnectionControls();
}

void CLiveViewer::ToggleRecording() {
  const int slot = selected_slot_;
  if (!slots_[slot].active) return;
  const bool on = !slots_[slot].recording;
  Trace(on ? "[LIVE DVR %d] File Recording Start..." : "[LIVE DVR %d] File Recording Stop...", slot);
  if (control_ == nullptr) {
    Trace("[LIVE DVR %d] Mpeg4StreamCtl is destroy !!!", slot);
  } else if (control_->SetMpeg4Recording(slot, on ? 1 : 0) != vistrel::ControlResult::kDone && on) {
    // Nothing is being recorded: the button stays off and the operator learns why.
    ui_.ShowRecording(false);
    ui_.ShowMessage("DVR " + std::to_string(slot + 1) + ", Recording failed.\n" + control_->RecordingFailureText(slot),
                    MessageIcon::kError);
    return;
  }
  slots_[slot].recording = on;
  ui_.ShowRecording(on);
  ui_.AddEventLog(kEventColour, RecordingEventLine(slot + 1, on));
}

void CLiveViewer::StopRecording(int slot) {
  if (!slots_[slot].recording) return;
  slots_[slot].recording = false;
  if (slot == selected_slot_) ui_.ShowRecording(false);
  Trace("[LIVE DVR %d] File Recording Stop...", slot);
  if (control_ != nullptr) control_->SetMpeg4Recording(slot, 0);
  ui_.AddEventLog(kEventColour, RecordingEventLine(slot + 1, false));
}

bool CLiveViewer::DispatchServiceReply(int slot, uint32_t code, std::span<const uint8_t> payload) {
  return services_->HandleReply(slot, code, payload);
}

bool CLiveViewer::DispatchBypassReply(int slot, bool succeeded, uint8_t sub_code, std::span<const uint8_t> data) {
  return services_->HandleBypass(slot, succeeded, sub_code, data);
}

int CLiveViewer::ConnectSlot(int slot, const SlotTarget& target) {
  if (slot < 0 || slot >= kSlotCount) return E_FAIL;
  CLiveSession& session = *sessions_[slot];
  // A slot in use keeps its DVR and what it would reconnect to.
  if (session.in_use()) {
    return session.SetLogonData(target.address, target.port, target.user_name, target.password, target.network);
  }
  session.SetQuietConnect(false);
  policies_[slot]->Connecting(target);
  const int result =
      session.SetLogonData(target.address, target.port, target.user_name, target.password, target.network);
  if (result != 0 || !session.in_use()) policies_[slot]->ConnectFailed();
  return result;
}

bool CLiveViewer::ReconnectSlot(int slot) {
  if (slot < 0 || slot >= kSlotCount) return false;
  return policies_[slot]->ReconnectNow();
}

void CLiveViewer::SetReconnectTimers(const ReconnectTimerFactory& make) {
  for (auto& policy : policies_) policy->SetTimer(make());
}

void CLiveViewer::SlotConnectFailed(int slot) { policies_.at(slot)->ConnectFailed(); }

void CLiveViewer::SlotRefused(int slot) { policies_.at(slot)->Refused(); }

void CLiveViewer::AttemptReconnect(int slot) {
  ReconnectPolicy& policy = *policies_[slot];
  const SlotTarget& target = policy.target();
  char line[64];
  std::snprintf(line, sizeof line, "[NOTICE] DVR %d Reconnect attempt %d", slot + 1, policy.status().attempt);
  ui_.AddEventLog(kNoticeColour, line);
  Trace("[LIVE DVR %d] reconnect attempt %d.", slot, policy.status().attempt);
  CLiveSession& session = *sessions_[slot];
  session.SetQuietConnect(true);
  if (session.SetLogonData(target.address, target.port, target.user_name, target.password, target.network) != 0 ||
      !session.in_use()) {
    policy.ConnectFailed();
  }
}

void CLiveViewer::ShowSlotStatus(int slot, const SlotStatus& status) {
  Trace("[LIVE DVR %d] connection state: %s", slot, SlotStateName(status.state));
  ui_.ShowSlotStatus(slot, status);
}

void CLiveViewer::DisconnectSlot(int slot, DisconnectCause cause) {
  if (slot < 0 || slot >= kSlotCount) return;
  SelectSlot(slot);
  sessions_[slot]->UserDisconnect();
  switch (cause) {
    case DisconnectCause::kOperator:
      policies_[slot]->OperatorDisconnected();
      break;
    case DisconnectCause::kDropped:
      policies_[slot]->Dropped();
      break;
    case DisconnectCause::kRefused:
      policies_[slot]->Refused();
      break;
  }
}

void CLiveViewer::DisconnectAll() {
  for (int slot = 0; slot < kSlotCount; ++slot) {
    policies_[slot]->OperatorDisconnected();
    StopRecording(slot);
    sessions_[slot]->StopKeepAlive();
    sessions_[slot]->DisconnectAtOnce();
  }
  ResetSessions();
  for (int slot = 0; slot < kSlotCount; ++slot) {
    cells_.ReleaseCells(slot);
    slots_[slot] = SlotRecord{};
  }
}

void CLiveViewer::ResetSessions() {
  // Every worker is told first and all are waited for within one bound, not
  // one bound after the other.
  for (auto& session : sessions_) session->RequestStop();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(CCommandSocket::kStopTimeoutMs);
  for (auto& session : sessions_) session->Reset(deadline);
}

void CLiveViewer::Connect(int nSessionOfNum, int) {
  if (nSessionOfNum < 0 || nSessionOfNum >= kSlotCount) return;
  slots_[nSessionOfNum].awaiting_authentication = true;
  sessions_[nSessionOfNum]->OnStreamPortConnected();
}

void CLiveViewer::Close(int nSessionOfNum, int) {
  if (nSessionOfNum < 0 || nSessionOfNum >= kSlotCount) return;
  // A stream already disconnected on our side has nothing left to end.
  if (sessions_[nSessionOfNum]->stream_connected()) sessions_[nSessionOfNum]->OnStreamPortClosed();
}

void CLiveViewer::AuthenticationResult(int nSessionOfNum, int) {
  if (nSessionOfNum < 0 || nSessionOfNum >= kSlotCount) return;
  if (!slots_[nSessionOfNum].awaiting_authentication) return;
  slots_[nSessionOfNum].awaiting_authentication = false;
  sessions_[nSessionOfNum]->OnStreamAuthenticated();
}

void CLiveViewer::RecordingFailed(int nSessionOfNum, int) {
  const int session = nSessionOfNum;
  if (session < 0 || session >= kSlotCount || !slots_[session].recording) return;
  const std::string why = control_ != nullptr ? control_->RecordingFailureText(session) : std::string();
  StopRecording(session);
  ui_.AddEventLog(kAlertColour, "[ALERT] DVR" + std::to_string(session + 1) + ", Recording stopped: " + why);
}

}  // namespace sessions
