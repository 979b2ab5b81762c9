// Test support for the sessions: a Qt Core application for timers and
// cross-thread calls, a user interface that records what the operator would
// have seen, and an emulated DVR on consecutive free ports.
#pragma once

#include <QCoreApplication>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "client/sessions/command_session.h"
#include "client/sessions/session_ui.h"
#include "tools/dvremu/dvr_emulator.h"
#include "viewer_control/engine/vistrel_control.h"

namespace sessions::testing {

// The process's QCoreApplication, created on first use on the test thread.
QCoreApplication& Application();

// Processes events until `done` holds or the time is up.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(5));

struct LoggedLine {
  uint32_t colour;
  std::string text;
};

// Records what the operator would have seen. Each call is handed to the
// application's thread as the shell hands it to the window (owner_call.h), so
// a worker's call is recorded only while the test pumps events, and not at
// all once the worker's socket is stopping. Message boxes are answered at once.
class RecordingUi : public ISessionUi {
 public:
  void ReportConnectionState(int slot, ConnectionState state) override;
  void AddEventLog(uint32_t colour, const std::string& text) override;
  void ShowMessage(const std::string& text, MessageIcon icon) override;
  void ShowBusy(int text_id) override;
  void HideBusy() override;
  LogonFields ReadLogonFields() override;
  void ClearPasswordField() override;
  void PlayWarningBeeps() override;
  bool ShowAlarm(const AlarmBox& alarm) override;
  void StartBuzzer(int alarm_id) override;
  void StopBuzzer(int alarm_id) override;
  bool DeliverDvrStatus(const DvrStatusBlock& status) override;
  bool DeliverLogPage(const DvrLogPage& page) override;
  bool DeliverLightState(uint8_t status) override;
  void CloseLightDialog() override;
  void ShowSlotStatus(int slot, const SlotStatus& status) override;

  void SetLogonFields(const std::string& user, const std::string& password);
  std::vector<LoggedLine> log() const;
  std::vector<std::string> messages() const;
  ConnectionState last_state(int slot) const;
  // Every slot state shown, oldest first.
  std::vector<SlotState> slot_states(int slot) const;
  bool HasLog(const std::string& text) const;
  bool HasMessageContaining(const std::string& text) const;
  int beeps() const;
  bool busy() const;

  // Which dialogs count as open; deliveries to a closed one are dropped.
  void SetDialogsOpen(bool status, bool log, bool light);
  std::vector<AlarmBox> alarms() const;
  int buzzers_running() const;
  int buzzer_starts() const;
  std::vector<DvrStatusBlock> statuses() const;
  std::vector<DvrLogPage> log_pages() const;
  std::vector<uint8_t> light_states() const;
  int light_dialog_closes() const;

 private:
  mutable std::mutex lock_;
  std::vector<LoggedLine> log_;
  std::vector<std::string> messages_;
  ConnectionState states_[4] = {};
  std::vector<SlotState> slot_states_[4];
  LogonFields fields_;
  int beeps_ = 0;
  bool busy_ = false;
  bool status_open_ = false;
  bool log_open_ = false;
  bool light_open_ = false;
  std::vector<AlarmBox> alarms_;
  int buzzers_running_ = 0;
  int buzzer_starts_ = 0;
  std::vector<DvrStatusBlock> statuses_;
  std::vector<DvrLogPage> log_pages_;
  std::vector<uint8_t> light_states_;
  int light_closes_ = 0;
};

// The viewer control's methods, answered with success and remembered; its
// events are raised by the test through the live viewer.
class RecordingControl : public vistrel::IVistrelControl {
 public:
  using Result = vistrel::ControlResult;
  Result ConnectStreamPort(int session, const std::string&, uint16_t, const std::string&, const std::string&) override;
  Result DisconnectStreamPort(int) override { return Result::kDone; }
  Result DisconnectAllStreamPort() override { return Result::kDone; }
  Result SetStreamSessionInfo(int, std::span<const uint8_t>, int, int) override { return Result::kDone; }
  Result SetAlignChannelMode(int start_cell, int layout) override;
  Result SetRecordEventType(int, std::span<const uint8_t>) override { return Result::kDone; }
  Result SetMpeg4Recording(int session, int recording) override;
  std::string RecordingFailureText(int) override { return {}; }

  // (start cell, layout) of every SetAlignChannelMode, oldest first.
  std::vector<std::pair<int, int>> aligns() const;
  std::vector<std::pair<int, int>> recordings() const;
  int connects() const;

 private:
  mutable std::mutex lock_;
  std::vector<std::pair<int, int>> aligns_;
  std::vector<std::pair<int, int>> recordings_;
  int connects_ = 0;
};

// An emulated DVR on three consecutive free ports of 127.0.0.1.
std::unique_ptr<dvremu::DvrEmulator> StartEmulator(dvremu::EmulatorOptions options = {});

// The payloads of the commands with `code` that `user` sent to the DVR.
std::vector<std::vector<uint8_t>> Received(dvremu::DvrEmulator& dvr, const std::string& user, uint32_t code);

// A port on 127.0.0.1 that nothing listens on.
uint16_t ClosedPort();

// Points the sessions' modem link at a bridge on other ports than 2000-2002
// until the end of the test, so that tests running at once do not take each
// other's ports.
class BridgePortForTest {
 public:
  explicit BridgePortForTest(uint16_t port) { SetBridgePort(port); }
  ~BridgePortForTest() { SetBridgePort(kBridgePort); }
  BridgePortForTest(const BridgePortForTest&) = delete;
  BridgePortForTest& operator=(const BridgePortForTest&) = delete;
};

}  // namespace sessions::testing
