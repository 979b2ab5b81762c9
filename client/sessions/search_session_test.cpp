// The search session against the emulated DVR: the administrator-only logon,
// the calendar and the day list, the DVR's refusals and the disconnects.
#include "client/sessions/search_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>

#include "client/sessions/search_rows.h"
#include "client/sessions/search_viewer.h"
#include "client/sessions/testing/search_test_support.h"
#include "platform/trace.h"
#include "protocol/command_codes.h"
#include "protocol/packet_header.h"

namespace sessions {
namespace {

using namespace std::chrono_literals;
using testing::PumpUntil;
using testing::RecordingSearchUi;
namespace cmd = protocol::cmd;

CalendarDate Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

class SearchSessionTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::Application(); }
  void TearDown() override {
    viewer_.reset();
    if (dvr_) dvr_->Stop();
  }

  void Start(std::map<std::string, std::string> users = {{"admin", "1234"}}) {
    options_.users = std::move(users);
    dvr_ = testing::StartEmulator(options_);
    ASSERT_TRUE(dvr_);
    ui_.calendar = Today();
    viewer_ = std::make_unique<CSearchViewer>(ui_, &control_);
  }

  CSearchSession& session() { return viewer_->session(); }

  // Connects with the credentials given and waits for the day list.
  void LogOn(const std::string& user = "admin") {
    ASSERT_EQ(session().SetLogonData("127.0.0.1", dvr_->command_port(), user, "1234", true), 0);
    ASSERT_TRUE(PumpUntil([&] { return !ui_.rows.empty() && !ui_.common.busy(); }, 10s));
  }

  dvremu::EmulatorOptions options_;
  std::unique_ptr<dvremu::DvrEmulator> dvr_;
  RecordingSearchUi ui_;
  testing::RecordingControl control_;
  std::unique_ptr<CSearchViewer> viewer_;
  platform::TraceCapture trace_;
};

TEST_F(SearchSessionTest, AdminInCapitalsLogsOnAndFillsCalendarAndDayList) {
  ASSERT_NO_FATAL_FAILURE(Start({{"ADMIN", "1234"}}));
  ASSERT_NO_FATAL_FAILURE(LogOn("ADMIN"));
  EXPECT_EQ(ui_.common.last_state(0), ConnectionState::kSearchLoggedOn);
  EXPECT_TRUE(trace_.Contains("[SEARCH SESSION 0] Search mode User Logon !!!"));
  EXPECT_TRUE(trace_.Contains("[SEARCH DVR 0] Start keep alive message !!!"));
  EXPECT_TRUE(trace_.Contains("[SEARCH DVR 0] Search logon data IP : 127.0.0.1, Port : " +
                              std::to_string(dvr_->command_port()) + ", Username : ADMIN, Password : ****"));
  EXPECT_TRUE(session().IsKeepAliveRunning());
  EXPECT_EQ(session().channel_count(), 4);

  const CalendarDate today = Today();
  EXPECT_EQ(ui_.bold_days, dvr_->recordings().MonthMask(today.year, today.month));
  EXPECT_EQ(testing::Received(*dvr_, "ADMIN", cmd::REQ_SEARCH), (std::vector<std::vector<uint8_t>>{{0x18}}));
  const auto month = testing::Received(*dvr_, "ADMIN", cmd::REQ_MONTHINFO);
  ASSERT_EQ(month.size(), 1u);
  EXPECT_EQ(month[0][0], 0x19);

  // The rows are the DVR's files of today, the last one still recording.
  const auto files = dvr_->recordings().Day(today.year, today.month, today.day);
  ASSERT_EQ(ui_.rows.size(), files.size());
  const dvremu::RecordFile& first = *files.front();
  char start[16];
  std::snprintf(start, sizeof start, "%02d:%02d:%02d", first.hour, first.start_minute, first.start_second);
  EXPECT_EQ(ui_.rows.front().time.substr(0, 9), std::string(start) + "/");
  EXPECT_EQ(ui_.rows.front().file_index, std::to_string(first.index));
  EXPECT_EQ(ui_.rows.front().size, std::to_string(first.size_mb) + "MB");
  EXPECT_EQ(ui_.rows.front().events, std::string({first.events[0], first.events[2], first.events[1], first.events[3]}));
  EXPECT_TRUE(ui_.rows.back().time.ends_with("/Recording")) << ui_.rows.back().time;
  EXPECT_TRUE(trace_.Contains("[SEARCH DVR 0] Days list 1. Time:" + ui_.rows.front().time +
                              ", Event:" + ui_.rows.front().events + ", Size:" + ui_.rows.front().size +
                              ", File Index:" + ui_.rows.front().file_index));

  // The same date again asks nothing; another day of the month asks only its list.
  dvr_->ClearReceivedCommands();
  viewer_->ChangeCalendarDate(today);
  CalendarDate other = today;
  other.day = today.day == 1 ? 2 : 1;
  viewer_->ChangeCalendarDate(other);
  ASSERT_TRUE(PumpUntil([&] { return !testing::Received(*dvr_, "ADMIN", cmd::REQ_RECDAYINFO).empty(); }));
  EXPECT_TRUE(testing::Received(*dvr_, "ADMIN", cmd::REQ_MONTHINFO).empty());
  EXPECT_EQ(testing::Received(*dvr_, "ADMIN", cmd::REQ_RECDAYINFO).size(), 1u);

  viewer_->Disconnect();
  EXPECT_FALSE(session().connected());
  EXPECT_EQ(ui_.common.last_state(0), ConnectionState::kFailed);
  EXPECT_EQ(ui_.bold_days, 0u);
  EXPECT_TRUE(ui_.rows.empty());
  EXPECT_GE(ui_.control_resets, 1);
  EXPECT_TRUE(trace_.Contains("[SEARCH SESSION 0] Request stop record stream(0x33) !!!"));
  EXPECT_TRUE(trace_.Contains("[SEARCH DVR 0] Stop keep alive message !!!"));
}

