// The fixture of the shell's live end-to-end tests: the main window of
// WindowFixture in live mode with its live viewer, and the steps an operator
// takes to reach an emulated DVR.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "client/shell/address_book_store.h"
#include "client/shell/live_mode.h"
#include "client/shell/main_window.h"
#include "client/shell/testing/window_fixture.h"
#include "tools/dvremu/dvr_emulator.h"

namespace shell::testing {

class LiveWindowTest : public WindowFixture {
 protected:
  void SetUp() override;
  void TearDown() override;

  // An emulated DVR on free ports of `options.bind_address`.
  static std::unique_ptr<dvremu::DvrEmulator> StartDvr(dvremu::EmulatorOptions options);
  static std::unique_ptr<dvremu::DvrEmulator> StartDvr(int channels);

  // The operator picks DVR n and connects to a new address-book entry.
  void Connect(int slot, const std::string& ip, uint16_t port, const std::string& user, const std::string& password);
  // ... to this entry, written to the book first.
  void ConnectEntry(int slot, const AddressEntry& entry);
  // ... and waits until the slot shows live video.
  void ConnectLive(int slot, dvremu::DvrEmulator& dvr, const std::string& user = "admin");
  // Every cell of the slot shows decoded video.
  bool SlotShowsVideo(int slot) const;

  std::atomic<bool> dvr_answers_ping_{true};
  std::unique_ptr<CLiveMode> live_;
  int entries_ = 0;
};

}  // namespace shell::testing
