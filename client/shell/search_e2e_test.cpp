// The search and playback mode against the emulated DVR, through the window
// as an operator uses it: Search, a manual logon, a day picked in the
// calendar, a file selected and played, a frame step, a jump through the
// position slider, stop and disconnect.
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "client/shell/bitmap_slider.h"
#include "client/shell/connect_panel.h"
#include "client/shell/hover_button.h"
#include "client/shell/live_mode.h"
#include "client/shell/lower_panels.h"
#include "client/shell/search_mode.h"
#include "client/shell/search_widgets.h"
#include "client/shell/testing/window_fixture.h"
#include "client/shell/time_to_time_dialog.h"
#include "protocol/command_codes.h"
#include "tools/dvremu/dvr_emulator.h"
#include "viewer_control/control/vistrel_ctl.h"

namespace shell {
namespace {

using namespace std::chrono_literals;
namespace cmd = protocol::cmd;

class SearchEndToEndTest : public testing::WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    live_ = std::make_unique<CLiveMode>(*window_, [](const std::string&, int, int, int) { return 1; });
    search_ =
        std::make_unique<CSearchMode>(*window_, live_->vistrel(), [](const std::string&, int, int, int) { return 1; });
    window_->SetViewer(ViewerMode::kRemoteLive, live_.get());
    window_->SetViewer(ViewerMode::kRemoteSearch, search_.get());
    dvremu::EmulatorOptions options;
    options.read_stdin = false;
    options.channels = 4;
    options.bind_address = "127.0.0.2";  // a manual logon may not name 127.0.0.1
    options.recorded_days = 3;
    dvr_ = dvremu::DvrEmulator::StartOnFreePorts(options);
    ASSERT_TRUE(dvr_);
  }
  void TearDown() override {
    window_->SetViewer(ViewerMode::kRemoteSearch, nullptr);
    window_->SetViewer(ViewerMode::kRemoteLive, nullptr);
    search_.reset();
    live_.reset();
    WindowFixture::TearDown();
    if (dvr_) dvr_->Stop();
  }

  // A manual logon in the search mode: the DVR asks, the prompt answers.
  void LogOn() {
    if (window_->mode() != ViewerMode::kRemoteSearch) Click(ControlId::kSearchMode);
    CConnectPanel* panel = window_->connect_panel();
    panel->ip_edit()->setText("127.0.0.2");
    panel->port_edit()->setText(QString::number(dvr_->command_port()));
    panel->ethernet_connect()->click();
    ASSERT_TRUE(::shell::testing::PumpUntil([&] { return window_->panel() == LowerPanel::kLogonPrompt; }, 10s));
    window_->logon_prompt()->user_edit()->setText("admin");
    window_->logon_prompt()->password_edit()->setText("1234");
    Click(ControlId::kLogonOk);
    ASSERT_TRUE(::shell::testing::PumpUntil([&] { return window_->panel() == LowerPanel::kFile; }, 10s));
    ASSERT_TRUE(::shell::testing::PumpUntil([&] { return window_->file_list()->rows() > 0; }, 10s));
  }
  // Picks a day in the calendar and waits for its files.
  std::vector<const dvremu::RecordFile*> PickDay(const QDate& day) {
    const auto files = dvr_->recordings().Day(day.year(), day.month(), day.day());
    window_->calendar()->setSelectedDate(day);
    EXPECT_TRUE(::shell::testing::PumpUntil(
        [&] { return window_->file_list()->rows() == static_cast<int>(files.size()); }, 10s));
    return files;
  }

  void Click(ControlId id) {
    CHoverButton* button = window_->button(id);
    ASSERT_NE(button, nullptr) << ToInt(id);
    ASSERT_TRUE(button->isVisible() && button->isEnabled()) << ToInt(id);
    button->click();
  }
  // The payloads of one request the DVR received since the last call.
  std::vector<std::vector<uint8_t>> Received(uint32_t code) {
    std::vector<std::vector<uint8_t>> payloads;
    for (const auto& command : dvr_->ReceivedCommands()) {
      if (command.code == code) payloads.push_back(command.payload);
    }
    return payloads;
  }
  // The request reaches the DVR (its reply may come later).
  bool Arrives(uint32_t code, const std::vector<uint8_t>& payload) {
    return ::shell::testing::PumpUntil(
        [&] {
          for (const auto& sent : Received(code)) {
            if (sent == payload) return true;
          }
          return false;
        },
        10s);
  }
  // Every channel of the DVR has drawn a picture in its cell.
  bool PlayingPictures() {
    auto& engine = live_->vistrel().control()->engine();
    for (int cell = 0; cell < dvr_->options().channels; ++cell) {
      if (engine.decoder(cell).pictures_drawn() == 0) return false;
    }
    return true;
  }
  // What the screen shows (the video area draws through OpenGL under a
  // display), for a look at the mode by eye.
  void SaveShot(const char* file) {
    ::shell::testing::PumpUntil([] { return false; }, 1500ms);
    QImage image = window_->screen()->grabWindow(window_->winId()).toImage();
    if (image.isNull()) image = window_->grab().toImage();
    EXPECT_TRUE(image.save(file, "PNG")) << file;
  }

