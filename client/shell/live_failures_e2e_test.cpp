// What the operator sees when a live connection fails or ends, through the
// real window against the emulated DVR: the box (answered through the
// message box seam), the notice in the event log, the wait indicator gone,
// the slot's state, and the window back at its connect panel when no DVR
// is left.
#include <QComboBox>
#include <QLineEdit>

#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <optional>

#include "client/shell/address_book_store.h"
#include "client/shell/connect_panel.h"
#include "client/shell/event_log.h"
#include "client/shell/hover_button.h"
#include "client/shell/live_mode.h"
#include "client/shell/lower_panels.h"
#include "client/shell/main_window.h"
#include "client/shell/testing/shell_test_support.h"
#include "client/shell/testing/window_fixture.h"
#include "platform/tcp_socket.h"
#include "tools/dvremu/dvr_emulator.h"

namespace shell {
namespace {

using namespace std::chrono_literals;
using sessions::ConnectionState;

std::unique_ptr<dvremu::DvrEmulator> StartDvr(int channels) {
  dvremu::EmulatorOptions options;
  options.read_stdin = false;
  options.channels = channels;
  options.users = {{"admin", "1234"}, {"user2", "1234"}, {"user3", "1234"}};
  return dvremu::DvrEmulator::StartOnFreePorts(options);
}

// A port on 127.0.0.1 that nothing listens on.
uint16_t ClosedPort() {
  uint16_t port = 0;
  const int fd = platform::ListenOnLoopback(0, &port);
  close(fd);
  return port;
}

class LiveFailuresTest : public testing::WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    live_ = std::make_unique<CLiveMode>(
        *window_, [this](const std::string&, int, int, int) { return dvr_answers_ping_.load() ? 1 : 0; });
    window_->SetViewer(ViewerMode::kRemoteLive, live_.get());
    window_->OnCommand(ControlId::kLiveMode);
  }
  void TearDown() override {
    window_->SetViewer(ViewerMode::kRemoteLive, nullptr);
    live_.reset();
    WindowFixture::TearDown();
  }

  // The operator picks DVR n and connects to an address-book entry.
  void Connect(int slot, const std::string& ip, uint16_t port, const std::string& user, const std::string& password) {
    const std::string alias = "dvr" + std::to_string(++entries_);
    AddressBookStore::Write(ListKind::kEthernet, {alias, ip, port, user, password});
    window_->OnCommand(DvrButton(slot));
    CConnectPanel* panel = window_->connect_panel();
    panel->FillCombos();
    const int index = panel->ethernet_combo()->findText(QString::fromStdString(alias));
    ASSERT_GT(index, 0);
    panel->ethernet_combo()->setCurrentIndex(index);
    panel->OnEthernetCombo(index);
    panel->ethernet_connect()->click();
  }
  void ConnectLive(int slot, dvremu::DvrEmulator& dvr, const std::string& user = "admin") {
    Connect(slot, "127.0.0.1", dvr.command_port(), user, "1234");
    ASSERT_TRUE(testing::PumpUntil([&] { return live_->viewer().IsActive(slot); }, 8s)) << "slot " << slot;
  }

  // The failure has reached the window: its state, and no wait indicator.
  void ExpectFailureShown(int slot, ConnectionState state = ConnectionState::kFailed) {
    EXPECT_TRUE(testing::PumpUntil([&] {
      return !live_->viewer().session(slot).connected() && live_->ui().state(slot) == state &&
             window_->wait().dialog() == nullptr && window_->panel() == LowerPanel::kConnect;
    }));
    EXPECT_EQ(live_->ui().state(slot), state);
    EXPECT_EQ(window_->wait().dialog(), nullptr);
    EXPECT_EQ(window_->panel(), LowerPanel::kConnect);
  }
  // No DVR is left: the window is back where a connection starts.
  void ExpectWindowReset() {
    EXPECT_TRUE(testing::PumpUntil([&] { return window_->panel() == LowerPanel::kConnect; }));
    EXPECT_TRUE(window_->connect_panel()->ip_edit()->text().isEmpty());
    EXPECT_EQ(window_->connect_panel()->port_edit()->text(), "2000");
    EXPECT_FALSE(window_->button(ControlId::kRecord)->isEnabled());
    EXPECT_FALSE(window_->button(ControlId::kRecord)->latched());
  }

