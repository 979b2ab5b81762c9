// The DVR's service requests, their replies and the alarms, end to end
// against the emulated DVR.
#include "client/sessions/dvr_services.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>

#include "client/sessions/live_viewer.h"
#include "client/sessions/testing/session_test_support.h"
#include "platform/result_codes.h"
#include "platform/trace.h"
#include "protocol/command_codes.h"

namespace sessions {
namespace {

using namespace std::chrono_literals;
using testing::PumpUntil;

class DvrServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::Application();
    dvremu::EmulatorOptions options;
    options.users = {{"admin", "1234"}, {"Admin", "1234"}};
    dvr_ = testing::StartEmulator(options);
    ASSERT_TRUE(dvr_);
    viewer_ = std::make_unique<CLiveViewer>(ui_, nullptr);
  }
  void TearDown() override {
    viewer_.reset();
    if (dvr_) dvr_->Stop();
  }

  CLiveSession& Connect(int slot, const std::string& user = "admin") {
    CLiveSession& session = viewer_->session(slot);
    const size_t records_before =
        trace_.Count("[LIVE DVR " + std::to_string(slot) + "] vistrel control record event type setting failed !!!");
    EXPECT_EQ(session.SetLogonData("127.0.0.1", dvr_->command_port(), user, "1234", true), 0);
    // The record event types are the last thing the logon brings.
    EXPECT_TRUE(PumpUntil([&] {
      return trace_.Count("[LIVE DVR " + std::to_string(slot) +
                          "] vistrel control record event type setting failed !!!") > records_before;
    }));
    return session;
  }

  std::unique_ptr<dvremu::DvrEmulator> dvr_;
  testing::RecordingUi ui_;
  std::unique_ptr<CLiveViewer> viewer_;
  platform::TraceCapture trace_;
};

TEST_F(DvrServicesTest, StatusReachesOnlyAnOpenDialog) {
  Connect(0);
  DvrServices& services = viewer_->services();
  ASSERT_EQ(services.RequestDvrStatus(0), 0);
  EXPECT_TRUE(ui_.HasLog("[EVENT] DVR Status View"));
  EXPECT_TRUE(trace_.Contains("[LIVE DVR 0] Request DVR status."));
  ASSERT_TRUE(PumpUntil([&] { return trace_.Contains("[LIVE DVR 0] response dvr status."); }));
  ASSERT_TRUE(PumpUntil([&] { return !ui_.busy(); }));
  EXPECT_TRUE(ui_.statuses().empty());  // no dialog: dropped after the trace

  ui_.SetDialogsOpen(true, false, false);
  ASSERT_EQ(services.RequestDvrStatus(0), 0);
  ASSERT_TRUE(PumpUntil([&] { return ui_.statuses().size() == 1; }));
  const DvrStatusBlock status = ui_.statuses()[0];
  EXPECT_EQ(status.version, "1.20.07");
  EXPECT_EQ(CapacityText(status), "160 GB");
  EXPECT_EQ(FirstDiskText(status), "37GB/80GB");
  EXPECT_EQ(FlagText(status), "ON");
  EXPECT_EQ(status.address, "127.0.0.1");
  EXPECT_EQ(status.email, "dvr@example.com");
}

TEST_F(DvrServicesTest, EmailSettingOnlyForTheAdmin) {
  ServiceSettingBlock setting{{10, 0, 0, 9}, "ops@example.net", "SITE-7", "555-0100"};
  Connect(0, "Admin");
  EXPECT_EQ(viewer_->services().SendEmailSetting(0, setting), E_FAIL);
  EXPECT_TRUE(ui_.HasMessageContaining("Only the admin will be able to use the E-mail and Call service."));
  EXPECT_FALSE(ui_.HasLog("[EVENT] DVR Status Setting"));
  viewer_->DisconnectSlot(0);
  EXPECT_TRUE(testing::Received(*dvr_, "Admin", protocol::cmd::BYPASS).empty());

  Connect(1, "admin");
  ASSERT_EQ(viewer_->services().SendEmailSetting(1, setting), 0);
  EXPECT_TRUE(ui_.HasLog("[EVENT] DVR Status Setting"));
  ASSERT_TRUE(
      PumpUntil([&] { return ui_.HasMessageContaining("E-mail & Call Service Setting is success complete. !!!"); }));
  EXPECT_TRUE(trace_.Contains("[LIVE DVR 1] response e-mail setting."));
  const auto stored = dvr_->service_setting();
  EXPECT_EQ(stored.email, "ops@example.net");
  EXPECT_EQ(stored.call_number, "555-0100");
  EXPECT_EQ(stored.address, (std::array<uint8_t, 4>{10, 0, 0, 9}));
}

TEST_F(DvrServicesTest, LogPagesOfADay) {
  Connect(0);
  ui_.SetDialogsOpen(false, true, false);
  std::time_t now = std::time(nullptr);
  std::tm today{};
  localtime_r(&now, &today);
  DvrServices& services = viewer_->services();
  ASSERT_EQ(services.RequestLogByDate(0, today.tm_year + 1900, today.tm_mon + 1, today.tm_mday, 1), 0);
  EXPECT_TRUE(ui_.HasLog("[EVENT] DVR Logfile View"));
  ASSERT_TRUE(PumpUntil([&] { return ui_.log_pages().size() == 1; }));
  const DvrLogPage page = ui_.log_pages()[0];
  ASSERT_GE(page.page_count, 2u);  // the emulator logs at least 25 events a day
  ASSERT_EQ(page.records.size(), 20u);
  EXPECT_EQ(LogEventText(page.records[0]), "Power on");

  // A page past the last is a failure: traced, the dialog keeps what it has.
  ASSERT_EQ(services.RequestLogByDate(0, today.tm_year + 1900, today.tm_mon + 1, today.tm_mday, 99), 0);
  ASSERT_TRUE(PumpUntil([&] { return trace_.Contains("[LIVE DVR 0] response log file by date failed."); }));
  EXPECT_EQ(ui_.log_pages().size(), 1u);

  // A day to come has no log.
  ASSERT_EQ(services.RequestLogByDate(0, today.tm_year + 1901, 1, 1, 1), 0);
  ASSERT_TRUE(PumpUntil([&] { return ui_.log_pages().size() == 2; }));
  ASSERT_EQ(ui_.log_pages()[1].records.size(), 1u);
  EXPECT_EQ(LogEventText(ui_.log_pages()[1].records[0]), "No have log list");
}

