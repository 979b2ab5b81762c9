// A DVR that drops, through the real window against the emulated DVR: its
// button's mark and tooltip at once, the one-click reconnect, and the slot
// back with live video once the DVR is; the reconnect timers driven by hand.
#include <QImage>
#include <QScreen>

#include <cstdlib>

#include <gtest/gtest.h>

#include "client/sessions/testing/manual_reconnect_timers.h"
#include "client/shell/address_book_store.h"
#include "client/shell/connect_panel.h"
#include "client/shell/hover_button.h"
#include "client/shell/live_mode.h"
#include "client/shell/lower_panels.h"
#include "client/shell/main_window.h"
#include "client/shell/slot_state_mark.h"
#include "client/shell/testing/live_window_fixture.h"
#include "tools/dvremu/dvr_emulator.h"
#include "viewer_control/control/vistrel_ctl.h"

namespace shell {
namespace {

using namespace std::chrono_literals;
using sessions::SlotState;

class ReconnectWindowTest : public testing::LiveWindowTest {
 protected:
  void SetUp() override {
    LiveWindowTest::SetUp();
    live_->viewer().SetReconnectTimers(timers_.Factory());
    window_->OnCommand(ControlId::kLiveMode);
  }

  static dvremu::EmulatorOptions Options(uint16_t port) {
    dvremu::EmulatorOptions options;
    options.channels = 4;
    options.port = port;
    options.read_stdin = false;
    return options;
  }

  void SaveShot(const char* file) {
    testing::PumpUntil([] { return false; }, 1500ms);
    QImage image = window_->screen()->grabWindow(window_->winId()).toImage();
    if (image.isNull()) image = window_->grab().toImage();
    EXPECT_TRUE(image.save(file, "PNG")) << file;
  }

  SlotState Mark() const { return window_->slot_mark(0)->state(); }
  QString Tooltip() const { return window_->button(DvrButton(0))->toolTip(); }
  bool ReconnectOffered() const { return !window_->connect_panel()->reconnect_button()->isHidden(); }

  sessions::testing::ManualReconnectTimers timers_;
};

TEST_F(ReconnectWindowTest, ADroppedDvrShowsItsMarkAtOnceAndComesBackWithVideo) {
  auto dvr = StartDvr(Options(0));
  ASSERT_TRUE(dvr);
  const uint16_t port = dvr->command_port();
  ConnectEntry(0, {"yard", "127.0.0.1", port, "admin", "1234", true});
  ASSERT_TRUE(testing::PumpUntil([&] { return SlotShowsVideo(0); }, 10s));
  EXPECT_EQ(Mark(), SlotState::kOnline);
  EXPECT_TRUE(Tooltip().startsWith("DVR 1: online\nyard, 127.0.0.1:" + QString::number(port) + "\n4 channels\nsince "))
      << Tooltip().toStdString();
  const QSize button_size = window_->button(DvrButton(0))->size();
  const size_t boxes = boxes_.count();

  dvr->Stop();
  ASSERT_TRUE(testing::PumpUntil([&] { return Mark() == SlotState::kReconnecting; }, 10s));
  EXPECT_TRUE(Tooltip().startsWith("DVR 1: reconnecting (attempt 1 after 2 s)")) << Tooltip().toStdString();
  EXPECT_EQ(window_->button(DvrButton(0))->size(), button_size);
  EXPECT_TRUE(HasLogLine("[EVENT] DVR 1 Network disconnect"));
  EXPECT_EQ(window_->panel(), LowerPanel::kConnect);
  EXPECT_TRUE(ReconnectOffered());
  if (const char* shot = std::getenv("KAVIRO_RECONNECT_SCREENSHOT")) SaveShot(shot);

  // Down still: the attempt fails without a box and the next waits 4 s.
  ASSERT_TRUE(timers_.Fire(0));
  ASSERT_TRUE(testing::PumpUntil([&] { return timers_.active(0); }, 10s));
  EXPECT_EQ(timers_.delay(0), 4s);
  EXPECT_TRUE(HasLogLine("[NOTICE] DVR 1 Reconnect attempt 1"));
  EXPECT_EQ(Mark(), SlotState::kReconnecting);

  dvr = std::make_unique<dvremu::DvrEmulator>(Options(port));
  std::string error;
  ASSERT_TRUE(dvr->Start(&error)) << error;
  ASSERT_TRUE(timers_.Fire(0));
  ASSERT_TRUE(testing::PumpUntil([&] { return SlotShowsVideo(0); }, 10s));
  EXPECT_EQ(Mark(), SlotState::kOnline);
  EXPECT_TRUE(HasLogLine("[NOTICE] DVR 1 Reconnect attempt 2"));
  EXPECT_FALSE(ReconnectOffered());
  EXPECT_EQ(boxes_.count(), boxes);
  EXPECT_EQ(window_->wait().dialog(), nullptr);
}

TEST_F(ReconnectWindowTest, TheOperatorsDisconnectAndAWrongPasswordAreNotRetried) {
  auto dvr = StartDvr(4);
  ASSERT_TRUE(dvr);
  ConnectEntry(0, {"gate", "127.0.0.1", dvr->command_port(), "admin", "1234", true});
  ASSERT_TRUE(testing::PumpUntil([&] { return SlotShowsVideo(0); }, 10s));
  window_->OnCommand(ControlId::kDisconnect);
  ASSERT_TRUE(testing::PumpUntil([&] { return dvr->ConnectionCount(dvremu::Target::kAll) == 0; }, 10s));
  EXPECT_EQ(Mark(), SlotState::kOffline);
  EXPECT_FALSE(timers_.active(0));
  EXPECT_FALSE(ReconnectOffered());

  const size_t boxes = boxes_.count();
  ConnectEntry(0, {"gate-wrong", "127.0.0.1", dvr->command_port(), "admin", "9999", true});
  ASSERT_TRUE(testing::PumpUntil([&] { return BoxWith("Make sure your Password are correct.", boxes).has_value(); }));
  ASSERT_TRUE(testing::PumpUntil([&] { return Mark() == SlotState::kFailed; }, 10s));
  EXPECT_TRUE(Tooltip().startsWith("DVR 1: failed\ngate-wrong")) << Tooltip().toStdString();
  EXPECT_FALSE(timers_.active(0));
  EXPECT_FALSE(ReconnectOffered());
}

TEST_F(ReconnectWindowTest, TheOneClickReconnectBringsBackADvrThatWouldNotReconnectByItself) {
  auto dvr = StartDvr(4);
  ASSERT_TRUE(dvr);
  ConnectEntry(0, {"dock", "127.0.0.1", dvr->command_port(), "admin", "1234", false});
  ASSERT_TRUE(testing::PumpUntil([&] { return SlotShowsVideo(0); }, 10s));
  dvr->Drop(dvremu::Target::kCommand);
  ASSERT_TRUE(testing::PumpUntil([&] { return Mark() == SlotState::kFailed; }, 10s));
  EXPECT_TRUE(Tooltip().startsWith("DVR 1: connection lost\ndock")) << Tooltip().toStdString();
  EXPECT_FALSE(timers_.active(0));
  ASSERT_TRUE(testing::PumpUntil([&] { return ReconnectOffered(); }, 10s));

  window_->connect_panel()->reconnect_button()->click();
  ASSERT_TRUE(testing::PumpUntil([&] { return SlotShowsVideo(0); }, 10s));
  EXPECT_EQ(Mark(), SlotState::kOnline);
  EXPECT_EQ(window_->panel(), LowerPanel::kDvr);
}

}  // namespace
}  // namespace shell
