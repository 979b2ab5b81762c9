#include "client/shell/shell_session_ui.h"

#include <QLineEdit>

#include "client/shell/alarm_center.h"
#include "client/shell/buzzer.h"
#include "client/shell/hover_button.h"
#include "client/shell/lower_panels.h"
#include "client/shell/main_window.h"
#include "client/shell/operator_dialogs.h"
#include "client/shell/ptz_preset_panel.h"
#include "client/shell/ui_thread.h"

namespace shell {
namespace {

BoxIcon ToBoxIcon(sessions::MessageIcon icon) {
  switch (icon) {
    case sessions::MessageIcon::kError: return BoxIcon::kError;
    case sessions::MessageIcon::kWarning: return BoxIcon::kWarning;
    case sessions::MessageIcon::kInformation: return BoxIcon::kInformation;
    case sessions::MessageIcon::kNone: break;
  }
  return BoxIcon::kNone;
}

}  // namespace

void CShellSessionUi::ReportConnectionState(int slot, sessions::ConnectionState state) {
  RunOnUiThread([this, slot, state] {
    if (slot < 0 || slot >= 4) return;
    states_[slot] = state;
    if (listener_) listener_(slot, state);
    if (changed_) changed_();
    const int selected = selected_ ? selected_() : slot;
    if (slot != selected || window_.mode() != ViewerMode::kRemoteLive) return;
    switch (state) {
      case sessions::ConnectionState::kAwaitingLogon: window_.SetPanel(2); break;
      case sessions::ConnectionState::kLiveLoggedOn: window_.SetPanel(3); break;
      case sessions::ConnectionState::kIdle:
        // The connection is over: its fields start afresh.
        window_.connect_panel()->ClearFields();
        window_.logon_prompt()->user_edit()->clear();
        window_.logon_prompt()->password_edit()->clear();
        window_.SetPanel(1);
        break;
      case sessions::ConnectionState::kFailed: window_.SetPanel(1); break;
      case sessions::ConnectionState::kConnecting:
      case sessions::ConnectionState::kSearchLoggedOn: break;
    }
  });
}

void CShellSessionUi::AddEventLog(uint32_t colour, const std::string& text) { window_.AddEventLog(colour, text); }

void CShellSessionUi::ShowMessage(const std::string& text, sessions::MessageIcon icon) {
  RunOnUiThread([this, &text, icon] { window_.dialogs().ShowMessageBox(&window_, text, ToBoxIcon(icon)); });
}

void CShellSessionUi::ShowBusy(int text_id) { window_.wait().Show(text_id); }
void CShellSessionUi::HideBusy() { window_.wait().Hide(); }

sessions::LogonFields CShellSessionUi::ReadLogonFields() {
  sessions::LogonFields fields;
  RunOnUiThread([this, &fields] {
    fields.user_name = window_.logon_prompt()->user_edit()->text().toStdString();
    fields.password = window_.logon_prompt()->password_edit()->text().toStdString();
  });
  return fields;
}

void CShellSessionUi::ClearPasswordField() {
  RunOnUiThread([this] { window_.logon_prompt()->password_edit()->clear(); });
}

void CShellSessionUi::PlayWarningBeeps() { StartWarningBeeps(); }

bool CShellSessionUi::ShowAlarm(const sessions::AlarmBox& alarm) {
  return window_.alarms().ShowAlarm(alarm.id, alarm.caption, alarm.text);
}
void CShellSessionUi::UpdateAlarm(const sessions::AlarmBox& alarm) { window_.alarms().UpdateAlarm(alarm.id, alarm.text); }
void CShellSessionUi::StartBuzzer(int alarm_id) { window_.alarms().StartBuzzer(alarm_id); }
void CShellSessionUi::StopBuzzer(int alarm_id) { window_.alarms().StopBuzzer(alarm_id); }

void CShellSessionUi::ShowSelectedSlot(int slot, bool recording) {
  RunOnUiThread([this, slot, recording] {
    for (int i = 0; i < 4; ++i) window_.button(1040 + i)->SetLatched(i == slot);
    window_.button(1088)->SetLatched(recording);
    if (slot >= 0 && slot < 4) {
      const auto state = states_[slot];
      if (window_.mode() == ViewerMode::kRemoteLive) {
        window_.SetPanel(state == sessions::ConnectionState::kLiveLoggedOn ? 3
                         : state == sessions::ConnectionState::kAwaitingLogon ? 2
                                                                               : 1);
      }
    }
    if (changed_) changed_();
  });
}

void CShellSessionUi::ShowLayoutCells(int first_cell, int count) {
  RunOnUiThread([this, first_cell, count] {
    for (int cell = 0; cell < 16; ++cell) {
      window_.button(106 + cell)->SetLatched(cell >= first_cell && cell < first_cell + count);
    }
    // The layout button follows the layout, whoever changed it: 1, 4, 8 or 16 cells.
    window_.LatchLayoutButton(count <= 1 ? 1095 : count <= 4 ? 1096 : count <= 9 ? 1097 : 1098);
    if (changed_) changed_();
  });
}

void CShellSessionUi::ShowRotation(bool running) {
  RunOnUiThread([this, running] { window_.button(1124)->SetLatched(running); });
}

void CShellSessionUi::ShowRecording(bool on) {
  RunOnUiThread([this, on] { window_.button(1088)->SetLatched(on); });
}

void CShellSessionUi::EnableRecording(bool enabled) {
  RunOnUiThread([this, enabled] {
    window_.button(1088)->setEnabled(enabled);
    if (!enabled) window_.button(1088)->SetLatched(false);
  });
}

void CShellSessionUi::ResetConnectionControls() {
  RunOnUiThread([this] {
    window_.connect_panel()->ClearFields();
    window_.dvr_panel()->ShowChannels({}, 0);
    window_.button(1088)->SetLatched(false);
    window_.button(1088)->setEnabled(false);
    const int selected = selected_ ? selected_() : 0;
    // A DVR of another slot waiting for its logon keeps its prompt.
    if (window_.mode() == ViewerMode::kRemoteLive && selected >= 0 && selected < 4 &&
        states_[selected] != sessions::ConnectionState::kAwaitingLogon) {
      window_.logon_prompt()->user_edit()->clear();
      window_.logon_prompt()->password_edit()->clear();
      window_.SetPanel(1);
    }
    if (changed_) changed_();
  });
}

void CShellSessionUi::EnablePanTiltArrows(uint8_t arrows) {
  RunOnUiThread([this, arrows] { window_.channel_panel()->EnableArrows(arrows); });
}

void CShellSessionUi::HidePtzPresetPanel() {
  RunOnUiThread([this] { window_.ptz_preset_panel()->hide(); });
}

}  // namespace shell
