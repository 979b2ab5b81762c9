// The fixture of the shell's end-to-end tests: the real main window in live
// mode with its live viewer, boxes answered OK and recorded, sounds off, a
// private configuration store, and the steps an operator takes to reach an
// emulated DVR.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "client/shell/live_mode.h"
#include "client/shell/main_window.h"
#include "client/shell/testing/shell_test_support.h"
#include "tools/dvremu/dvr_emulator.h"

namespace shell::testing {

class LiveWindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // An emulated DVR on free ports of `options.bind_address`.
  static std::unique_ptr<dvremu::DvrEmulator> StartDvr(dvremu::EmulatorOptions options);
  static std::unique_ptr<dvremu::DvrEmulator> StartDvr(int channels);

  // The operator picks DVR n and connects to a new address-book entry.
  void Connect(int slot, const std::string& ip, uint16_t port, const std::string& user, const std::string& password);
  // ... and waits until the slot shows live video.
  void ConnectLive(int slot, dvremu::DvrEmulator& dvr, const std::string& user = "admin");

  // A text of several lines shows as consecutive lines of the log.
  bool HasLogLine(const std::string& text) const;
  // The first box shown since `from` whose text holds `part`.
  std::optional<BoxRequest> BoxWith(const std::string& part, size_t from = 0) const;

  ScratchRegistry registry_;
  // Answers OK for the operator: notices, alarm boxes, confirmations.
  BoxRecorder boxes_;
  std::atomic<bool> dvr_answers_ping_{true};
  std::unique_ptr<CMainWindow> window_;
  std::unique_ptr<CLiveMode> live_;
  int entries_ = 0;
};

}  // namespace shell::testing
