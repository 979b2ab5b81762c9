// The search mode's side of the window, through the interface the search
// viewer and its session use: the panels by connection state, the calendar,
// the file list, the status bar, the playback and channel buttons.
#include <QImage>
#include <QLineEdit>
#include <QTextCharFormat>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "client/shell/bitmap_slider.h"
#include "client/shell/connect_panel.h"
#include "client/shell/hover_button.h"
#include "client/shell/lower_panels.h"
#include "client/shell/main_window.h"
#include "client/shell/search_widgets.h"
#include "client/shell/shell_search_ui.h"
#include "client/shell/shell_viewer.h"
#include "client/shell/testing/shell_test_support.h"

namespace shell {
namespace {

using sessions::ConnectionState;

class RecordingViewer : public IShellViewer {
 public:
  ModeView View() const override { return kSearchView; }
  void Enter() override {}
  void Leave() override {}
  void OnCommand(ControlId id) override { commands.push_back(id); }
  bool HoldsPlaybackGroup() const override { return recording; }
  bool recording = false;
  std::vector<ControlId> commands;
};

class SearchWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::App();
    window_ = std::make_unique<CMainWindow>();
    window_->SetViewer(ViewerMode::kRemoteSearch, &viewer_);
    window_->show();
    window_->OnCommand(ControlId::kSearchMode);
    ui_ = std::make_unique<CShellSearchUi>(*window_);
  }
  // Calls the interface from a worker, as the session's replies may.
  void FromWorker(const std::function<void()>& call) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
      call();
      done = true;
    });
    EXPECT_TRUE(testing::PumpUntil([&] { return done.load(); }, std::chrono::seconds(30)));
    worker.join();
  }
  bool Bold(int year, int month, int day) const {
    return window_->calendar()->dateTextFormat(QDate(year, month, day)).fontWeight() > QFont::Normal;
  }

  testing::ScratchRegistry registry_;
  RecordingViewer viewer_;
  std::unique_ptr<CMainWindow> window_;
  std::unique_ptr<CShellSearchUi> ui_;
};

TEST_F(SearchWindowTest, TheLowerAreaFollowsTheSearchConnection) {
  EXPECT_EQ(window_->panel(), LowerPanel::kConnect);
  EXPECT_TRUE(window_->button(DvrButton(0))->isVisible());
  EXPECT_FALSE(window_->button(DvrButton(1))->isVisible());
  EXPECT_TRUE(window_->slider()->isVisible());
  EXPECT_TRUE(window_->speed_picture()->isVisible());

  FromWorker([this] { ui_->ReportConnectionState(0, ConnectionState::kAwaitingLogon); });
  EXPECT_EQ(window_->panel(), LowerPanel::kLogonPrompt);

  // Logged on: the calendar, the list, the file actions and the remote buttons.
  FromWorker([this] { ui_->ReportConnectionState(0, ConnectionState::kSearchLoggedOn); });
  EXPECT_EQ(window_->panel(), LowerPanel::kFile);
  for (QWidget* shown : std::initializer_list<QWidget*>{
           window_->calendar(), window_->file_list(), window_->button(ControlId::kFileSelect),
           window_->button(ControlId::kTimeSelect), window_->button(ControlId::kDownload),
           window_->button(ControlId::kDisconnect), window_->button(ControlId::kLight)}) {
    EXPECT_TRUE(shown->isVisible()) << shown->objectName().toStdString();
  }
  EXPECT_EQ(window_->button(ControlId::kDisconnect)->mapTo(window_.get(), QPoint(0, 0)), QPoint(732, 616));
  EXPECT_EQ(window_->calendar()->mapTo(window_.get(), QPoint(0, 0)), QPoint(124, 612));
  EXPECT_EQ(window_->file_list()->mapTo(window_.get(), QPoint(0, 0)), QPoint(333, 612));

  // Disconnected: the connect panel with its fields afresh.
  window_->connect_panel()->ip_edit()->setText("10.1.1.1");
  window_->connect_panel()->port_edit()->setText("4000");
  FromWorker([this] { ui_->ResetConnectionControls(); });
  FromWorker([this] { ui_->ReportConnectionState(0, ConnectionState::kIdle); });
  EXPECT_EQ(window_->panel(), LowerPanel::kConnect);
  EXPECT_TRUE(window_->connect_panel()->ip_edit()->text().isEmpty());
  EXPECT_EQ(window_->connect_panel()->port_edit()->text(), "2000");

  // The live mode's panels are not the search session's to change.
  window_->OnCommand(ControlId::kLiveMode);
  ui_->ReportConnectionState(0, ConnectionState::kSearchLoggedOn);
  EXPECT_EQ(window_->panel(), LowerPanel::kConnect);
}

TEST_F(SearchWindowTest, TheCalendarMarksTheDaysOfTheMonthShownOnly) {
  window_->calendar()->setSelectedDate(QDate(2026, 11, 15));
  FromWorker([this] { ui_->SetBoldDays(0b101); });
  EXPECT_TRUE(Bold(2026, 11, 1));
  EXPECT_FALSE(Bold(2026, 11, 2));
  EXPECT_TRUE(Bold(2026, 11, 3));
  EXPECT_EQ(ui_->CalendarCurrentDate(), (sessions::CalendarDate{2026, 11, 15}));

  // Bits past the last day of a 30-day month mark nothing in the next one.
  ui_->SetBoldDays(0xFFFFFFFF);
  EXPECT_TRUE(Bold(2026, 11, 30));
  EXPECT_FALSE(Bold(2026, 12, 1));
  ui_->ClearBoldDays();
  EXPECT_FALSE(Bold(2026, 11, 1));

  // Turning the page selects the same day there, which the viewer hears of.
  viewer_.commands.clear();
  window_->calendar()->showNextMonth();
  EXPECT_EQ(window_->calendar()->selectedDate(), QDate(2026, 12, 15));
  EXPECT_EQ(viewer_.commands, std::vector<ControlId>{ControlId::kMonthCalendar});
}

