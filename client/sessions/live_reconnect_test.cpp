// A live slot through a drop and its reconnect against the emulated DVR, the
// reconnect timers driven by hand; and a takeover, after which it must not
// try. The operator's disconnect, a wrong password and the one-click
// reconnect are tried through the window (reconnect_e2e_test.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "client/sessions/live_viewer.h"
#include "client/sessions/testing/manual_reconnect_timers.h"
#include "client/sessions/testing/session_test_support.h"
#include "protocol/command_codes.h"

namespace sessions {
namespace {

using namespace std::chrono_literals;
using testing::PumpUntil;

class LiveReconnectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::Application();
    viewer_ = std::make_unique<CLiveViewer>(ui_, &control_);
    viewer_->SetReconnectTimers(timers_.Factory());
    dvr_ = testing::StartEmulator(Options(0));
    ASSERT_TRUE(dvr_);
  }
  void TearDown() override {
    viewer_.reset();
    if (dvr_) dvr_->Stop();
  }

  static dvremu::EmulatorOptions Options(uint16_t port) {
    dvremu::EmulatorOptions options;
    options.channels = 4;
    options.port = port;
    options.read_stdin = false;
    return options;
  }

  SlotTarget Target(const std::string& password = "1234") const {
    SlotTarget target;
    target.alias = "Yard";
    target.address = "127.0.0.1";
    target.port = port_ != 0 ? port_ : dvr_->command_port();
    target.user_name = "admin";
    target.password = password;
    target.auto_reconnect = true;
    return target;
  }

  SlotState state() const { return viewer_->SlotStatusOf(0).state; }

  // Waits for the control's stream request and raises its Connect event, as
  // the engine does once the stream port is up.
  bool StreamComesUp(int connects_before) {
    if (!PumpUntil([&] { return control_.connects() > connects_before; }, 10s)) return false;
    viewer_->Connect(0, 0);
    return state() == SlotState::kOnline;
  }

  bool Shown(SlotState wanted) const {
    const auto states = ui_.slot_states(0);
    return std::find(states.begin(), states.end(), wanted) != states.end();
  }

  testing::RecordingUi ui_;
  testing::RecordingControl control_;
  testing::ManualReconnectTimers timers_;
  std::unique_ptr<CLiveViewer> viewer_;
  std::unique_ptr<dvremu::DvrEmulator> dvr_;
  uint16_t port_ = 0;
};

TEST_F(LiveReconnectTest, ADroppedSlotReconnectsOnceTheDvrIsBackAndItsStreamReturns) {
  ASSERT_EQ(viewer_->ConnectSlot(0, Target()), 0);
  EXPECT_EQ(state(), SlotState::kConnecting);
  ASSERT_TRUE(StreamComesUp(0));
  EXPECT_EQ(viewer_->SlotStatusOf(0).channel_count, 4);

  // The DVR goes away: the slot shows it at once and waits 2 s.
  port_ = dvr_->command_port();
  dvr_->Stop();
  ASSERT_TRUE(PumpUntil([&] { return state() == SlotState::kReconnecting; }, 10s));
  EXPECT_TRUE(viewer_->SlotStatusOf(0).dropped);
  EXPECT_EQ(timers_.delay(0), 2s);
  EXPECT_TRUE(viewer_->cells().CellsOf(0).empty());

  // An attempt while it is still down fails quietly and waits longer.
  const size_t boxes = ui_.messages().size();
  ASSERT_TRUE(timers_.Fire(0));
  EXPECT_TRUE(ui_.HasLog("[NOTICE] DVR 1 Reconnect attempt 1"));
  ASSERT_TRUE(PumpUntil([&] { return timers_.active(0); }, 10s));
  EXPECT_EQ(timers_.delay(0), 4s);
  EXPECT_EQ(ui_.messages().size(), boxes);
  EXPECT_TRUE(ui_.HasLog("[NOTICE] Network connect failed"));

  // Back up on the same port: the next attempt brings the stream back.
  dvr_ = std::make_unique<dvremu::DvrEmulator>(Options(port_));
  std::string error;
  ASSERT_TRUE(dvr_->Start(&error)) << error;
  const int connects = control_.connects();
  ASSERT_TRUE(timers_.Fire(0));
  EXPECT_TRUE(ui_.HasLog("[NOTICE] DVR 1 Reconnect attempt 2"));
  ASSERT_TRUE(StreamComesUp(connects));
  EXPECT_FALSE(viewer_->SlotStatusOf(0).dropped);
  EXPECT_EQ(viewer_->cells().CellsOf(0).size(), 4u);
  EXPECT_FALSE(timers_.active(0));
  EXPECT_EQ(ui_.messages().size(), boxes);
}

TEST_F(LiveReconnectTest, AnAdministratorTakeoverFailsTheSlotWithoutAttempts) {
  ASSERT_EQ(viewer_->ConnectSlot(0, Target()), 0);
  ASSERT_TRUE(StreamComesUp(0));
  dvr_->AdminNotice(protocol::result::kAdminUsing);
  ASSERT_TRUE(PumpUntil([&] { return state() == SlotState::kFailed; }, 10s));
  PumpUntil([&] { return false; }, 300ms);
  EXPECT_EQ(state(), SlotState::kFailed);
  EXPECT_FALSE(timers_.active(0));
  EXPECT_FALSE(Shown(SlotState::kReconnecting));
}

}  // namespace
}  // namespace sessions