// A reply without even its result byte is malformed: dropped, and traced
// with the size it had, not as a success.
TEST_F(DvrServicesTest, EmptyStatusAndLogRepliesAreMalformed) {
  ui_.SetDialogsOpen(true, true, false);
  DvrServices& services = viewer_->services();
  EXPECT_TRUE(services.HandleReply(0, protocol::cmd::RESP_DVR_STATUS, {}));
  EXPECT_TRUE(services.HandleReply(0, protocol::cmd::RESP_LOGFILE_BY_DATE, {}));
  EXPECT_TRUE(trace_.Contains("[LIVE DVR 0] dvr status block of 0 bytes is malformed; dropped."));
  EXPECT_TRUE(trace_.Contains("[LIVE DVR 0] log page of 0 bytes is malformed; dropped."));
  EXPECT_FALSE(trace_.Contains("[LIVE DVR 0] response dvr status."));
  EXPECT_TRUE(ui_.statuses().empty());
  EXPECT_TRUE(ui_.log_pages().empty());
}

TEST_F(DvrServicesTest, LightsAndTheirDialogClosingWithTheSlot) {
  Connect(0);
  ui_.SetDialogsOpen(false, false, true);
  DvrServices& services = viewer_->services();
  ASSERT_EQ(services.RequestLightStatus(0), 0);
  ASSERT_TRUE(PumpUntil([&] { return ui_.light_states().size() == 1; }));
  EXPECT_EQ(ui_.light_states()[0], 0xF5);
  EXPECT_TRUE(trace_.Contains("[LIVE DVR 0] response dvr light status."));

  ASSERT_EQ(services.SetLights(0, SwitchLight(0xF5, 1, false)), 0);
  ASSERT_TRUE(PumpUntil([&] { return ui_.light_states().size() == 2; }));
  EXPECT_EQ(ui_.light_states()[1], 0xF4);
  EXPECT_EQ(dvr_->lights(), 0xF4);
  EXPECT_EQ(testing::Received(*dvr_, "admin", protocol::cmd::BYPASS).back(),
            (std::vector<uint8_t>{'t', 'w', 0x00, 0xF4}));

  viewer_->DisconnectSlot(0);
  EXPECT_EQ(ui_.light_dialog_closes(), 1);
  EXPECT_EQ(services.RequestLightStatus(0), E_FAIL);
}

TEST_F(DvrServicesTest, AlarmsRaiseABoxEachAndAcknowledgingStopsTheAlarmOut) {
  Connect(1);
  dvr_->SensorAlarm(9);  // out of range: ignored
  dvr_->SensorAlarm(3);
  ASSERT_TRUE(PumpUntil([&] { return ui_.HasLog("[ALERT] DVR2, Sensor #3 Detection"); }));
  EXPECT_TRUE(trace_.Contains("[LIVE DVR 1] alarm number 9 out of range; ignored."));
  for (const auto& line : ui_.log()) {
    if (line.text.rfind("[ALERT]", 0) == 0) {
      EXPECT_EQ(line.colour, kAlertColour);
    }
  }
  dvr_->MotionAlarm(5);
  ASSERT_TRUE(PumpUntil([&] { return ui_.alarms().size() == 2 && viewer_->alarms().open_boxes() == 0; }));
  EXPECT_TRUE(ui_.HasLog("[ALERT] DVR2, Ch.5 Motion Detection"));

  // Each box has a thread of its own, so they may come up in either order.
  auto alarms = ui_.alarms();
  std::sort(alarms.begin(), alarms.end(), [](const AlarmBox& a, const AlarmBox& b) { return a.kind < b.kind; });
  EXPECT_EQ(alarms[0].caption, "Sensor Alarm Out");
  EXPECT_EQ(alarms[0].text,
            "\t\tWarning\nAlarm event occured at a remote-site (DVR-2, Sensor-3 ). \nIf you want to release "
            "alarm event, select 'OK'.\n");
  EXPECT_EQ(alarms[1].caption, "Motion Alarm Out");
  EXPECT_EQ(alarms[1].number, 5);
  EXPECT_NE(alarms[0].id, alarms[1].id);
  EXPECT_EQ(ui_.buzzer_starts(), 2);
  EXPECT_EQ(ui_.buzzers_running(), 0);
  EXPECT_EQ(viewer_->session(1).alarm_number(), 5);

  ASSERT_TRUE(PumpUntil([&] { return trace_.Contains("[LIVE DVR 1] request stop Alram out."); }));
  ASSERT_TRUE(PumpUntil([&] { return trace_.Count("[DVREMU] alarm out stopped by 127.0.0.1") == 2; }));
  EXPECT_EQ(testing::Received(*dvr_, "admin", protocol::cmd::BYPASS),
            (std::vector<std::vector<uint8_t>>{{'t', 'v'}, {'t', 'v'}}));
}

}  // namespace
}  // namespace sessions