TEST_F(SearchSessionTest, AnyOtherUserIsRefusedWithTheNoticeAndDisconnected) {
  // Without credentials the loopback address is refused: it is the modem link's.
  options_.bind_address = "127.0.0.2";
  ASSERT_NO_FATAL_FAILURE(Start({{"user", "1234"}}));
  // Typed at the prompt: refused before anything is sent.
  ASSERT_EQ(session().SetLogonData("127.0.0.2", dvr_->command_port(), "", "", true), 0);
  ASSERT_TRUE(PumpUntil([&] { return ui_.common.last_state(0) == ConnectionState::kAwaitingLogon; }));
  ui_.common.SetLogonFields("user", "1234");
  session().SubmitLogon();
  EXPECT_FALSE(session().connected());
  EXPECT_TRUE(ui_.common.HasLog("[NOTICE] Permission denied.\nNetwork disconnect."));
  EXPECT_EQ(ui_.common.log().back().colour, kNoticeColour);
  EXPECT_EQ(ui_.common.last_state(0), ConnectionState::kFailed);

  // Given with the connection: refused when the DVR asks for it.
  const size_t notices = ui_.common.log().size();
  ASSERT_EQ(session().SetLogonData("127.0.0.2", dvr_->command_port(), "user", "1234", true), 0);
  ASSERT_TRUE(PumpUntil([&] { return ui_.common.log().size() > notices && !session().in_use(); }));
  EXPECT_TRUE(testing::Received(*dvr_, "user", cmd::AUTH_DATA).empty());
  EXPECT_TRUE(testing::Received(*dvr_, "", cmd::AUTH_DATA).empty());
  EXPECT_TRUE(ui_.rows.empty());
}

TEST_F(SearchSessionTest, ADvrWithoutChannelsIsRefusedWithTheVersionBox) {
  ASSERT_NO_FATAL_FAILURE(Start());
  dvr_->SetSearchChannels(0);
  ASSERT_EQ(session().SetLogonData("127.0.0.1", dvr_->command_port(), "admin", "1234", true), 0);
  ASSERT_TRUE(PumpUntil([&] { return ui_.common.HasMessageContaining("is not the DVR of version"); }));
  ASSERT_TRUE(PumpUntil([&] { return !session().in_use(); }));
  EXPECT_EQ(ui_.common.messages().back(), "Dastel-8 or Dastel-4 is not the DVR of version.\nThe connection is ended.");
  EXPECT_EQ(ui_.common.last_state(0), ConnectionState::kFailed);
  EXPECT_FALSE(ui_.common.busy());
}

TEST_F(SearchSessionTest, PlaybackRefusalsShowTheirBoxAndKeepTheLogon) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(LogOn());
  ui_.selected_row = 0;
  const struct {
    uint8_t reason;
    const char* box;
  } cases[] = {{1, "Can't found record file. To select again."},
               {2, "Can't playback the record file in DVR. Admin use playback in the DVR"}};
  for (const auto& refusal : cases) {
    dvr_->RefuseNextPlayback(refusal.reason);
    const size_t boxes = ui_.common.messages().size();
    viewer_->PlaySelectedFile();
    ASSERT_TRUE(PumpUntil([&] { return ui_.common.messages().size() > boxes; }));
    EXPECT_EQ(ui_.common.messages().back(), refusal.box);
    EXPECT_EQ(control_.connects(), 0);
    EXPECT_TRUE(session().connected());
    EXPECT_EQ(ui_.common.last_state(0), ConnectionState::kSearchLoggedOn);
  }
  // Without a row there is nothing to play.
  ui_.selected_row.reset();
  viewer_->PlaySelectedFile();
  EXPECT_EQ(ui_.common.messages().back(), "To select a record file");
}

TEST_F(SearchSessionTest, RepliesThatDoNotParseCostOnlyThemselves) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(LogOn());
  // The DVR answers the next stop with a byte the client does not know.
  session().StopKeepAlive();
  dvr_->ArmNextResult(0x5A);
  session().RequestStopRecordStream(protocol::sub::kStopPlaying, StopKind::kDisconnect);
  ASSERT_TRUE(PumpUntil([&] { return trace_.Contains("[SEARCH SESSION 0] Response stop record stream failed !!! "); }));
  EXPECT_TRUE(session().connected());
  dvr_->Garbage(dvremu::Target::kCommand, 100);
  session().RequestDayInfo(Today().year, Today().month, Today().day);
  ASSERT_TRUE(PumpUntil([&] { return trace_.Count("[SEARCH SESSION 0] RESPONSERECDAYINFO !!!") >= 2; }));
  EXPECT_TRUE(session().connected());
}

