// CShellSessionUi: what the DVR sessions see of the user interface, carried
// out through the main window's interface. Calls from worker threads are handed
// to the user-interface thread and return when they have run there; alarm
// boxes wait on their own threads.
//
// Threads: any thread. The slot states below are read and written on the
// user-interface thread only.
#pragma once

#include <array>
#include <functional>

#include "client/sessions/session_ui.h"

namespace shell {

class IShellWindow;

class CShellSessionUi : public sessions::ISessionUi {
 public:
  explicit CShellSessionUi(IShellWindow& window) : window_(window) {}

  // Which slot's state the window shows: the selected one.
  void SetSelectedSlotSource(std::function<int()> selected) { selected_ = std::move(selected); }
  // Told when a slot's state changes (user-interface thread).
  void SetStateListener(std::function<void(int slot, sessions::ConnectionState)> listener) {
    listener_ = std::move(listener);
  }
  // Told after anything the live grid's buttons depend on changed.
  void SetChangeListener(std::function<void()> listener) { changed_ = std::move(listener); }
  sessions::ConnectionState state(int slot) const { return states_.at(slot); }

  void ReportConnectionState(int slot, sessions::ConnectionState state) override;
  void AddEventLog(uint32_t colour, const std::string& text) override;
  void ShowMessage(const std::string& text, sessions::MessageIcon icon) override;
  void ShowBusy(int text_id) override;
  void HideBusy() override;
  sessions::LogonFields ReadLogonFields() override;
  void ClearPasswordField() override;
  void PlayWarningBeeps() override;

  bool ShowAlarm(const sessions::AlarmBox& alarm) override;
  void UpdateAlarm(const sessions::AlarmBox& alarm) override;
  void StartBuzzer(int alarm_id) override;
  void StopBuzzer(int alarm_id) override;

  // The service dialogs, found by their titles on the user-interface thread.
  bool DeliverDvrStatus(const sessions::DvrStatusBlock& status) override;
  bool DeliverLogPage(const sessions::DvrLogPage& page) override;
  bool DeliverLogFailure() override;
  bool DeliverLightState(uint8_t status) override;
  void CloseLightDialog() override;

  void ShowSelectedSlot(int slot, bool recording) override;
  void ShowLayoutCells(int first_cell, int count) override;
  void ShowRotation(bool running) override;
  void ShowRecording(bool on) override;
  void EnableRecording(bool enabled) override;
  void ResetConnectionControls() override;
  void EnablePanTiltArrows(uint8_t arrows) override;
  void HidePtzPresetPanel() override;
  void ShowSlotStatus(int slot, const sessions::SlotStatus& status) override;

 private:
  // Shows the panel of a slot's state: logon prompt, DVR panel or connect panel.
  void ShowPanelOf(sessions::ConnectionState state);
  // The one-click reconnect shows while the selected slot has dropped.
  void OfferReconnectFor(int selected);

  IShellWindow& window_;
  std::function<int()> selected_;
  std::function<void(int, sessions::ConnectionState)> listener_;
  std::function<void()> changed_;
  std::array<sessions::ConnectionState, 4> states_{};
  std::array<bool, 4> dropped_{};
};

}  // namespace shell
