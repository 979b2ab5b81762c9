#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cstdlib>

#include "client/shell/bitmap_slider.h"
#include "client/shell/event_log.h"
#include "client/shell/hover_button.h"
#include "client/shell/lower_panels.h"
#include "client/shell/main_window.h"
#include "client/shell/ptz_preset_panel.h"
#include "client/shell/screen_placement.h"
#include "client/shell/select_device_dialog.h"
#include "client/shell/shell_viewer.h"
#include "client/shell/splash_screen.h"
#include "client/shell/testing/shell_test_support.h"

namespace shell {
namespace {

class StubViewer : public IShellViewer {
 public:
  void Enter() override { ++entered; }
  void Leave() override { ++left; }
  void OnCommand(int id) override { commands.push_back(id); }
  void OnConnectRequest(const ConnectionRequest& request) override { requests.push_back(request); }
  void OnPtzPreset(int button, int action) override { presets.emplace_back(button, action); }
  void OnSliderSeek(int position) override { seeks.push_back(position); }
  std::vector<int> seeks;
  int entered = 0;
  int left = 0;
  std::vector<int> commands;
  std::vector<ConnectionRequest> requests;
  std::vector<std::pair<int, int>> presets;
};

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::App();
    window_ = std::make_unique<CMainWindow>();
    window_->SetViewer(ViewerMode::kRemoteLive, &live_);
    window_->show();
  }
  std::vector<QString> LogTexts() const {
    std::vector<QString> texts;
    for (const auto& line : window_->event_log()->Lines()) texts.push_back(line.text);
    return texts;
  }

  testing::ScratchRegistry registry_;
  StubViewer live_;
  std::unique_ptr<CMainWindow> window_;
};

TEST_F(MainWindowTest, StartsIdleWithTheWorkingControlsHidden) {
  EXPECT_EQ(window_->size(), QSize(1024, 768));
  EXPECT_EQ(window_->windowTitle(), "Kaviro");
  EXPECT_EQ(window_->mode(), ViewerMode::kIdle);
  EXPECT_EQ(window_->panel(), 5);
  EXPECT_FALSE(window_->event_log()->isVisible());
  EXPECT_FALSE(window_->button(1010)->isVisible());
  EXPECT_FALSE(window_->button(1040)->isVisible());
  EXPECT_FALSE(window_->connect_panel()->isVisible());
  EXPECT_EQ(window_->button(1000)->toolTip(), "Remote Live Viewer");
}

TEST_F(MainWindowTest, ModeSwitchLeavesExactlyTheModeNoticeAndAPressedButtonDoesNothing) {
  window_->OnCommand(1000);
  EXPECT_EQ(window_->mode(), ViewerMode::kRemoteLive);
  EXPECT_EQ(live_.entered, 1);
  EXPECT_EQ(LogTexts(), std::vector<QString>{"[NOTICE] Remote live view"});
  EXPECT_EQ(window_->event_log()->Lines()[0].colour, QColor(255, 255, 0));
  EXPECT_TRUE(window_->button(1000)->latched());
  EXPECT_TRUE(window_->connect_panel()->isVisible());
  EXPECT_EQ(window_->channel_panel()->view(), CChannelPanel::kPtzView);

  window_->AddEventLog(0xFFFFFF, "[EVENT] something");
  window_->OnCommand(1000);  // already pressed
  EXPECT_EQ(live_.entered, 1);
  EXPECT_EQ(LogTexts().size(), 2u);

  window_->OnCommand(1001);
  EXPECT_EQ(live_.left, 1);
  EXPECT_EQ(LogTexts(), std::vector<QString>{"[NOTICE] Remote search & playback"});
  EXPECT_FALSE(window_->button(1000)->latched());
  EXPECT_TRUE(window_->button(1001)->latched());
  EXPECT_EQ(window_->channel_panel()->view(), CChannelPanel::kLayoutView);
  EXPECT_FALSE(window_->channel_panel()->button(1098)->isEnabled());  // 16CH only in live
}

TEST_F(MainWindowTest, CloseReturnsToIdleAndCloseInIdleTurnsOff) {
  QSignalSpy off(window_.get(), &CMainWindow::TurnedOff);
  window_->OnCommand(1002);
  window_->OnCommand(1006);
  EXPECT_EQ(window_->mode(), ViewerMode::kIdle);
  EXPECT_TRUE(window_->event_log()->Lines().empty());
  EXPECT_EQ(window_->latched(1000), 0);
  EXPECT_EQ(off.count(), 0);
  window_->OnCommand(1006);
  EXPECT_EQ(off.count(), 1);
  window_->OnCommand(1007);
  EXPECT_EQ(off.count(), 2);
}

