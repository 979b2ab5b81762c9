// The search viewer's commands against the emulated DVR, with the viewer
// control's events raised by the test: the requests each command sends, the
// state it leaves, and what it refuses.
#include "client/sessions/search_viewer.h"

#include <gtest/gtest.h>

#include <ctime>

#include "client/sessions/search_rows.h"
#include "client/sessions/testing/search_test_support.h"
#include "platform/trace.h"
#include "protocol/command_codes.h"

namespace sessions {
namespace {

using namespace std::chrono_literals;
using testing::PumpUntil;
using testing::RecordingSearchUi;
using Bytes = std::vector<uint8_t>;
namespace cmd = protocol::cmd;

CalendarDate Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

constexpr const char* kRestarted = "[SEARCH SESSION 0] Response stop record stream ==> Record stream restart(0x8)!!! ";

// A whole day of finished files, whatever the time of day now.
CalendarDate Yesterday() {
  const std::time_t now = std::time(nullptr) - 24 * 3600;
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

uint8_t Bcd(int value) { return static_cast<uint8_t>(value / 10 << 4 | value % 10); }

TEST(SearchRows, RowsAndBarsOfARecord) {
  protocol::FileRecord file;
  file.index = 42;
  file.hour = 0x10;
  file.start_minute = 0x15;
  file.end_minute = 0x20;
  file.events = {'C', 'M', 'S', '_'};
  file.size = "12";
  const FileListRow row = MakeFileListRow(file);
  EXPECT_EQ(row.time, "10:15:00/10:20:00");
  EXPECT_EQ(row.events, "CSM_");  // bytes 12, 14, 13, 15
  EXPECT_EQ(row.size, "12MB");
  EXPECT_EQ(row.file_index, "42");
  EXPECT_EQ(StatusBarOf(StartSeconds(file), EndSeconds(file)), (StatusBarSpan{288, 345}));
  EXPECT_EQ(StatusBarOf(0, 0), std::nullopt);

  const CalendarDate date{2026, 12, 9};
  EXPECT_EQ(MakePlaybackRange(date, file, false), (PlaybackRange{0x12, 0x09, 0x26, 0x10, 0x15, 0x00, 0, 0}));
  EXPECT_EQ(MakePlaybackRange(date, file, true), (PlaybackRange{0x12, 0x09, 0x26, 0x10, 0x15, 0x00, 0x20, 0x00}));

  file.end_minute = file.start_minute;
  file.events = {'M', '\0', '_', '_'};
  EXPECT_TRUE(IsStillRecording(file));
  EXPECT_EQ(MakeFileListRow(file).time, "10:15:00/Recording");
  EXPECT_EQ(MakeFileListRow(file).events, "M_");  // the list's text ends at a zero byte
}

class SearchViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::Application();
    dvr_ = testing::StartEmulator(options_);
    ASSERT_TRUE(dvr_);
    ui_.calendar = Yesterday();
    viewer_ = std::make_unique<CSearchViewer>(ui_, &control_);
    ASSERT_EQ(session().SetLogonData("127.0.0.1", dvr_->command_port(), "admin", "1234", true), 0);
    ASSERT_TRUE(PumpUntil([&] { return !ui_.rows.empty() && !ui_.common.busy(); }, 10s));
    // The keep-alive's replies would make the request lists below uneven.
    session().StopKeepAlive();
    // The longest finished file of today, so that jumps have room.
    int longest = -1;
    for (size_t i = 0; i < viewer_->files().size(); ++i) {
      const auto& file = viewer_->files()[i];
      if (IsStillRecording(file)) continue;
      if (longest < 0 || EndSeconds(file) - StartSeconds(file) >
                             EndSeconds(viewer_->files()[longest]) - StartSeconds(viewer_->files()[longest])) {
        longest = static_cast<int>(i);
      }
    }
    ASSERT_GE(longest, 0);
    row_ = longest;
    ui_.selected_row = row_;
  }
  void TearDown() override {
    viewer_.reset();
    if (dvr_) dvr_->Stop();
  }

  CSearchSession& session() { return viewer_->session(); }
  const protocol::FileRecord& file() { return viewer_->files()[static_cast<size_t>(row_)]; }
  std::vector<Bytes> Sent(uint32_t code) { return testing::Received(*dvr_, "admin", code); }

