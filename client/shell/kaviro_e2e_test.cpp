// Kaviro against the emulated DVR, through the window as an operator uses
// it: a manual logon answered in the logon prompt, an address-book entry,
// live video in 2x2 and 3x3, an alarm acknowledged, a clean disconnect.
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>

#include "client/shell/alarm_counter.h"
#include "client/shell/buzzer.h"
#include "client/shell/connect_panel.h"
#include "client/shell/event_log.h"
#include "client/shell/hover_button.h"
#include "client/shell/live_mode.h"
#include "client/shell/lower_panels.h"
#include "client/shell/main_window.h"
#include "client/shell/testing/live_window_fixture.h"
#include "protocol/command_codes.h"
#include "tools/dvremu/dvr_emulator.h"
#include "viewer_control/control/vistrel_ctl.h"

namespace shell {
namespace {

class KaviroEndToEndTest : public testing::LiveWindowTest {
 protected:
  static std::unique_ptr<dvremu::DvrEmulator> StartDvrAt(const std::string& address, int channels) {
    dvremu::EmulatorOptions options;
    options.bind_address = address;
    options.channels = channels;
    options.pantilt_mask = channels == 8 ? 0x04 : 0x01;
    return StartDvr(options);
  }
  std::optional<BoxRequest> AlarmBox() const {
    for (const BoxRequest& box : boxes_.boxes()) {
      if (box.caption == "Sensor Alarm Out") return box;
    }
    return std::nullopt;
  }
};

TEST_F(KaviroEndToEndTest, ManualLogonAndAnAddressBookEntryShowLiveVideoAndAnAlarmIsReleased) {
  auto four = StartDvrAt("127.0.0.2", 4);
  auto eight = StartDvrAt("127.0.0.1", 8);
  ASSERT_TRUE(four && eight);
  AddressBookStore::Write(ListKind::kEthernet, {"eight", "127.0.0.1", eight->command_port(), "admin", "1234"});
  window_->OnCommand(ControlId::kLiveMode);
  ASSERT_EQ(window_->mode(), ViewerMode::kRemoteLive);
  window_->connect_panel()->FillCombos();

  // Manual logon: address and port typed, the DVR's logon prompt answered.
  CConnectPanel* panel = window_->connect_panel();
  panel->ip_edit()->setText("127.0.0.2");
  panel->port_edit()->setText(QString::number(four->command_port()));
  panel->ethernet_connect()->click();
  ASSERT_TRUE(
      testing::PumpUntil([&] { return window_->panel() == LowerPanel::kLogonPrompt; }, std::chrono::seconds(5)));
  window_->logon_prompt()->user_edit()->setText("admin");
  window_->logon_prompt()->password_edit()->setText("1234");
  window_->button(ControlId::kLogonOk)->click();
  ASSERT_TRUE(testing::PumpUntil([&] { return SlotShowsVideo(0); }, std::chrono::seconds(8)));
  EXPECT_EQ(window_->panel(), LowerPanel::kDvr);
  EXPECT_EQ(window_->wait().dialog(), nullptr);  // the wait indicator is gone
  EXPECT_TRUE(window_->logon_prompt()->password_edit()->text().isEmpty());
  EXPECT_EQ(live_->vistrel().control()->engine().channels_per_row(), 2);  // 2x2 for four channels
  EXPECT_TRUE(window_->button(ControlId::kCamera1)->isEnabled());
  EXPECT_FALSE(window_->button(CameraButton(4))->isEnabled());

  // The address-book entry goes to the DVR slot the operator selects.
  window_->OnCommand(DvrButton(1));
  ASSERT_EQ(window_->panel(), LowerPanel::kConnect);
  const int index = panel->ethernet_combo()->findText("eight");
  ASSERT_GT(index, 0);
  panel->ethernet_combo()->setCurrentIndex(index);
  panel->OnEthernetCombo(index);
  panel->ethernet_connect()->click();
  ASSERT_TRUE(testing::PumpUntil([&] { return SlotShowsVideo(1); }, std::chrono::seconds(8)));
  EXPECT_EQ(live_->viewer().cells().CellsOf(1).size(), 8u);
  EXPECT_EQ(live_->vistrel().control()->engine().channels_per_row(), 3);  // 3x3 for eight channels

  // Layout buttons: 2x2 of the selected (8-channel) DVR, then 3x3 again.
  window_->OnCommand(ControlId::kChannels);
  window_->OnCommand(ControlId::kLayout4Ch);
  EXPECT_EQ(live_->vistrel().control()->engine().channels_per_row(), 2);
  EXPECT_TRUE(HasLogLine("[EVENT] 2x2 Align Mode"));
  window_->OnCommand(ControlId::kLayout8Ch);
  EXPECT_EQ(live_->vistrel().control()->engine().channels_per_row(), 3);
  const QImage picture = live_->vistrel().control()->CaptureVideo();
  EXPECT_FALSE(picture.isNull());

  // Press-and-hold on an arrow moves the one pan/tilt camera shown (channel
  // 3 of the 8-channel DVR) while the button is down; a preset goes to it.
  eight->ClearReceivedCommands();
  window_->OnCommand(ControlId::kPtz);  // back to the PTZ view
  CHoverButton* up = window_->button(ControlId::kArrowUp);
  ASSERT_TRUE(up->isVisible() && up->isEnabled());
  QTest::mousePress(up, Qt::LeftButton);
  QTest::mouseRelease(up, Qt::LeftButton);
  window_->OnPtzPreset(1229, 20);
  auto pan_tilts = [&] {
    std::vector<std::vector<uint8_t>> found;
    for (const auto& command : eight->ReceivedCommands()) {
      if (command.code == protocol::cmd::REQ_PANTILT) found.push_back(command.payload);
    }
    return found;
  };
  ASSERT_TRUE(testing::PumpUntil([&] { return pan_tilts().size() == 3; }));
  EXPECT_EQ(pan_tilts()[0], (std::vector<uint8_t>{protocol::sub::kPanTilt, 3, 1}));  // up
  EXPECT_EQ(pan_tilts()[1], (std::vector<uint8_t>{protocol::sub::kPanTilt, 3, 0}));  // released
  EXPECT_EQ(pan_tilts()[2], (std::vector<uint8_t>{protocol::sub::kPanTilt, 3 | (2 << 4), 0x14}));

  // A sensor alarm: red line, a box without owner, released at the DVR on OK.
  eight->ClearReceivedCommands();
  eight->SensorAlarm(3);
  ASSERT_TRUE(testing::PumpUntil([&] { return AlarmBox().has_value(); }, std::chrono::seconds(5)));
  EXPECT_TRUE(HasLogLine("[ALERT] DVR2, Sensor #3 Detection"));
  EXPECT_TRUE(AlarmBox()->text.find("(DVR-2, Sensor-3 )") != std::string::npos);
  EXPECT_EQ(AlarmBox()->icon, BoxIcon::kWarning);
  auto released = [&] {
    for (const auto& command : eight->ReceivedCommands()) {
      if (command.code == protocol::cmd::BYPASS && command.payload.size() >= 2 &&
          command.payload[1] == protocol::bypass::kStopAlarmOut) {
        return true;
      }
    }
    return false;
  };
  ASSERT_TRUE(testing::PumpUntil(released, std::chrono::seconds(5)));
  EXPECT_TRUE(testing::PumpUntil([&] { return window_->alarms().buzzer_count() == 0; }));

  // Disconnect the selected DVR, then leave live mode with the other one up.
  window_->OnCommand(ControlId::kDisconnect);
  ASSERT_TRUE(testing::PumpUntil([&] { return !live_->viewer().session(1).connected(); }, std::chrono::seconds(8)));
  EXPECT_TRUE(live_->viewer().cells().CellsOf(1).empty());
  // The fields start afresh; the remaining DVR is selected again.
  EXPECT_TRUE(panel->ip_edit()->text().isEmpty());
  EXPECT_EQ(panel->port_edit()->text(), "2000");
  EXPECT_TRUE(
      testing::PumpUntil([&] { return live_->viewer().selected_slot() == 0 && window_->panel() == LowerPanel::kDvr; }));
  EXPECT_TRUE(live_->viewer().session(0).connected());
  window_->OnCommand(ControlId::kClose);
  EXPECT_EQ(window_->mode(), ViewerMode::kIdle);
  ASSERT_TRUE(testing::PumpUntil([&] { return !live_->viewer().session(0).connected(); }, std::chrono::seconds(8)));
  EXPECT_TRUE(
      testing::PumpUntil([&] { return four->ConnectionCount(dvremu::Target::kAll) == 0; }, std::chrono::seconds(5)));
}

// Silence on an alarm box stops its buzzer and keeps it pending; only OK
// sends the release to the DVR. Releases name no alarm, so the box closed
// otherwise comes first: had it released, the DVR would hear two.
TEST_F(KaviroEndToEndTest, SilencedAlarmsStayPendingAndOnlyOkReleasesThem) {
  auto dvr = StartDvr(4);
  ASSERT_TRUE(dvr);
  window_->OnCommand(ControlId::kLiveMode);
  ConnectLive(0, *dvr);
  // Shared with the boxes' threads, which may outlive a failed test's body.
  struct Answers {
    std::mutex lock;
    std::condition_variable changed;
    int silenced = 0;                 // guarded by lock
    std::optional<BoxAnswer> answer;  // guarded by lock
    void Give(BoxAnswer given) {
      std::lock_guard guard(lock);
      answer = given;
      changed.notify_all();
    }
    int Silenced() {
      std::lock_guard guard(lock);
      return silenced;
    }
  };
  auto answers = std::make_shared<Answers>();
  window_->dialogs().SetBoxHook([answers](const BoxRequest& request) {
    if (!request.silence) return BoxAnswer::kOk;
    request.silence();
    std::unique_lock guard(answers->lock);
    ++answers->silenced;
    answers->changed.notify_all();
    answers->changed.wait(guard, [&] { return answers->answer.has_value(); });
    return *std::exchange(answers->answer, std::nullopt);
  });
  // A box still waiting when the test stops early is closed, not left hanging.
  const std::unique_ptr<Answers, void (*)(Answers*)> closer(answers.get(),
                                                            [](Answers* a) { a->Give(BoxAnswer::kCancel); });
  const auto releases = [&] {
    int count = 0;
    for (const auto& command : dvr->ReceivedCommands()) {
      count += command.code == protocol::cmd::BYPASS && command.payload.size() >= 2 &&
               command.payload[1] == protocol::bypass::kStopAlarmOut;
    }
    return count;
  };
  dvr->ClearReceivedCommands();

  dvr->SensorAlarm(1);
  ASSERT_TRUE(testing::PumpUntil([&] { return answers->Silenced() == 1; }, std::chrono::seconds(5)));
  EXPECT_TRUE(testing::PumpUntil([&] { return window_->alarm_counter()->isVisible(); }));
  EXPECT_EQ(window_->alarm_counter()->text(), "1 alarm pending");
  EXPECT_EQ(window_->alarms().buzzer_count(), 0);
  answers->Give(BoxAnswer::kCancel);
  ASSERT_TRUE(testing::PumpUntil([&] { return window_->alarms().open_count() == 0; }));

  dvr->SensorAlarm(2);
  ASSERT_TRUE(testing::PumpUntil([&] { return answers->Silenced() == 2; }, std::chrono::seconds(5)));
  answers->Give(BoxAnswer::kOk);
  ASSERT_TRUE(testing::PumpUntil([&] { return releases() > 0; }, std::chrono::seconds(5)));
  EXPECT_TRUE(testing::PumpUntil([&] { return !window_->alarm_counter()->isVisible(); }));
  EXPECT_EQ(releases(), 1);
}

}  // namespace
}  // namespace shell