  std::unique_ptr<dvremu::DvrEmulator> dvr_;
  std::unique_ptr<CLiveMode> live_;
  std::unique_ptr<CSearchMode> search_;
};

TEST_F(SearchEndToEndTest, PicksADayPlaysAFileStepsJumpsStopsAndDisconnects) {
  Click(ControlId::kSearchMode);
  ASSERT_EQ(window_->mode(), ViewerMode::kRemoteSearch);
  EXPECT_TRUE(HasLogLine("[NOTICE] Remote search & playback"));

  ASSERT_NO_FATAL_FAILURE(LogOn());

  // Today's recorded days in bold, today's files listed, the last still recording.
  const std::time_t now = std::time(nullptr);
  std::tm today{};
  localtime_r(&now, &today);
  const int year = today.tm_year + 1900;
  const int month = today.tm_mon + 1;
  const QDate shown = window_->calendar()->selectedDate();
  ASSERT_EQ(shown, QDate(year, month, today.tm_mday));
  EXPECT_EQ(window_->calendar()->bold_days(), dvr_->recordings().MonthMask(year, month));
  const auto last = window_->file_list()->Row(window_->file_list()->rows() - 1);
  EXPECT_NE(last->time.find("/Recording"), std::string::npos) << last->time;

  // The day before: its files, all of them complete.
  const QDate day = shown.addDays(-1);
  const auto files = dvr_->recordings().Day(day.year(), day.month(), day.day());
  ASSERT_FALSE(files.empty());
  window_->calendar()->setSelectedDate(day);
  ASSERT_TRUE(
      ::shell::testing::PumpUntil([&] { return window_->file_list()->rows() == static_cast<int>(files.size()); }, 10s));
  const dvremu::RecordFile& file = *files.front();
  const auto row = window_->file_list()->Row(0);
  char time[32];
  const int end_s = file.end_in_hour_s();
  std::snprintf(time, sizeof time, "%02d:%02d:%02d/%02d:%02d:%02d", file.hour, file.start_minute, file.start_second,
                file.hour, end_s / 60, end_s % 60);
  EXPECT_EQ(row->time, time);
  EXPECT_EQ(row->file_index, std::to_string(file.index));

  // Selected: the DVR streams it, stopped, and the bar shows its part of the hour.
  window_->file_list()->SelectRow(0);
  Click(ControlId::kFileSelect);
  ASSERT_TRUE(::shell::testing::PumpUntil([&] { return window_->IsButtonEnabled(ControlId::kPlay); }, 15s));
  EXPECT_TRUE(window_->slider()->isEnabled());
  EXPECT_TRUE(HasLogLine("[EVENT] Record Stream Start"));
  const sessions::StatusBarSpan bar{116 + file.start_in_hour_s() * 688 / 3600, 116 + end_s * 688 / 3600};
  EXPECT_EQ(window_->status_bar()->span(), std::optional(bar));
  EXPECT_EQ(window_->latched(ControlId::kFastReverse), ControlId::kStop);

  // Play: pictures reach the grid and the slider follows the DVR's clock.
  Click(ControlId::kPlay);
  EXPECT_EQ(window_->latched(ControlId::kFastReverse), ControlId::kPlay);
  EXPECT_TRUE(Arrives(cmd::REQ_FORWARD_PLAYBACK, {0x0A, 0x01}));
  ASSERT_TRUE(::shell::testing::PumpUntil([&] { return PlayingPictures(); }, 15s));
  ASSERT_TRUE(::shell::testing::PumpUntil([&] { return window_->slider()->pos() > file.start_in_hour_s(); }, 15s));
  EXPECT_LE(window_->slider()->pos(), end_s);
  if (const char* shot = std::getenv("KAVIRO_SEARCH_SCREENSHOT")) SaveShot(shot);

  // Faster shows x2 in the speed picture.
  Click(ControlId::kSpeedUp);
  EXPECT_EQ(window_->speed_picture()->index(), 1);
  EXPECT_TRUE(Arrives(cmd::REQ_FORWARD_PLAYBACK, {0x0A, 0x02}));

  // A frame step.
  Click(ControlId::kFrameForward);
  EXPECT_EQ(window_->latched(ControlId::kFastReverse), ControlId::kFrameForward);
  EXPECT_EQ(window_->speed_picture()->index(), 0);
  EXPECT_TRUE(Arrives(cmd::REQ_TRICKMODE, {0x09}));

  // A jump needs normal play; the slider's seek is posted, not sent.
  Click(ControlId::kPlay);
  const int target = (file.start_in_hour_s() + end_s) / 2;
  CBitmapSlider* slider = window_->slider();
  const int x = 6 + target * (slider->width() - 12) / 3600;
  QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(x, 6));
  QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(x, 6));
  const int released_at = slider->pos();
  EXPECT_TRUE(Received(cmd::REQ_JUMPSTREAM).empty());
  ASSERT_TRUE(::shell::testing::PumpUntil([&] { return !Received(cmd::REQ_JUMPSTREAM).empty(); }, 10s));
  const int minute = released_at / 60;
  EXPECT_EQ(Received(cmd::REQ_JUMPSTREAM).front(),
            (std::vector<uint8_t>{0x10, static_cast<uint8_t>((minute / 10) << 4 | minute % 10)}));

  Click(ControlId::kStop);
  EXPECT_TRUE(Arrives(cmd::REQ_STOP_RECSTREAM, {0x08}));
  EXPECT_EQ(window_->latched(ControlId::kFastReverse), ControlId::kStop);

  // Disconnect: at once over the network, and the controls as at start.
  Click(ControlId::kDisconnect);
  ASSERT_TRUE(::shell::testing::PumpUntil([&] { return window_->panel() == LowerPanel::kConnect; }, 10s));
  EXPECT_TRUE(Arrives(cmd::REQ_STOP_RECSTREAM, {0x33}));
  EXPECT_FALSE(window_->IsButtonEnabled(ControlId::kPlay));
  EXPECT_FALSE(window_->slider()->isEnabled());
  EXPECT_FALSE(window_->IsButtonEnabled(CameraButton(0)));
  EXPECT_EQ(window_->status_bar()->span(), std::nullopt);
  EXPECT_EQ(window_->calendar()->bold_days(), 0u);
  EXPECT_EQ(window_->file_list()->rows(), 0);
  EXPECT_EQ(window_->connect_panel()->port_edit()->text(), "2000");
  EXPECT_TRUE(window_->connect_panel()->ip_edit()->text().isEmpty());
}

