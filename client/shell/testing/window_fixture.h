// The main window as end-to-end tests drive it against the emulated DVR: a
// scratch configuration store, the operator's boxes answered with OK and
// kept, the beeps and the buzzer silent. A test adds the viewers of the
// modes it needs after SetUp and takes them away before TearDown.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "client/shell/main_window.h"
#include "client/shell/testing/shell_test_support.h"

namespace shell::testing {

class WindowFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A text of several lines shows as consecutive lines of the log.
  bool HasLogLine(const std::string& text) const;
  // The first box shown since `from` whose text holds `part`.
  std::optional<BoxRequest> BoxWith(const std::string& part, size_t from = 0) const;

  ScratchRegistry registry_;
  BoxRecorder boxes_;
  std::unique_ptr<CMainWindow> window_;
};

}  // namespace shell::testing