  // Plays the selected file up to the stream's connect, then waits for the
  // stop that leaves it waiting.
  void PlayToStreamStart() {
    viewer_->PlaySelectedFile();
    ASSERT_TRUE(PumpUntil([&] { return control_.connects() == 1; }));
    dvr_->ClearReceivedCommands();
    viewer_->Connect(0, 0);
    ASSERT_TRUE(PumpUntil([&] { return trace_.Contains(kRestarted); }));
    dvr_->ClearReceivedCommands();
  }

  dvremu::EmulatorOptions options_;
  std::unique_ptr<dvremu::DvrEmulator> dvr_;
  RecordingSearchUi ui_;
  testing::RecordingControl control_;
  std::unique_ptr<CSearchViewer> viewer_;
  platform::TraceCapture trace_;
  int row_ = 0;
};

TEST_F(SearchViewerTest, SelectingAFileAsksForItAndItsStreamWaitsStopped) {
  const CalendarDate today = Yesterday();
  viewer_->PlaySelectedFile();
  EXPECT_FALSE(ui_.playback_buttons);
  EXPECT_EQ(ui_.channel_buttons, 0);
  EXPECT_EQ(control_.aligns().back(), (std::pair<int, int>{0, 2}));  // 4 channels: 2x2
  EXPECT_EQ(ui_.status_bar, StatusBarOf(StartSeconds(file()), EndSeconds(file())));
  EXPECT_TRUE(ui_.common.HasLog("[EVENT] Select reocrd file"));
  EXPECT_TRUE(ui_.common.HasLog(ui_.rows[static_cast<size_t>(row_)].time));
  ASSERT_TRUE(PumpUntil([&] { return control_.connects() == 1; }));
  const Bytes expected = {0x1D,
                          static_cast<uint8_t>(file().index),
                          static_cast<uint8_t>(file().index >> 8),
                          static_cast<uint8_t>(file().index >> 16),
                          static_cast<uint8_t>(file().index >> 24),
                          Bcd(today.month),
                          Bcd(today.day),
                          Bcd(today.year % 100),
                          file().hour,
                          file().start_minute,
                          file().start_second,
                          0,
                          0};
  EXPECT_EQ(Sent(cmd::REQ_PLAYBACK), std::vector<Bytes>{expected});
  EXPECT_EQ(Sent(cmd::REQ_RECSTATUSBAR), std::vector<Bytes>{{0x0F}});

  viewer_->Connect(0, 0);
  EXPECT_EQ(ui_.channel_buttons, 4);
  EXPECT_TRUE(ui_.playback_buttons);
  EXPECT_TRUE(ui_.position_enabled);
  EXPECT_TRUE(session().stream_connected());
  EXPECT_TRUE(ui_.common.HasLog("[EVENT] Record Stream Start"));
  EXPECT_EQ(viewer_->direction(), PlaybackDirection::kStopped);
  ASSERT_TRUE(PumpUntil([&] { return trace_.Contains(kRestarted); }));
  EXPECT_EQ(Sent(cmd::REQ_STOP_RECSTREAM).back(), Bytes{0x08});

  // The position the DVR reports while playing reaches the slider.
  viewer_->ForwardPlay();
  ASSERT_TRUE(PumpUntil([&] { return !ui_.positions.empty(); }, 5s));
  EXPECT_GE(ui_.positions.front(), StartSeconds(file()));
  EXPECT_LE(ui_.positions.front(), EndSeconds(file()));
}

TEST_F(SearchViewerTest, EveryPlaybackCommandSendsItsRequestAndSetsItsDirection) {
  ASSERT_NO_FATAL_FAILURE(PlayToStreamStart());
  struct Case {
    void (CSearchViewer::*command)();
    uint32_t code;
    Bytes payload;
    PlaybackDirection after;
    const char* event;
  };
  const Case cases[] = {
      {&CSearchViewer::FastForward,
       cmd::REQ_FORWARD_PLAYBACK,
       {0x0A, 0x20},
       PlaybackDirection::kFastForward,
       "[EVENT] Fast Forward play"},
      {&CSearchViewer::FastReverse,
       cmd::REQ_REVERSE_PLAYBACK,
       {0x06, 0x20},
       PlaybackDirection::kFastReverse,
       "[EVENT] Fast Reverse play"},
      {&CSearchViewer::ForwardPlay,
       cmd::REQ_FORWARD_PLAYBACK,
       {0x0A, 0x01},
       PlaybackDirection::kForward,
       "[EVENT] Forward Play (x1)"},
      {&CSearchViewer::ReversePlay,
       cmd::REQ_REVERSE_PLAYBACK,
       {0x06, 0x01},
       PlaybackDirection::kReverse,
       "[EVENT] Reverse Play (x1)"},
      {&CSearchViewer::FrameForward,
       cmd::REQ_TRICKMODE,
       {0x09},
       PlaybackDirection::kFrameForward,
       "[EVENT] Frame by frame"},
      {&CSearchViewer::FrameBack, cmd::REQ_TRICKMODE, {0x07}, PlaybackDirection::kFrameBack, "[EVENT] Frame by back"},
      {&CSearchViewer::Stop, cmd::REQ_STOP_RECSTREAM, {0x08}, PlaybackDirection::kStopped, "[EVENT] Stop"},
  };
  for (const Case& c : cases) {
    dvr_->ClearReceivedCommands();
    (viewer_.get()->*c.command)();
    EXPECT_EQ(viewer_->direction(), c.after) << c.event;
    EXPECT_EQ(static_cast<int>(ui_.direction), static_cast<int>(c.after)) << c.event;
    EXPECT_EQ(ui_.common.log().back().text, c.event);
    EXPECT_EQ(ui_.speed, 0);
    ASSERT_TRUE(PumpUntil([&] { return !Sent(c.code).empty(); })) << c.event;
    EXPECT_EQ(Sent(c.code), std::vector<Bytes>{c.payload}) << c.event;
  }
}

TEST_F(SearchViewerTest, SpeedsStepWithinX1ToX16OnlyWhilePlayingNormally) {
  ASSERT_NO_FATAL_FAILURE(PlayToStreamStart());
  viewer_->Faster();  // stopped: nothing
  EXPECT_EQ(viewer_->speed_index(), 0);
  viewer_->ForwardPlay();
  viewer_->Slower();  // already x1
  EXPECT_EQ(viewer_->speed_index(), 0);
  for (int i = 0; i < 5; ++i) viewer_->Faster();  // the fifth is beyond x16
  EXPECT_EQ(viewer_->speed_index(), 4);
  EXPECT_EQ(ui_.speed, 4);
  EXPECT_EQ(ui_.common.log().back().text, "[EVENT] Play Speed x16");
  ASSERT_TRUE(PumpUntil([&] { return Sent(cmd::REQ_FORWARD_PLAYBACK).size() == 5; }));
  EXPECT_EQ(Sent(cmd::REQ_FORWARD_PLAYBACK),
            (std::vector<Bytes>{{0x0A, 0x01}, {0x0A, 0x02}, {0x0A, 0x04}, {0x0A, 0x08}, {0x0A, 0x10}}));

  viewer_->ReversePlay();
  viewer_->Faster();
  viewer_->Slower();
  ASSERT_TRUE(PumpUntil([&] { return Sent(cmd::REQ_REVERSE_PLAYBACK).size() == 3; }));
  EXPECT_EQ(Sent(cmd::REQ_REVERSE_PLAYBACK), (std::vector<Bytes>{{0x06, 0x01}, {0x06, 0x02}, {0x06, 0x01}}));
  EXPECT_EQ(ui_.common.log().back().text, "[EVENT] Play Speed x1");
}

TEST_F(SearchViewerTest, JumpsStayInsideTheFileAndWaitForTheirAnswer) {
  ASSERT_NO_FATAL_FAILURE(PlayToStreamStart());
  const int start = StartSeconds(file());
  const int end = EndSeconds(file());
  ASSERT_GE(end - start, 60);
  viewer_->Jump(start + 60);  // stopped: nothing
  viewer_->ForwardPlay();
  viewer_->Jump(start - 1);
  viewer_->Jump(end + 1);
  // The DVR holds its answers back, so the second jump finds the first unanswered.
  dvr_->Stall(dvremu::Target::kCommand, 1500ms);
  viewer_->Jump(start + 60);
  viewer_->Jump(end);
  ASSERT_TRUE(PumpUntil([&] { return session().jump_ready(); }, 10s));
  EXPECT_EQ(Sent(cmd::REQ_JUMPSTREAM), (std::vector<Bytes>{{0x10, Bcd((start + 60) / 60)}}));
  EXPECT_TRUE(trace_.Contains("[SEARCH DVR 0] Jump playback time : " + std::to_string((start + 60) / 60) + " min"));
  viewer_->Jump(end);
  ASSERT_TRUE(PumpUntil([&] { return Sent(cmd::REQ_JUMPSTREAM).size() == 2; }));
  EXPECT_EQ(Sent(cmd::REQ_JUMPSTREAM).back(), (Bytes{0x10, Bcd(end / 60)}));
}

TEST_F(SearchViewerTest, RecordingOnlyInNormalForwardAndItLocksTheOtherCommands) {
  ASSERT_NO_FATAL_FAILURE(PlayToStreamStart());
  viewer_->ToggleRecording();
  EXPECT_EQ(ui_.common.messages().back(), "Only at the time of normal forward is possibility of recording.");
  EXPECT_FALSE(viewer_->recording());
  viewer_->ForwardPlay();
  viewer_->ToggleRecording();
  EXPECT_TRUE(viewer_->recording());
  EXPECT_TRUE(ui_.recording);
  EXPECT_EQ(control_.recordings().back(), (std::pair<int, int>{0, 1}));
  EXPECT_TRUE(ui_.common.HasLog("[EVENT] DVR1 File Recording Start..."));

  const size_t boxes = ui_.common.messages().size();
  for (auto command : {&CSearchViewer::FastForward, &CSearchViewer::ReversePlay, &CSearchViewer::FrameBack,
                       &CSearchViewer::Stop, &CSearchViewer::Faster}) {
    (viewer_.get()->*command)();
  }
  EXPECT_EQ(ui_.common.messages().size(), boxes + 5);
  EXPECT_EQ(ui_.common.messages().back(), "While video recording, there is not a possibility of playback control.");
  EXPECT_EQ(viewer_->direction(), PlaybackDirection::kForward);
  viewer_->ForwardPlay();  // the one command still taken
  EXPECT_EQ(ui_.common.messages().size(), boxes + 5);

  viewer_->ToggleRecording();
  EXPECT_FALSE(viewer_->recording());
  EXPECT_EQ(control_.recordings().back(), (std::pair<int, int>{0, 0}));
  EXPECT_TRUE(ui_.common.HasLog("[EVENT] DVR1 File Recording Stop..."));
}

TEST_F(SearchViewerTest, LayoutsAndRotationFollowTheChannelCount) {
  ASSERT_NO_FATAL_FAILURE(PlayToStreamStart());
  const size_t aligns = control_.aligns().size();
  viewer_->ShowChannel(7);  // beyond the 4 channels: nothing
  viewer_->ShowChannel(4);
  EXPECT_EQ(control_.aligns().size(), aligns);
  EXPECT_EQ(viewer_->shown_view(), kViewQuad1to4);  // a 4-channel DVR plays in 2x2
  viewer_->ShowAllChannels();
  viewer_->ToggleRotation();  // all channels shown: nothing to rotate
  EXPECT_FALSE(viewer_->rotating());

  viewer_->ShowChannel(2);
  EXPECT_EQ(control_.aligns().back(), (std::pair<int, int>{2, 1}));
  EXPECT_EQ(ui_.common.log().back().text, "[EVENT] Ch.3 1X1 Align Mode");
  EXPECT_EQ(ui_.view, 2);
  viewer_->ToggleRotation();
  EXPECT_TRUE(viewer_->rotating());
  EXPECT_TRUE(ui_.rotation);
  viewer_->RotateOnce();
  viewer_->RotateOnce();  // after the last channel, the first
  EXPECT_EQ(control_.aligns().back(), (std::pair<int, int>{0, 1}));
  EXPECT_EQ(viewer_->shown_view(), 0);

  viewer_->ShowQuad(4);
  EXPECT_EQ(control_.aligns().back(), (std::pair<int, int>{4, 2}));
  EXPECT_EQ(viewer_->shown_view(), kViewQuad5to8);
  viewer_->RotateOnce();
  EXPECT_EQ(control_.aligns().back(), (std::pair<int, int>{0, 2}));
  viewer_->RotateOnce();  // a 4-channel DVR has one quad
  EXPECT_EQ(control_.aligns().back(), (std::pair<int, int>{0, 2}));
  EXPECT_EQ(ui_.common.log().back().text, "[EVENT] 2x2 Align Mode");

  viewer_->Stop();  // stop ends the rotation
  EXPECT_FALSE(viewer_->rotating());
  viewer_->ShowAllChannels();
  EXPECT_EQ(control_.aligns().back(), (std::pair<int, int>{0, 3}));
  EXPECT_EQ(viewer_->shown_view(), kViewAll);
}

TEST_F(SearchViewerTest, TimeToTimePlaybackStartsAtTheChosenMinute) {
  const int first = StartSeconds(file()) / 60 + 1;
  ASSERT_LE(first, EndSeconds(file()) / 60);
  ui_.time_to_time_choice = EndSeconds(file()) / 60 + 1;  // outside the file
  viewer_->TimeToTimePlayback();
  ASSERT_EQ(ui_.time_to_time_ranges.size(), 1u);
  EXPECT_EQ(ui_.time_to_time_ranges[0], MakePlaybackRange(Yesterday(), file(), true));
  ui_.time_to_time_choice = first;
  viewer_->TimeToTimePlayback();
  EXPECT_TRUE(ui_.common.HasLog("[EVENT] Time to time Playback"));
  ASSERT_TRUE(PumpUntil([&] { return control_.connects() == 1; }));
  const auto sent = Sent(cmd::REQ_PLAYBACK);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0][9], Bcd(first));
  EXPECT_EQ(sent[0][10], file().start_second);
  EXPECT_EQ(sent[0][11], file().end_minute);
  EXPECT_EQ(viewer_->file_start_seconds(), first * 60 + StartSeconds(file()) % 60);

  // The file still being written (today's last) has no end to choose from.
  viewer_->ChangeCalendarDate(Today());
  ASSERT_TRUE(PumpUntil([&] { return !ui_.rows.empty() && ui_.rows.back().time.ends_with("/Recording"); }));
  ui_.selected_row = static_cast<int>(ui_.rows.size()) - 1;
  viewer_->TimeToTimePlayback();
  EXPECT_EQ(ui_.common.messages().back(), "This function is not available for currently recording  !!!");
  EXPECT_EQ(ui_.time_to_time_ranges.size(), 2u);
}