TEST_F(MainWindowTest, EscapeAndEnterNeverReachTheWindowOrItsChildren) {
  window_->OnCommand(1000);
  QLineEdit* ip = window_->connect_panel()->ip_edit();
  ip->setText("1.2.3.4");
  for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    EXPECT_TRUE(window_->eventFilter(ip, &press));
    EXPECT_TRUE(window_->eventFilter(window_.get(), &press));
  }
  QKeyEvent letter(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
  EXPECT_FALSE(window_->eventFilter(ip, &letter));
  EXPECT_TRUE(window_->isVisible());
  EXPECT_EQ(window_->mode(), ViewerMode::kRemoteLive);
}

TEST_F(MainWindowTest, DvrThreeAndFourStayHiddenUntilTheVideoCardIsCapable) {
  testing::BoxRecorder boxes(window_->dialogs());
  for (int mode_button : {1000, 1001, 1000}) {
    window_->OnCommand(mode_button);
    EXPECT_FALSE(window_->button(1042)->isVisible());
    EXPECT_FALSE(window_->button(1043)->isVisible());
  }
  EXPECT_TRUE(window_->button(1041)->isVisible());
  window_->OnVideoCardAnalysis(0);
  ASSERT_EQ(boxes.count(), 1u);
  EXPECT_EQ(boxes.boxes()[0].icon, BoxIcon::kInformation);
  EXPECT_FALSE(window_->button(1043)->isVisible());
  window_->OnVideoCardAnalysis(1);
  EXPECT_TRUE(window_->button(1042)->isVisible());
  EXPECT_TRUE(window_->button(1043)->isVisible());
  window_->OnCommand(1001);  // search shows DVR 1 only
  EXPECT_FALSE(window_->button(1041)->isVisible());
}

TEST_F(MainWindowTest, RemovableModeCancelledEndsInIdleAndItsPositionEventsSkipTheEnds) {
  StubViewer removable;
  window_->dialogs().SetDialogHook([](QWidget& dialog) {
    return dialog.windowTitle() == "Select removable device" ? int(QDialog::Rejected) : 0;
  });
  window_->OnCommand(1003);
  EXPECT_EQ(window_->mode(), ViewerMode::kIdle);
  EXPECT_EQ(window_->latched(1000), 0);

  window_->SetViewer(ViewerMode::kRemovablePlayer, &removable);
  window_->dialogs().SetDialogHook([](QWidget&) { return CSelectDeviceDialog::kHardDisk; });
  window_->OnCommand(1003);
  ASSERT_EQ(window_->mode(), ViewerMode::kRemovablePlayer);
  EXPECT_EQ(removable.entered, 1);
  window_->OnRemovablePosition(1200);
  EXPECT_EQ(window_->slider()->pos(), 1200);
  for (int position : {0, 3600, 5000, -4}) {
    window_->OnRemovablePosition(position);
    EXPECT_EQ(window_->slider()->pos(), 1200);
  }
}

TEST_F(MainWindowTest, SliderSeeksGoToTheSearchViewerOnly) {
  StubViewer search;
  window_->SetViewer(ViewerMode::kRemoteSearch, &search);
  window_->OnCommand(1001);
  window_->SetSliderPos(900);
  EXPECT_EQ(window_->slider()->pos(), 900);
  emit window_->slider()->Seek(1186, 1800);
  window_->OnCommand(1000);
  emit window_->slider()->Seek(1186, 2400);  // live mode has no position
  EXPECT_EQ(search.seeks, std::vector<int>{1800});
  EXPECT_TRUE(live_.seeks.empty());
}

TEST_F(MainWindowTest, CommandsReachTheViewerFirstAndGroupsLatchLikeRadios) {
  window_->OnCommand(1000);
  window_->OnCommand(1104);  // to the layout view
  window_->OnCommand(1096);
  window_->OnCommand(1097);
  EXPECT_EQ(window_->latched(1095), 1097);
  EXPECT_FALSE(window_->channel_panel()->button(1096)->latched());
  window_->OnCommand(110);  // a camera button presses 1CH
  EXPECT_EQ(window_->latched(1095), 1095);
  EXPECT_EQ(live_.commands, (std::vector<int>{1104, 1096, 1097, 110}));
}

TEST_F(MainWindowTest, SetupAndAboutRunTheirDialogs) {
  std::vector<QString> titles;
  window_->dialogs().SetDialogHook([&](QWidget& dialog) {
    titles.push_back(dialog.windowTitle());
    if (auto* version = dialog.findChild<QLabel*>("version")) titles.push_back(version->text());
    return int(QDialog::Rejected);
  });
  window_->OnCommand(1000);
  window_->OnCommand(1010);
  window_->OnCommand(1004);
  ASSERT_EQ(titles.size(), 3u);
  EXPECT_EQ(titles[0], "Kaviro - Setup");
  EXPECT_EQ(titles[1], "About for Kaviro");
  EXPECT_TRUE(titles[2].startsWith("Ver. 1.0.0.0 ("));
  EXPECT_EQ(LogTexts().back(), "[EVENT] Application Setup");
}