TEST_F(SearchWindowTest, TheFileListShowsItsFourColumnsInWhiteOnBlack) {
  CRecordFileList* list = window_->file_list();
  ASSERT_EQ(list->columnCount(), 4);
  EXPECT_EQ(list->headerItem()->text(0), "Time-Time");
  EXPECT_EQ(list->headerItem()->text(1), "Event");
  EXPECT_EQ(list->headerItem()->text(2), "File Size");
  EXPECT_EQ(list->headerItem()->text(3), "File Index");
  FromWorker([this] {
    ui_->SetFileListRows({{"10:15:00/10:20:00", "CMS_", "12MB", "42"}, {"10:20:00/Recording", "C___", "3MB", "43"}});
  });
  ASSERT_EQ(list->rows(), 2);
  EXPECT_EQ(list->Row(1)->time, "10:20:00/Recording");
  EXPECT_EQ(ui_->SelectedFileRow(), std::nullopt);
  list->SelectRow(1);
  EXPECT_EQ(ui_->SelectedFileRow(), std::optional<int>(1));
  const QImage shot = list->grab().toImage();
  EXPECT_EQ(shot.pixelColor(list->viewport()->geometry().bottomLeft() - QPoint(-5, 5)), QColor(Qt::black));
  ui_->ClearFileList();
  EXPECT_EQ(list->rows(), 0);
}

TEST_F(SearchWindowTest, TheStatusBarDrawsTheFilesPartOfTheHourUnderTheSlider) {
  const QColor background = window_->grab().toImage().pixelColor(300, 564);
  // 10:15:00 to 10:20:00.
  FromWorker([this] { ui_->ShowStatusBar(sessions::StatusBarSpan{288, 345}); });
  QImage shot = window_->grab().toImage();
  const QColor bar = shot.pixelColor(288, 562);
  EXPECT_NE(bar, background);
  for (int y = 562; y < 567; ++y) {
    EXPECT_EQ(shot.pixelColor(288, y), bar) << y;
    EXPECT_EQ(shot.pixelColor(345, y), bar) << y;
  }
  EXPECT_NE(shot.pixelColor(287, 564), bar);
  EXPECT_NE(shot.pixelColor(346, 564), bar);
  EXPECT_NE(shot.pixelColor(316, 561), bar);
  EXPECT_NE(shot.pixelColor(316, 567), bar);
  ui_->ShowStatusBar(std::nullopt);
  shot = window_->grab().toImage();
  EXPECT_NE(shot.pixelColor(316, 564), bar);
}

TEST_F(SearchWindowTest, PlaybackAndChannelButtonsShowWhatTheViewerSays) {
  FromWorker([this] {
    ui_->EnablePlaybackButtons(true);
    ui_->EnableChannelButtons(4);
    ui_->EnablePlaybackPosition(true);
    ui_->SetPlaybackPosition(925);
    ui_->ShowPlaybackDirection(sessions::PlaybackDirection::kForward);
    ui_->ShowPlaybackSpeed(3);
    ui_->ShowSelectedView(sessions::kViewQuad5to8);
  });
  EXPECT_TRUE(window_->button(ControlId::kPlay)->isEnabled());
  EXPECT_TRUE(window_->button(ControlId::kSpeedUp)->isEnabled());
  EXPECT_TRUE(window_->button(CameraButton(3))->isEnabled());
  EXPECT_FALSE(window_->button(CameraButton(4))->isEnabled());
  EXPECT_TRUE(window_->button(ControlId::kLayout4Ch)->isEnabled());
  EXPECT_FALSE(window_->button(ControlId::kLayout16Ch)->isEnabled());
  EXPECT_TRUE(window_->slider()->isEnabled());
  EXPECT_EQ(window_->slider()->pos(), 925);
  EXPECT_EQ(window_->latched(ControlId::kFastReverse), ControlId::kPlay);
  EXPECT_EQ(window_->speed_picture()->index(), 3);
  EXPECT_EQ(window_->latched(ControlId::kLayout1Ch), ControlId::kLayout4Ch);

  // While the viewer records, a click reaches it but the group stays as shown.
  viewer_.recording = true;
  window_->OnCommand(ControlId::kReversePlay);
  EXPECT_EQ(window_->latched(ControlId::kFastReverse), ControlId::kPlay);
  EXPECT_EQ(viewer_.commands.back(), ControlId::kReversePlay);
  viewer_.recording = false;
  window_->OnCommand(ControlId::kStop);
  EXPECT_EQ(window_->latched(ControlId::kFastReverse), ControlId::kStop);

  ui_->EnablePlaybackButtons(false);
  ui_->EnableChannelButtons(0);
  EXPECT_FALSE(window_->button(ControlId::kRecord)->isEnabled());
  EXPECT_FALSE(window_->button(CameraButton(0))->isEnabled());
  EXPECT_FALSE(window_->button(ControlId::kLayout8Ch)->isEnabled());
}

}  // namespace
}  // namespace shell
