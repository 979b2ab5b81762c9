#include "client/shell/modem_link_host.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "client/shell/event_log.h"
#include "client/shell/main_window.h"
#include "client/shell/testing/shell_test_support.h"

namespace shell {
namespace {

class ModemLinkHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::App();
    setenv("KAVIRO_MODEMS", "/tmp/kaviro-absent-modem-a:/tmp/kaviro-absent-modem-b", 1);
    window_ = std::make_unique<CMainWindow>();
    host_ = std::make_unique<CModemLinkHost>(*window_);
  }
  void TearDown() override {
    host_.reset();
    window_.reset();
    unsetenv("KAVIRO_MODEMS");
  }

  testing::ScratchRegistry registry_;
  std::unique_ptr<CMainWindow> window_;
  std::unique_ptr<CModemLinkHost> host_;
};

TEST_F(ModemLinkHostTest, TheTypedNumberReachesTheBridgeAsTyped) {
  emit window_->DialNumber("--1234-5678");
  EXPECT_EQ(host_->bridge().phone_number(), "--1234-5678");
  // One over the dialer's limit is refused; the number kept stays.
  emit window_->DialNumber(QString(64, '1'));
  EXPECT_EQ(host_->bridge().phone_number(), "--1234-5678");
}

TEST_F(ModemLinkHostTest, ALostLinkShowsTheNoticeInTheEventLog) {
  host_->bridge().OnLinkLost();
  const auto lines = window_->event_log()->Lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().text, "[NOTICE] The remote dvr's modem is busy.");
  // COLORREF 0x00FFFF is yellow.
  EXPECT_EQ(lines.back().colour, QColor(255, 255, 0));
}

}  // namespace
}  // namespace shell