TEST_F(SearchSessionTest, AlarmsLightsAndNoticesOfTheSearchedDvr) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(LogOn());
  // The one searched DVR is always DVR 1.
  dvr_->SensorAlarm(3);
  ASSERT_TRUE(PumpUntil([&] { return !ui_.common.alarms().empty(); }));
  EXPECT_EQ(ui_.common.alarms()[0].dvr_number, 1);
  EXPECT_TRUE(ui_.common.HasLog("[ALERT] DVR1, Sensor #3 Detection"));
  EXPECT_EQ(session().alarm_number(), 3);

  ui_.common.SetDialogsOpen(false, false, true);
  ASSERT_EQ(session().RequestLightStatus(), 0);
  ASSERT_TRUE(PumpUntil([&] { return !ui_.common.light_states().empty(); }));
  EXPECT_TRUE(trace_.Contains("[SEARCH DVR 0] response dvr light status."));
  ASSERT_EQ(session().RequestLight(0x05), 0);
  ASSERT_TRUE(PumpUntil([&] { return ui_.common.light_states().size() == 2; }));
  EXPECT_EQ(testing::Received(*dvr_, "admin", cmd::BYPASS).back(), (std::vector<uint8_t>{0x74, 0x77, 0x00, 0x05}));

  // Bits past day 31 are no days.
  viewer_->OnMonthInfo(0xFFFFFFFF);
  EXPECT_EQ(ui_.bold_days, 0x7FFFFFFFu);

  dvr_->AdminNotice(0x11);
  ASSERT_TRUE(PumpUntil([&] { return !session().in_use(); }));
  EXPECT_TRUE(
      trace_.Contains("[SEARCH SESSION 0] The administrator is using the DVR System. PC Client Network Disconnect!!!"));
  EXPECT_EQ(ui_.common.last_state(0), ConnectionState::kFailed);
  EXPECT_TRUE(ui_.rows.empty());
}

TEST(SearchSessionModem, DisconnectWaitsForTheStopReplyAtMostFiveSeconds) {
  testing::Application();
  // The emulator stands in for the modem link's bridge.
  dvremu::EmulatorOptions options;
  options.read_stdin = false;
  auto dvr = dvremu::DvrEmulator::StartOnFreePorts(options);
  ASSERT_TRUE(dvr);
  dvremu::DvrEmulator& bridge = *dvr;
  testing::BridgePortForTest bridge_port(bridge.command_port());
  platform::TraceCapture trace;
  RecordingSearchUi ui;
  ui.calendar = Today();
  testing::RecordingControl control;
  CSearchViewer viewer(ui, &control);
  CSearchSession& session = viewer.session();
  ASSERT_EQ(session.SetLogonData("02-555-1234", 4000, "admin", "1234", false), 0);
  EXPECT_TRUE(trace.Contains("[SEARCH DVR 0] Search logon data Telephone Number : 02-555-1234, Port : " +
                             std::to_string(bridge.command_port()) +
                             ", Username : admin, "
                             "Password : ****"));
  ASSERT_TRUE(PumpUntil([&] { return !ui.rows.empty(); }, 10s));
  EXPECT_EQ(session.KeepAlivePeriodMs(), kModemKeepAliveMs);

  // Answered: the line goes once the stop reply is in.
  viewer.Disconnect();
  EXPECT_TRUE(session.connected());
  ASSERT_TRUE(PumpUntil([&] { return !session.connected(); }));
  EXPECT_TRUE(trace.Contains("[SEARCH SESSION 0] Response stop record stream ==> Network disconnect !!! "));
  EXPECT_FALSE(trace.Contains("[SEARCH DVR 0] Response time Out !!! Network disconnect !!!!"));

  // Unanswered: the wait ends the session after its 5,000 ms.
  ASSERT_EQ(session.SetLogonData("02-555-1234", 4000, "admin", "1234", false), 0);
  ASSERT_TRUE(PumpUntil([&] { return session.IsKeepAliveRunning() && !ui.rows.empty(); }, 10s));
  bridge.Stall(dvremu::Target::kCommand, 30s);
  const auto asked = std::chrono::steady_clock::now();
  viewer.Disconnect();
  ASSERT_TRUE(PumpUntil([&] { return !session.connected(); }, 20s));
  // A coarse timer may fire up to 5 % early.
  EXPECT_GE(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(kSearchStopWaitMs * 95 / 100));
  EXPECT_TRUE(trace.Contains("[SEARCH DVR 0] Response time Out !!! Network disconnect !!!!"));
  EXPECT_EQ(ui.common.last_state(0), ConnectionState::kFailed);
  bridge.Stop();
}

}  // namespace
}  // namespace sessions