TEST_F(MainWindowTest, PresetMessagesReachTheLiveViewerOnlyInLiveMode) {
  window_->ptz_preset_panel()->preset_list()->setCurrentIndex(3);
  window_->ptz_preset_panel()->OnPresetSetting();
  EXPECT_TRUE(live_.presets.empty());
  window_->OnCommand(1000);
  window_->ptz_preset_panel()->OnPresetSetting();
  window_->ptz_preset_panel()->OnPreset(1233);
  ASSERT_EQ(live_.presets.size(), 2u);
  EXPECT_EQ(live_.presets[0], std::make_pair(1231, 18));
  EXPECT_EQ(live_.presets[1], std::make_pair(1233, 20));
  EXPECT_EQ(window_->ptz_preset_panel()->latched_button(), 1233);
}

TEST_F(MainWindowTest, PanelSelectorsShowOnePanelAndTheLogonPromptStartsEmpty) {
  window_->OnCommand(1000);
  window_->logon_prompt()->user_edit()->setText("old");
  window_->SetPanel(2);
  EXPECT_TRUE(window_->logon_prompt()->isVisible());
  EXPECT_FALSE(window_->connect_panel()->isVisible());
  EXPECT_TRUE(window_->logon_prompt()->user_edit()->text().isEmpty());
  window_->SetPanel(3);
  EXPECT_TRUE(window_->dvr_panel()->isVisible());
  EXPECT_TRUE(window_->dvr_panel()->button(1067)->isVisible());
  EXPECT_TRUE(window_->button(1088)->isVisible());
  EXPECT_EQ(window_->button(1088)->pos(), QPoint(761, 545));
  window_->SetPanel(5);
  EXPECT_FALSE(window_->dvr_panel()->isVisible());
  EXPECT_FALSE(window_->logon_prompt()->isVisible());
}

TEST_F(MainWindowTest, EventLogLinesFromOtherThreadsArriveInOrder) {
  window_->OnCommand(1000);
  std::atomic<bool> done{false};
  std::thread worker([&] {
    window_->AddEventLog(0x0000FF, "[ALERT] first");
    window_->AddEventLog(0xFFFFFF, "[EVENT] second");
    done = true;
  });
  ASSERT_TRUE(testing::PumpUntil([&] { return done.load(); }));
  worker.join();
  const auto texts = LogTexts();
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[1], "[ALERT] first");
  EXPECT_EQ(texts[2], "[EVENT] second");
}

TEST_F(MainWindowTest, OpensInsideAScreenTooSmallForItAndDragsOnlyWhereItCanBeTakenAgain) {
  // The offscreen screen (800 x 800) is narrower than the window, as a
  // 1024 x 768 screen is at a scale factor above 1.
  const QRect area = window_->screen()->availableGeometry();
  ASSERT_LT(area.width(), window_->width());
  ASSERT_GE(area.height(), window_->height());
  auto centre_offset = [&](const QWidget& window) { return window.frameGeometry().center() - area.center(); };
  CentreOnItsScreen(*window_);
  EXPECT_EQ(window_->x(), area.left());  // its title strip and buttons in reach
  EXPECT_LE(std::abs(centre_offset(*window_).y()), 1);

  // A window that fits sits in the middle.
  QWidget small;
  small.setFixedSize(400, 300);
  small.show();
  CentreOnItsScreen(small);
  EXPECT_LE(centre_offset(small).manhattanLength(), 2);

  // Dragged by its title strip: down and right freely, never above the top.
  auto drag = [&](QPoint from, QPoint to) {
    const QPoint local = from - window_->pos();
    QMouseEvent press(QEvent::MouseButtonPress, local, from, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window_.get(), &press);
    QMouseEvent move(QEvent::MouseMove, to - window_->pos(), to, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window_.get(), &move);
    QMouseEvent release(QEvent::MouseButtonRelease, to - window_->pos(), to, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(window_.get(), &release);
  };
  const QPoint start = window_->pos();
  drag(start + QPoint(300, 20), start + QPoint(340, 70));
  EXPECT_EQ(window_->pos(), start + QPoint(40, 50));
  drag(window_->pos() + QPoint(300, 20), window_->pos() + QPoint(300, -400));
  EXPECT_EQ(window_->y(), area.top());
}

TEST_F(MainWindowTest, SplashEndsAtTheFirstKeyOrClick) {
  CSplashScreen splash;
  splash.Start();
  EXPECT_TRUE(splash.isVisible());
  QKeyEvent key(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
  QApplication::sendEvent(window_.get(), &key);
  EXPECT_TRUE(splash.finished());
  EXPECT_FALSE(splash.isVisible());
}

}  // namespace
}  // namespace shell