TEST_F(SearchViewerTest, DownloadFillsTheRecordFromSessionAndRow) {
  viewer_->DownloadSelectedFile();
  ASSERT_EQ(ui_.downloads.size(), 1u);
  const FileDownloadRecord& record = ui_.downloads[0];
  EXPECT_EQ(record.user_name, "admin");
  EXPECT_EQ(record.password, "1234");
  EXPECT_EQ(record.address, "127.0.0.1");
  EXPECT_EQ(record.port, dvr_->command_port() + 2);
  EXPECT_EQ(record.file_index, file().index);
  EXPECT_EQ(record.month, Bcd(Yesterday().month));
  EXPECT_EQ(record.year, Bcd(Yesterday().year % 100));
  EXPECT_EQ(record.hour, file().hour);
  EXPECT_EQ(record.end_second, file().end_second);
  EXPECT_TRUE(ui_.common.HasLog("[EVENT] Record file download"));
}

TEST_F(SearchViewerTest, AStreamThatClosesWhilePlayingEndsTheSessionAndResetsTheControls) {
  ASSERT_NO_FATAL_FAILURE(PlayToStreamStart());
  viewer_->ForwardPlay();
  viewer_->Close(0, 0);
  EXPECT_FALSE(session().connected());
  EXPECT_TRUE(ui_.common.HasLog("[EVENT] Record Stream Stop"));
  EXPECT_EQ(ui_.common.last_state(0), ConnectionState::kFailed);
  EXPECT_FALSE(ui_.playback_buttons);
  EXPECT_EQ(ui_.channel_buttons, 0);
  EXPECT_EQ(ui_.status_bar, std::nullopt);
  EXPECT_EQ(viewer_->direction(), PlaybackDirection::kStopped);
  EXPECT_EQ(viewer_->shown_view(), kViewAll);
  EXPECT_TRUE(ui_.rows.empty());
  EXPECT_GE(ui_.control_resets, 1);
}

}  // namespace
}  // namespace sessions
