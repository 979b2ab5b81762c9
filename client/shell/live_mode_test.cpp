// Connection requests and leaving live mode, through the window: a request
// goes to the DVR slot the operator selected, a slot in use refuses one, and
// leaving live mode stops a slot that is still pinging.
#include <QLineEdit>

#include <gtest/gtest.h>

#include <poll.h>
#include <atomic>
#include <memory>

#include "client/shell/buzzer.h"
#include "client/shell/connect_panel.h"
#include "client/shell/hover_button.h"
#include "client/shell/live_mode.h"
#include "client/shell/main_window.h"
#include "client/shell/testing/shell_test_support.h"
#include "client/shell/wait_indicator.h"
#include "platform/trace.h"

namespace shell {
namespace {

using namespace std::chrono_literals;

// A ping that answers only when the test lets it, and notes a stop request.
struct HeldPing {
  std::atomic<int> started{0};
  std::atomic<int> cancelled{0};
  std::atomic<bool> answer{false};
};

class LiveModeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::App();
    SetAudioOutputOverride(false);
    window_ = std::make_unique<CMainWindow>();
    boxes_.Answer(window_->dialogs());
    // The ping is shared with the workers, which may outlive a failed test.
    live_ = std::make_unique<CLiveMode>(*window_, [ping = ping_](const std::string&, int, int, int cancel_fd) {
      ++ping->started;
      pollfd entry{cancel_fd, POLLIN, 0};
      for (int waited_ms = 0; waited_ms < 20000 && !ping->answer; waited_ms += 10) {
        if (poll(&entry, 1, 10) == 1) {
          ++ping->cancelled;
          return 0;
        }
      }
      return 1;
    });
    window_->SetViewer(ViewerMode::kRemoteLive, live_.get());
    window_->show();
    window_->OnCommand(ControlId::kLiveMode);
    ASSERT_EQ(window_->mode(), ViewerMode::kRemoteLive);
  }
  void TearDown() override {
    window_->SetViewer(ViewerMode::kRemoteLive, nullptr);
    live_.reset();
    window_.reset();
    SetAudioOutputOverride(std::nullopt);
  }

  void Connect(const std::string& address) {
    window_->connect_panel()->ip_edit()->setText(QString::fromStdString(address));
    window_->connect_panel()->port_edit()->setText("4000");
    window_->connect_panel()->ethernet_connect()->click();
  }

  std::shared_ptr<HeldPing> ping_ = std::make_shared<HeldPing>();
  testing::ScratchRegistry registry_;
  testing::BoxRecorder boxes_;
  platform::TraceCapture trace_;
  std::unique_ptr<CMainWindow> window_;
  std::unique_ptr<CLiveMode> live_;
};

TEST_F(LiveModeTest, ARequestGoesToTheSelectedSlotAndASlotInUseRefusesIt) {
  window_->OnCommand(DvrButton(1));  // DVR 2
  Connect("10.0.0.2");
  ASSERT_TRUE(testing::PumpUntil([&] { return ping_->started == 1; }));
  EXPECT_TRUE(trace_.Contains("[LIVE DVR 1] Live logon data IP : 10.0.0.2, Port: 4000"));
  EXPECT_EQ(live_->viewer().session(1).info().state, static_cast<int>(sessions::ConnectionState::kConnecting));
  EXPECT_FALSE(live_->viewer().session(0).in_use());

  // DVR 2 is still connecting: a second request must not go anywhere else,
  // nor replace the address its attempt uses.
  Connect("10.0.0.3");
  EXPECT_TRUE(trace_.Contains("[LIVE DVR 1] live slot in use; connection request refused."));
  EXPECT_FALSE(trace_.Contains("10.0.0.3"));
  EXPECT_FALSE(live_->viewer().session(0).in_use());
  EXPECT_EQ(live_->viewer().selected_slot(), 1);
  EXPECT_EQ(ping_->started, 1);
}

TEST_F(LiveModeTest, LeavingLiveModeStopsASlotThatIsStillPinging) {
  Connect("10.0.0.2");
  ASSERT_TRUE(testing::PumpUntil([&] { return ping_->started == 1; }));
  ASSERT_NE(window_->wait().dialog(), nullptr);  // "Remote DVR, Connecting..."

  window_->OnCommand(ControlId::kClose);
  EXPECT_EQ(window_->mode(), ViewerMode::kIdle);
  // Stopped, not merely left to log on later with the window idle.
  EXPECT_EQ(ping_->cancelled, 1);
  EXPECT_FALSE(live_->viewer().session(0).in_use());
  EXPECT_TRUE(trace_.Contains("[COMMAND SOCKET] command port thread exit !!!"));
  EXPECT_TRUE(testing::PumpUntil([&] { return window_->wait().dialog() == nullptr; }));
}

}  // namespace
}  // namespace shell
