#include <QCheckBox>
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
#include "client/shell/setup_dialog.h"
#include "client/shell/shell_viewer.h"
#include "client/shell/splash_screen.h"
#include "client/shell/testing/shell_test_support.h"

namespace shell {
namespace {

class StubViewer : public IShellViewer {
 public:
  explicit StubViewer(ModeView declared) : view(declared) {}
  ModeView View() const override { return view; }
  void Enter() override { ++entered; }
  void Leave() override { ++left; }
  void OnCommand(ControlId id) override { commands.push_back(id); }
  void OnConnectRequest(const ConnectionRequest& request) override { requests.push_back(request); }
  void OnPtzPreset(int button, int action) override { presets.emplace_back(button, action); }
  void OnSliderSeek(int position) override { seeks.push_back(position); }
  ModeView view;
  std::vector<int> seeks;
  int entered = 0;
  int left = 0;
  std::vector<ControlId> commands;
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
  StubViewer live_{kLiveView};
  std::unique_ptr<CMainWindow> window_;
};

TEST_F(MainWindowTest, StartsIdleWithTheWorkingControlsHidden) {
  EXPECT_EQ(window_->size(), QSize(1024, 768));
  EXPECT_EQ(window_->windowTitle(), "Kaviro");
  EXPECT_EQ(window_->mode(), ViewerMode::kIdle);
  EXPECT_EQ(window_->panel(), LowerPanel::kNone);
  EXPECT_FALSE(window_->event_log()->isVisible());
  EXPECT_FALSE(window_->button(ControlId::kSetup)->isVisible());
  EXPECT_FALSE(window_->button(ControlId::kDvr1)->isVisible());
  EXPECT_FALSE(window_->connect_panel()->isVisible());
  EXPECT_EQ(window_->button(ControlId::kLiveMode)->toolTip(), "Remote Live Viewer");
}

TEST_F(MainWindowTest, ModeSwitchLeavesExactlyTheModeNoticeAndAPressedButtonDoesNothing) {
  window_->OnCommand(ControlId::kLiveMode);
  EXPECT_EQ(window_->mode(), ViewerMode::kRemoteLive);
  EXPECT_EQ(live_.entered, 1);
  EXPECT_EQ(LogTexts(), std::vector<QString>{"[NOTICE] Remote live view"});
  EXPECT_EQ(window_->event_log()->Lines()[0].colour, QColor(255, 255, 0));
  EXPECT_TRUE(window_->button(ControlId::kLiveMode)->latched());
  EXPECT_TRUE(window_->connect_panel()->isVisible());
  EXPECT_EQ(window_->channel_panel()->view(), CChannelPanel::kPtzView);

  window_->AddEventLog(0xFFFFFF, "[EVENT] something");
  window_->OnCommand(ControlId::kLiveMode);  // already pressed
  EXPECT_EQ(live_.entered, 1);
  EXPECT_EQ(LogTexts().size(), 2u);

  window_->OnCommand(ControlId::kSearchMode);
  EXPECT_EQ(live_.left, 1);
  EXPECT_EQ(LogTexts(), std::vector<QString>{"[NOTICE] Remote search & playback"});
  EXPECT_FALSE(window_->button(ControlId::kLiveMode)->latched());
  EXPECT_TRUE(window_->button(ControlId::kSearchMode)->latched());
  EXPECT_EQ(window_->channel_panel()->view(), CChannelPanel::kLayoutView);
  EXPECT_FALSE(window_->channel_panel()->button(ControlId::kLayout16Ch)->isEnabled());  // 16CH only in live
}

TEST_F(MainWindowTest, CloseReturnsToIdleAndCloseInIdleTurnsOff) {
  QSignalSpy off(window_.get(), &CMainWindow::TurnedOff);
  window_->OnCommand(ControlId::kLocalMode);
  window_->OnCommand(ControlId::kClose);
  EXPECT_EQ(window_->mode(), ViewerMode::kIdle);
  EXPECT_TRUE(window_->event_log()->Lines().empty());
  EXPECT_FALSE(window_->latched(ControlId::kLiveMode));
  EXPECT_EQ(off.count(), 0);
  window_->OnCommand(ControlId::kClose);
  EXPECT_EQ(off.count(), 1);
  window_->OnCommand(ControlId::kTurnOff);
  EXPECT_EQ(off.count(), 2);
}

TEST_F(MainWindowTest, EscapeAndEnterNeverReachTheWindowOrItsChildren) {
  window_->OnCommand(ControlId::kLiveMode);
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
  for (ControlId mode_button : {ControlId::kLiveMode, ControlId::kSearchMode, ControlId::kLiveMode}) {
    window_->OnCommand(mode_button);
    EXPECT_FALSE(window_->button(DvrButton(2))->isVisible());
    EXPECT_FALSE(window_->button(ControlId::kDvr4)->isVisible());
  }
  EXPECT_TRUE(window_->button(DvrButton(1))->isVisible());
  window_->OnVideoCardAnalysis(0);
  ASSERT_EQ(boxes.count(), 1u);
  EXPECT_EQ(boxes.boxes()[0].icon, BoxIcon::kInformation);
  EXPECT_FALSE(window_->button(ControlId::kDvr4)->isVisible());
  window_->OnVideoCardAnalysis(1);
  EXPECT_TRUE(window_->button(DvrButton(2))->isVisible());
  EXPECT_TRUE(window_->button(ControlId::kDvr4)->isVisible());
  window_->OnCommand(ControlId::kSearchMode);  // search shows DVR 1 only
  EXPECT_FALSE(window_->button(DvrButton(1))->isVisible());
}

TEST_F(MainWindowTest, RemovableModeCancelledEndsInIdleAndItsPositionEventsSkipTheEnds) {
  StubViewer removable{kRemovablePlayerView};
  window_->dialogs().SetDialogHook(
      [](QWidget& dialog) { return dialog.windowTitle() == "Select removable device" ? int(QDialog::Rejected) : 0; });
  window_->OnCommand(ControlId::kRemovableMode);
  EXPECT_EQ(window_->mode(), ViewerMode::kIdle);
  EXPECT_FALSE(window_->latched(ControlId::kLiveMode));

  window_->SetViewer(ViewerMode::kRemovablePlayer, &removable);
  window_->dialogs().SetDialogHook([](QWidget&) { return CSelectDeviceDialog::kHardDisk; });
  window_->OnCommand(ControlId::kRemovableMode);
  ASSERT_EQ(window_->mode(), ViewerMode::kRemovablePlayer);
  EXPECT_EQ(removable.entered, 1);
  window_->OnRemovablePosition(1200);
  EXPECT_EQ(window_->slider()->pos(), 1200);
  for (int position : {0, 3600, 5000, -4}) {
    window_->OnRemovablePosition(position);
    EXPECT_EQ(window_->slider()->pos(), 1200);
  }
}

TEST_F(MainWindowTest, ThePlayerModesShowTheFilePanelWithTheirOwnButtons) {
  window_->dialogs().SetDialogHook([](QWidget&) { return CSelectDeviceDialog::kHardDisk; });
  StubViewer removable{kRemovablePlayerView};
  window_->SetViewer(ViewerMode::kRemovablePlayer, &removable);
  struct Expected {
    ControlId mode_button;
    bool time_select;
  };
  for (const Expected& expected : {Expected{ControlId::kLocalMode, false}, Expected{ControlId::kRemovableMode, true}}) {
    SCOPED_TRACE(ToInt(expected.mode_button));
    window_->OnCommand(expected.mode_button);
    EXPECT_EQ(window_->panel(), LowerPanel::kFile);
    EXPECT_FALSE(window_->connect_panel()->isVisible());
    EXPECT_TRUE(window_->button(ControlId::kFileSelect)->isVisible());
    EXPECT_EQ(window_->button(ControlId::kTimeSelect)->isVisible(), expected.time_select);
    EXPECT_FALSE(window_->button(ControlId::kDownload)->isVisible());
    EXPECT_TRUE(window_->button(ControlId::kRecord)->isVisible());
    EXPECT_EQ(window_->button(ControlId::kRecord)->pos(), QPoint(652, 573));
    EXPECT_TRUE(window_->button(ControlId::kPlay)->isVisible());
    EXPECT_TRUE(window_->slider()->isVisible());
    EXPECT_FALSE(window_->button(DvrButton(0))->isVisible());
    EXPECT_EQ(window_->channel_panel()->view(), CChannelPanel::kLayoutView);
    EXPECT_TRUE(window_->button(CameraButton(15))->isVisible());
  }
}

TEST_F(MainWindowTest, AViewerDeclaresWhatItsModeShowsAndWhichRequestsReachIt) {
  ModeView declared = kLocalPlayerView;
  declared.panel = LowerPanel::kConnect;
  declared.dvr_buttons = 2;
  declared.connect_requests = true;
  declared.slider_seeks = true;
  StubViewer local{declared};
  window_->SetViewer(ViewerMode::kLocalPlayer, &local);
  window_->OnCommand(ControlId::kLocalMode);
  EXPECT_EQ(local.entered, 1);
  EXPECT_EQ(LogTexts(), std::vector<QString>{"[NOTICE] Local Mpeg player"});
  EXPECT_TRUE(window_->connect_panel()->isVisible());
  EXPECT_TRUE(window_->button(DvrButton(1))->isVisible());
  EXPECT_FALSE(window_->button(DvrButton(2))->isVisible());  // no capable video card yet
  window_->connect_panel()->ip_edit()->setText("10.0.0.7");
  window_->connect_panel()->ethernet_connect()->click();
  emit window_->slider()->Seek(ToInt(ControlId::kPositionSlider), 700);
  EXPECT_EQ(local.requests.size(), 1u);
  EXPECT_EQ(local.seeks, std::vector<int>{700});

  // Without its viewer the mode falls back to the built-in declaration.
  window_->OnCommand(ControlId::kClose);
  window_->SetViewer(ViewerMode::kLocalPlayer, nullptr);
  window_->OnCommand(ControlId::kLocalMode);
  EXPECT_EQ(window_->panel(), LowerPanel::kFile);
  EXPECT_FALSE(window_->button(DvrButton(1))->isVisible());
}

TEST(ControlIdTest, CameraAndDvrButtonsMapToTheirCellsAndSlotsOnly) {
  EXPECT_EQ(CameraButton(0), ControlId::kCamera1);
  EXPECT_EQ(CameraButton(15), ControlId::kCamera16);
  EXPECT_EQ(CellOfCamera(CameraButton(9)), 9);
  EXPECT_EQ(SlotOfDvrButton(DvrButton(3)), 3);
  for (ControlId outside : {static_cast<ControlId>(105), static_cast<ControlId>(122), ControlId::kLiveMode}) {
    EXPECT_FALSE(CellOfCamera(outside));
  }
  for (ControlId outside : {static_cast<ControlId>(1039), static_cast<ControlId>(1044), ControlId::kCamera1}) {
    EXPECT_FALSE(SlotOfDvrButton(outside));
  }
}

TEST_F(MainWindowTest, SliderSeeksGoToTheSearchViewerOnly) {
  StubViewer search{kSearchView};
  window_->SetViewer(ViewerMode::kRemoteSearch, &search);
  window_->OnCommand(ControlId::kSearchMode);
  window_->SetSliderPos(900);
  EXPECT_EQ(window_->slider()->pos(), 900);
  emit window_->slider()->Seek(1186, 1800);
  window_->OnCommand(ControlId::kLiveMode);
  emit window_->slider()->Seek(1186, 2400);  // live mode has no position
  EXPECT_EQ(search.seeks, std::vector<int>{1800});
  EXPECT_TRUE(live_.seeks.empty());
}

TEST_F(MainWindowTest, CommandsReachTheViewerFirstAndGroupsLatchLikeRadios) {
  window_->OnCommand(ControlId::kLiveMode);
  window_->OnCommand(ControlId::kChannels);  // to the layout view
  window_->OnCommand(ControlId::kLayout4Ch);
  window_->OnCommand(ControlId::kLayout8Ch);
  EXPECT_EQ(window_->latched(ControlId::kLayout1Ch), ControlId::kLayout8Ch);
  EXPECT_FALSE(window_->channel_panel()->button(ControlId::kLayout4Ch)->latched());
  window_->OnCommand(CameraButton(4));  // a camera button presses 1CH
  EXPECT_EQ(window_->latched(ControlId::kLayout1Ch), ControlId::kLayout1Ch);
  EXPECT_EQ(live_.commands, (std::vector<ControlId>{ControlId::kChannels, ControlId::kLayout4Ch, ControlId::kLayout8Ch,
                                                    CameraButton(4)}));
}

TEST_F(MainWindowTest, SetupAndAboutRunTheirDialogs) {
  std::vector<QString> titles;
  window_->dialogs().SetDialogHook([&](QWidget& dialog) {
    titles.push_back(dialog.windowTitle());
    if (auto* version = dialog.findChild<QLabel*>("version")) titles.push_back(version->text());
    return int(QDialog::Rejected);
  });
  window_->OnCommand(ControlId::kLiveMode);
  window_->OnCommand(ControlId::kSetup);
  window_->OnCommand(ControlId::kHelp);
  ASSERT_EQ(titles.size(), 3u);
  EXPECT_EQ(titles[0], "Kaviro - Setup");
  EXPECT_EQ(titles[1], "About for Kaviro");
  EXPECT_TRUE(titles[2].startsWith("Ver. 1.0.0.0 ("));
  EXPECT_EQ(LogTexts().back(), "[EVENT] Application Setup");
}

TEST_F(MainWindowTest, TheLogFollowsTheSetupChoiceOfTimesAtOnce) {
  window_->OnCommand(ControlId::kLiveMode);
  ASSERT_FALSE(window_->event_log()->Lines().front().time.isEmpty());
  window_->dialogs().SetDialogHook([](QDialog& dialog) {
    auto* setup = dynamic_cast<CSetupDialog*>(&dialog);
    if (setup == nullptr) return int(QDialog::Rejected);
    setup->log_times_check()->setChecked(false);
    setup->OnOk();
    return int(QDialog::Accepted);
  });
  window_->OnCommand(ControlId::kSetup);
  for (const auto& line : window_->event_log()->Lines()) EXPECT_TRUE(line.time.isEmpty()) << line.text.toStdString();
  EXPECT_EQ(LogTexts().back(), "[EVENT] Application Setup");
}

TEST_F(MainWindowTest, PresetMessagesReachTheLiveViewerOnlyInLiveMode) {
  window_->ptz_preset_panel()->preset_list()->setCurrentIndex(3);
  window_->ptz_preset_panel()->OnPresetSetting();
  EXPECT_TRUE(live_.presets.empty());
  window_->OnCommand(ControlId::kLiveMode);
  window_->ptz_preset_panel()->OnPresetSetting();
  window_->ptz_preset_panel()->OnPreset(1233);
  ASSERT_EQ(live_.presets.size(), 2u);
  EXPECT_EQ(live_.presets[0], std::make_pair(1231, 18));
  EXPECT_EQ(live_.presets[1], std::make_pair(1233, 20));
  EXPECT_EQ(window_->ptz_preset_panel()->latched_button(), 1233);
  // The buttons sit in the columns of the panel's picture, not on a grid.
  const QPoint places[] = {{19, 14}, {55, 14}, {89, 14}, {123, 14}, {19, 47}, {55, 47}, {89, 47}, {123, 47}};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(window_->ptz_preset_panel()->preset_button(i)->pos(), places[i]) << i;
  EXPECT_EQ(window_->ptz_preset_panel()->preset_list()->geometry(), QRect(22, 83, 130, 20));
}

TEST_F(MainWindowTest, PanelSelectorsShowOnePanelAndTheLogonPromptStartsEmpty) {
  window_->OnCommand(ControlId::kLiveMode);
  window_->logon_prompt()->user_edit()->setText("old");
  window_->SetPanel(LowerPanel::kLogonPrompt);
  EXPECT_TRUE(window_->logon_prompt()->isVisible());
  EXPECT_FALSE(window_->connect_panel()->isVisible());
  EXPECT_TRUE(window_->logon_prompt()->user_edit()->text().isEmpty());
  window_->SetPanel(LowerPanel::kDvr);
  EXPECT_TRUE(window_->dvr_panel()->isVisible());
  EXPECT_TRUE(window_->dvr_panel()->button(ControlId::kDisconnect)->isVisible());
  EXPECT_TRUE(window_->button(ControlId::kRecord)->isVisible());
  EXPECT_EQ(window_->button(ControlId::kRecord)->pos(), QPoint(761, 545));
  window_->SetPanel(LowerPanel::kNone);
  EXPECT_FALSE(window_->dvr_panel()->isVisible());
  EXPECT_FALSE(window_->logon_prompt()->isVisible());
}

TEST_F(MainWindowTest, EventLogLinesFromOtherThreadsArriveInOrder) {
  window_->OnCommand(ControlId::kLiveMode);
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
  if (area.width() >= window_->width()) GTEST_SKIP() << "the screen is wide enough for the window";
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
