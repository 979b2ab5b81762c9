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

#include "client/sessions/session_ui.h"
#include "tools/dvremu/dvr_emulator.h"

namespace sessions::testing {

// The process's QCoreApplication, created on first use on the test thread.
QCoreApplication& Application();

// Processes events until `done` holds or the time is up.
bool PumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::seconds(5));

struct LoggedLine {
  uint32_t colour;
  std::string text;
};

// Records every call; message boxes are answered at once.
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

  void SetLogonFields(const std::string& user, const std::string& password);
  std::vector<LoggedLine> log() const;
  std::vector<std::string> messages() const;
  ConnectionState last_state(int slot) const;
  bool HasLog(const std::string& text) const;
  bool HasMessageContaining(const std::string& text) const;
  int beeps() const;
  bool busy() const;

 private:
  mutable std::mutex lock_;
  std::vector<LoggedLine> log_;
  std::vector<std::string> messages_;
  ConnectionState states_[4] = {};
  LogonFields fields_;
  int beeps_ = 0;
  bool busy_ = false;
};

// An emulated DVR on three consecutive free ports of 127.0.0.1.
std::unique_ptr<dvremu::DvrEmulator> StartEmulator(dvremu::EmulatorOptions options = {});

// A port on 127.0.0.1 that nothing listens on.
uint16_t ClosedPort();

}  // namespace sessions::testing