  std::atomic<bool> dvr_answers_ping_{true};
  std::unique_ptr<CLiveMode> live_;
  int entries_ = 0;
};

TEST_F(LiveFailuresTest, RefusedAndUnreachableDvrsShowConnectFailed) {
  Connect(0, "127.0.0.1", ClosedPort(), "admin", "1234");
  ASSERT_TRUE(testing::PumpUntil([&] { return BoxWith("DVR 1, Connect failed.").has_value(); }));
  EXPECT_EQ(BoxWith("DVR 1, Connect failed.")->icon, BoxIcon::kError);
  EXPECT_TRUE(HasLogLine("[NOTICE] Network connect failed"));
  ExpectFailureShown(0);

  // No answer to the reachability check: the same box, for the slot asked.
  auto dvr = StartDvr(4);
  ASSERT_TRUE(dvr);
  dvr_answers_ping_ = false;
  const size_t shown = boxes_.count();
  Connect(1, "127.0.0.1", dvr->command_port(), "admin", "1234");
  ASSERT_TRUE(testing::PumpUntil([&] { return BoxWith("DVR 2, Connect failed.", shown).has_value(); }));
  ExpectFailureShown(1);
  EXPECT_EQ(dvr->ConnectionCount(dvremu::Target::kAll), 0u);
}

TEST_F(LiveFailuresTest, RefusedLogonsShowTheirBoxAndNotice) {
  auto dvr = StartDvr(4);
  ASSERT_TRUE(dvr);
  struct Case {
    std::string user, password;
    int armed_result;
    std::string box, notice;
  };
  const Case cases[] = {
      {"nobody", "1234", -1, "Make sure your User Name are correct.", "[NOTICE] The username was incorrect."},
      {"admin", "9999", -1, "Make sure your Password are correct.", "[NOTICE] The password was incorrect."},
      {"admin", "1234", 0x07, "Make sure your IP Address are correct.", "[NOTICE] Logon failed."},
      {"admin", "1234", 0x51, "Make sure your IP Address are correct.", "[NOTICE] Logon failed."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.notice + " after result " + std::to_string(c.armed_result));
    window_->event_log()->ClearLog();
    const size_t shown = boxes_.count();
    if (c.armed_result >= 0) dvr->ArmNextResult(static_cast<uint8_t>(c.armed_result));
    Connect(0, "127.0.0.1", dvr->command_port(), c.user, c.password);
    // The notice follows the box.
    ASSERT_TRUE(testing::PumpUntil([&] { return HasLogLine(c.notice); }));
    ASSERT_TRUE(BoxWith(c.box, shown).has_value());
    EXPECT_EQ(BoxWith(c.box, shown)->icon, BoxIcon::kError);
    if (c.armed_result != 0x51) {
      ExpectFailureShown(0);
    } else {
      // The administrator's alert also selected the slot again: idle.
      ExpectFailureShown(0, ConnectionState::kIdle);
      EXPECT_TRUE(HasLogLine("[ALERT] The admin is \nusing the DVR. network\ndisconnect."));
    }
  }
}

