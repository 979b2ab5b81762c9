#include "client/shell/shell_session_ui.h"

#include "client/shell/alarm_center.h"
#include "client/shell/buzzer.h"
#include "client/shell/dvr_status_dialog.h"
#include "client/shell/light_dialog.h"
#include "client/shell/log_viewer_dialog.h"
#include "client/shell/shell_window.h"
#include "client/shell/ui_thread.h"
#include "client/shell/wait_indicator.h"
#include "client/shell/window_finder.h"
#include "platform/string_table.h"

namespace shell {
namespace {

// Runs `show` on the open dialog of that type and title, on the
// user-interface thread; false when none is open (the data is dropped).
template <class Dialog>
bool ShowInDialog(int title_id, const std::function<void(Dialog&)>& show) {
  bool shown = false;
  RunOnUiThread([title_id, &show, &shown] {
    if (Dialog* dialog = FindWindowByTitle<Dialog>(QString::fromUtf8(platform::LoadString(title_id)))) {
      show(*dialog);
      shown = true;
    }
  });
  return shown;
}

}  // namespace

void CShellSessionUi::ShowPanelOf(sessions::ConnectionState state) {
  window_.SetPanel(state == sessions::ConnectionState::kLiveLoggedOn    ? LowerPanel::kDvr
                   : state == sessions::ConnectionState::kAwaitingLogon ? LowerPanel::kLogonPrompt
                                                                        : LowerPanel::kConnect);
}

void CShellSessionUi::ReportConnectionState(int slot, sessions::ConnectionState state) {
  RunOnUiThread([this, slot, state] {
    if (slot < 0 || slot >= 4) return;
    states_[slot] = state;
    if (listener_) listener_(slot, state);
    if (changed_) changed_();
    const int selected = selected_ ? selected_() : slot;
    if (slot != selected || window_.mode() != ViewerMode::kRemoteLive) return;
    switch (state) {
      case sessions::ConnectionState::kIdle:
        // The connection is over: its fields start afresh.
        window_.ClearConnectFields();
        window_.ClearLogonFields();
        ShowPanelOf(state);
        break;
      case sessions::ConnectionState::kAwaitingLogon:
      case sessions::ConnectionState::kLiveLoggedOn:
      case sessions::ConnectionState::kFailed:
        ShowPanelOf(state);
        break;
      case sessions::ConnectionState::kConnecting:
      case sessions::ConnectionState::kSearchLoggedOn:
        break;
    }
  });
}

void CShellSessionUi::AddEventLog(uint32_t colour, const std::string& text) { window_.AddEventLog(colour, text); }

void CShellSessionUi::ShowMessage(const std::string& text, sessions::MessageIcon icon) {
  RunOnUiThread([this, &text, icon] { window_.ShowMessage(text, ToBoxIcon(icon)); });
}

void CShellSessionUi::ShowBusy(int text_id) { window_.wait().Show(text_id); }
void CShellSessionUi::HideBusy() { window_.wait().Hide(); }

sessions::LogonFields CShellSessionUi::ReadLogonFields() {
  sessions::LogonFields fields;
  RunOnUiThread([this, &fields] { fields = window_.ReadLogonFields(); });
  return fields;
}

void CShellSessionUi::ClearPasswordField() {
  RunOnUiThread([this] { window_.ClearLogonPassword(); });
}

void CShellSessionUi::PlayWarningBeeps() { StartWarningBeeps(); }

bool CShellSessionUi::ShowAlarm(const sessions::AlarmBox& alarm) {
  return window_.alarms().ShowAlarm(alarm.id, alarm.caption, alarm.text);
}
void CShellSessionUi::UpdateAlarm(const sessions::AlarmBox& alarm) {
  window_.alarms().UpdateAlarm(alarm.id, alarm.text);
}
void CShellSessionUi::StartBuzzer(int alarm_id) { window_.alarms().StartBuzzer(alarm_id); }
void CShellSessionUi::StopBuzzer(int alarm_id) { window_.alarms().StopBuzzer(alarm_id); }

bool CShellSessionUi::DeliverDvrStatus(const sessions::DvrStatusBlock& status) {
  return ShowInDialog<CDvrStatusDialog>(CDvrStatusDialog::kTitleId,
                                        [&status](CDvrStatusDialog& dialog) { dialog.ShowStatus(status); });
}

bool CShellSessionUi::DeliverLogPage(const sessions::DvrLogPage& page) {
  return ShowInDialog<CLogViewerDialog>(CLogViewerDialog::kTitleId,
                                        [&page](CLogViewerDialog& dialog) { dialog.ShowPage(page); });
}

bool CShellSessionUi::DeliverLogFailure() {
  return ShowInDialog<CLogViewerDialog>(CLogViewerDialog::kTitleId,
                                        [](CLogViewerDialog& dialog) { dialog.ShowFailure(); });
}

bool CShellSessionUi::DeliverLightState(uint8_t status) {
  return ShowInDialog<CLightDialog>(CLightDialog::kTitleId,
                                    [status](CLightDialog& dialog) { dialog.ShowState(status); });
}

void CShellSessionUi::CloseLightDialog() {
  ShowInDialog<CLightDialog>(CLightDialog::kTitleId, [](CLightDialog& dialog) { dialog.reject(); });
}

void CShellSessionUi::OfferReconnectFor(int selected) {
  window_.OfferReconnect(selected >= 0 && selected < 4 && dropped_[selected] &&
                         window_.mode() == ViewerMode::kRemoteLive);
}

void CShellSessionUi::ShowSlotStatus(int slot, const sessions::SlotStatus& status) {
  RunOnUiThread([this, slot, status] {
    if (slot < 0 || slot >= 4) return;
    dropped_[slot] = status.dropped;
    window_.ShowSlotStatus(slot, status);
    OfferReconnectFor(selected_ ? selected_() : slot);
  });
}

void CShellSessionUi::ShowSelectedSlot(int slot, bool recording) {
  RunOnUiThread([this, slot, recording] {
    OfferReconnectFor(slot);
    for (int i = 0; i < 4; ++i) window_.LatchButton(DvrButton(i), i == slot);
    window_.LatchButton(ControlId::kRecord, recording);
    if (slot >= 0 && slot < 4 && window_.mode() == ViewerMode::kRemoteLive) ShowPanelOf(states_[slot]);
    if (changed_) changed_();
  });
}

void CShellSessionUi::ShowLayoutCells(int first_cell, int count) {
  RunOnUiThread([this, first_cell, count] {
    for (int cell = 0; cell < 16; ++cell) {
      window_.LatchButton(CameraButton(cell), cell >= first_cell && cell < first_cell + count);
    }
    // The layout button follows the layout, whoever changed it: 1, 4, 8 or 16 cells.
    window_.LatchLayoutButton(count <= 1   ? ControlId::kLayout1Ch
                              : count <= 4 ? ControlId::kLayout4Ch
                              : count <= 9 ? ControlId::kLayout8Ch
                                           : ControlId::kLayout16Ch);
    if (changed_) changed_();
  });
}

void CShellSessionUi::ShowRotation(bool running) {
  RunOnUiThread([this, running] { window_.LatchButton(ControlId::kRotation, running); });
}

void CShellSessionUi::ShowRecording(bool on) {
  RunOnUiThread([this, on] { window_.LatchButton(ControlId::kRecord, on); });
}

void CShellSessionUi::EnableRecording(bool enabled) {
  RunOnUiThread([this, enabled] {
    window_.EnableButton(ControlId::kRecord, enabled);
    if (!enabled) window_.LatchButton(ControlId::kRecord, false);
  });
}

void CShellSessionUi::ResetConnectionControls() {
  RunOnUiThread([this] {
    window_.ClearConnectFields();
    window_.ShowDvrChannels({}, 0);
    window_.LatchButton(ControlId::kRecord, false);
    window_.EnableButton(ControlId::kRecord, false);
    const int selected = selected_ ? selected_() : 0;
    // A DVR of another slot waiting for its logon keeps its prompt.
    if (window_.mode() == ViewerMode::kRemoteLive && selected >= 0 && selected < 4 &&
        states_[selected] != sessions::ConnectionState::kAwaitingLogon) {
      window_.ClearLogonFields();
      window_.SetPanel(LowerPanel::kConnect);
    }
    if (changed_) changed_();
  });
}

void CShellSessionUi::EnablePanTiltArrows(uint8_t arrows) {
  RunOnUiThread([this, arrows] { window_.EnablePanTiltArrows(arrows); });
}

void CShellSessionUi::HidePtzPresetPanel() {
  RunOnUiThread([this] { window_.ShowPtzPresets(false); });
}

}  // namespace shell