uint8_t Bcd(int value) { return static_cast<uint8_t>((value / 10) << 4 | value % 10); }

TEST_F(SearchEndToEndTest, TimeSelectOffersTheRowsMinutesAndAFileStillRecordingCannotBeSought) {
  ASSERT_NO_FATAL_FAILURE(LogOn());
  CRecordFileList* list = window_->file_list();

  // Today's last file is still being written: no time choice, and played
  // from its start the slider stays out of reach.
  list->SelectRow(list->rows() - 1);
  Click(ControlId::kTimeSelect);
  const auto refused = BoxWith("This function is not available for currently recording  !!!");
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->icon, BoxIcon::kWarning);
  Click(ControlId::kFileSelect);
  ASSERT_TRUE(::shell::testing::PumpUntil([&] { return window_->IsButtonEnabled(ControlId::kPlay); }, 15s));
  EXPECT_FALSE(window_->slider()->isEnabled());

  // A finished file of the day before: the minutes after its start, from
  // which the one chosen is where the DVR is asked to play.
  const QDate day = window_->calendar()->selectedDate().addDays(-1);
  const auto files = PickDay(day);
  int row = 0;
  // Two minutes or more: the first minute offered, with the start's second,
  // lies inside the file.
  while (row < static_cast<int>(files.size()) && files[row]->end_in_hour_s() / 60 < files[row]->start_minute + 2) {
    ++row;
  }
  ASSERT_LT(row, static_cast<int>(files.size()));
  const dvremu::RecordFile& file = *files[row];
  const int end_minute = file.end_in_hour_s() / 60;
  QStringList offered;
  window_->dialogs().SetDialogHook([&](QDialog& shown) {
    auto& dialog = dynamic_cast<CTimeToTimeDialog&>(shown);
    for (int i = 0; i < dialog.minutes()->count(); ++i) offered << dialog.minutes()->itemText(i);
    dialog.minutes()->setCurrentIndex(0);
    dialog.PressPlayback();
    return dialog.result();
  });
  list->SelectRow(row);
  dvr_->ClearReceivedCommands();
  Click(ControlId::kTimeSelect);
  QStringList expected;
  // The end minute only when the start's second still lies inside the file.
  const int last = file.start_second > file.end_in_hour_s() % 60 ? end_minute - 1 : end_minute;
  for (int minute = file.start_minute + 1; minute <= last; ++minute) expected << QString::asprintf("%02d", minute);
  EXPECT_EQ(offered, expected);
  EXPECT_TRUE(HasLogLine("[EVENT] Time to time Playback"));
  const uint32_t index = file.index;
  EXPECT_TRUE(Arrives(
      cmd::REQ_PLAYBACK,
      {0x1D, static_cast<uint8_t>(index), static_cast<uint8_t>(index >> 8), static_cast<uint8_t>(index >> 16),
       static_cast<uint8_t>(index >> 24), Bcd(day.month()), Bcd(day.day()), Bcd(day.year() % 100), Bcd(file.hour),
       Bcd(file.start_minute + 1), Bcd(file.start_second), Bcd(end_minute), Bcd(file.end_in_hour_s() % 60)}));
  ASSERT_TRUE(::shell::testing::PumpUntil([&] { return window_->slider()->isEnabled(); }, 15s));
  Click(ControlId::kDisconnect);
  ASSERT_TRUE(::shell::testing::PumpUntil([&] { return window_->panel() == LowerPanel::kConnect; }, 10s));
}

}  // namespace
}  // namespace shell