TEST_F(LiveFailuresTest, AThirdEightChannelDvrGetsTheCellLimitBox) {
  window_->OnVideoCardAnalysis(1);  // DVR 3 and 4 may be used
  auto dvr = StartDvr(8);
  ASSERT_TRUE(dvr);
  ConnectLive(0, *dvr);
  ConnectLive(1, *dvr, "user2");
  Connect(2, "127.0.0.1", dvr->command_port(), "user3", "1234");
  ASSERT_TRUE(testing::PumpUntil([&] { return BoxWith("maximum DVR connection possibility").has_value(); }));
  EXPECT_EQ(BoxWith("maximum DVR connection possibility")->icon, BoxIcon::kWarning);
  EXPECT_TRUE(testing::PumpUntil([&] { return !live_->viewer().session(2).connected(); }));
  EXPECT_TRUE(HasLogLine("[EVENT] DVR 3 Network disconnect"));
  EXPECT_EQ(window_->wait().dialog(), nullptr);
  // The two DVRs that fit stay up, and the window shows one of them.
  EXPECT_TRUE(live_->viewer().IsActive(0) && live_->viewer().IsActive(1));
  EXPECT_TRUE(testing::PumpUntil([&] { return window_->panel() == LowerPanel::kDvr; }));
  EXPECT_TRUE(window_->button(ControlId::kRecord)->isEnabled());
}

TEST_F(LiveFailuresTest, ASixteenChannelDvrIsToldWhyAndDisconnected) {
  auto dvr = StartDvr(16);
  ASSERT_TRUE(dvr);
  Connect(0, "127.0.0.1", dvr->command_port(), "admin", "1234");
  ASSERT_TRUE(testing::PumpUntil([&] { return BoxWith("reports 16 channels").has_value(); }));
  EXPECT_EQ(BoxWith("reports 16 channels")->icon, BoxIcon::kWarning);
  EXPECT_TRUE(testing::PumpUntil([&] { return !live_->viewer().session(0).connected(); }));
  EXPECT_TRUE(HasLogLine("[ALERT] DVR1, 16 channels are\nnot supported. network\ndisconnect."));
  EXPECT_FALSE(live_->viewer().IsKeepAliveRunning(0));
  EXPECT_EQ(window_->wait().dialog(), nullptr);
  ExpectWindowReset();
}

// However the only DVR goes, the window resets; on the next connection the
// layout button shows the layout the stream starts in.
TEST_F(LiveFailuresTest, LosingTheOnlyDvrResetsTheWindow) {
  auto dvr = StartDvr(4);
  ASSERT_TRUE(dvr);
  struct Case {
    const char* how;
    std::function<void()> end;
    std::string line;  // what the event log says of the cause
  };
  const Case cases[] = {
      {"Disconnect button", [&] { window_->OnCommand(ControlId::kDisconnect); }, ""},
      {"DVR notice", [&] { dvr->DvrNotice(1); }, "[ALERT] The admin is connecting in the DVR."},
      {"administrator notice", [&] { dvr->AdminNotice(0x11); },
       "[ALERT] The admin is \nusing the DVR. network\ndisconnect."},
      {"connection dropped", [&] { dvr->Drop(dvremu::Target::kCommand); }, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    ConnectLive(0, *dvr);
    EXPECT_TRUE(testing::PumpUntil([&] { return window_->panel() == LowerPanel::kDvr; }));
    EXPECT_EQ(window_->latched(ControlId::kLayout1Ch), ControlId::kLayout4Ch);  // four channels: 2x2
    EXPECT_TRUE(window_->button(ControlId::kRecord)->isEnabled());
    window_->OnCommand(ControlId::kLayout1Ch);  // 1x1, so that the next stream start has to move the highlight
    EXPECT_EQ(window_->latched(ControlId::kLayout1Ch), ControlId::kLayout1Ch);
    window_->event_log()->ClearLog();

    c.end();
    ASSERT_TRUE(testing::PumpUntil([&] { return !live_->viewer().session(0).connected(); }, 8s));
    ExpectWindowReset();
    EXPECT_TRUE(HasLogLine("[EVENT] DVR 1 Network disconnect"));
    if (!c.line.empty()) {
      EXPECT_TRUE(HasLogLine(c.line));
    }
    EXPECT_EQ(window_->wait().dialog(), nullptr);
  }
}

}  // namespace
}  // namespace shell
