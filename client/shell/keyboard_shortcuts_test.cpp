#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "client/shell/bitmap_slider.h"
#include "client/shell/connect_panel.h"
#include "client/shell/hover_button.h"
#include "client/shell/keyboard_shortcuts.h"
#include "client/shell/lower_panels.h"
#include "client/shell/main_window.h"
#include "client/shell/shell_viewer.h"
#include "client/shell/shortcuts_page.h"
#include "client/shell/testing/shell_test_support.h"

namespace shell {
namespace {

using enum ControlId;

// Records what reaches the viewer, in order: commands and holds alike.
class RecordingViewer : public IShellViewer {
 public:
  explicit RecordingViewer(ModeView declared) : view(declared) {}
  ModeView View() const override { return view; }
  void Enter() override {}
  void Leave() override {}
  void OnCommand(ControlId id) override { calls.push_back({"command", id}); }
  void OnButtonHeld(ControlId id, bool down) override { calls.push_back({down ? "down" : "up", id}); }
  void OnSliderSeek(int position) override { seeks.push_back(position); }
  ModeView view;
  std::vector<std::pair<std::string, ControlId>> calls;
  std::vector<int> seeks;
};

class KeyboardShortcutsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::App();
    window_ = std::make_unique<CMainWindow>();
    window_->SetViewer(ViewerMode::kRemoteLive, &live_);
    window_->SetViewer(ViewerMode::kLocalPlayer, &player_);
    video_ = new QWidget;
    window_->AttachVideo(video_);
    window_->show();
    QApplication::setActiveWindow(window_.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  }

  // The window's focus widget gets the key, as the keyboard would give it.
  void Key(QKeyCombination key) {
    QWidget* target = QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : window_.get();
    QTest::keyClick(target, key.key(), key.keyboardModifiers());
  }
  // A click on the skin's background, which takes the keys from a text field.
  void ClickBackground() { QTest::mouseClick(window_.get(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 720)); }
  // The mouse's click on a button, for the comparison with the key.
  void Click(ControlId id) {
    CHoverButton* button = window_->button(id);
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, button->rect().center());
  }

  testing::ScratchRegistry registry_;
  RecordingViewer live_{kLiveView};
  RecordingViewer player_{kLocalPlayerView};
  std::unique_ptr<CMainWindow> window_;
  QWidget* video_ = nullptr;  // owned by the window
};

TEST_F(KeyboardShortcutsTest, AKeyReachesTheHandlersOfTheClickAndNamesItselfInTheTooltip) {
  window_->OnCommand(kLiveMode);
  ClickBackground();
  Click(kChannels);
  const auto clicked = live_.calls;
  live_.calls.clear();
  window_->OnCommand(kPtz);  // back to the PTZ view, which shows the same key
  live_.calls.clear();
  Key(Qt::Key_P);
  EXPECT_EQ(live_.calls, clicked);
  EXPECT_EQ(window_->channel_panel()->view(), CChannelPanel::kLayoutView);

  live_.calls.clear();
  Click(kLayout4Ch);
  const auto layout_clicked = live_.calls;
  ASSERT_FALSE(layout_clicked.empty());
  window_->OnCommand(kLayout1Ch);
  live_.calls.clear();
  Key(Qt::Key_F6);
  EXPECT_EQ(live_.calls, layout_clicked);
  EXPECT_EQ(window_->latched(kLayout1Ch), kLayout4Ch);
  EXPECT_EQ(window_->button(kLayout4Ch)->toolTip(), "4 Channel Mode (F6)");
  EXPECT_EQ(window_->button(DvrButton(1))->toolTip().right(7), "(Alt+2)");
  // A tooltip that holds the key's text still names the key.
  const QString camera = window_->button(CameraButton(0))->toolTip();
  EXPECT_TRUE(camera.endsWith(" (1)")) << camera.toStdString();
  EXPECT_EQ(camera.count("(1)"), 1);
}

TEST_F(KeyboardShortcutsTest, KeysOfHiddenOrDisabledButtonsStayWithTheFocusedField) {
  // Idle: no channel panel, so F6 presses nothing.
  Key(Qt::Key_F6);
  EXPECT_FALSE(window_->latched(kLayout1Ch));

  window_->OnCommand(kLiveMode);
  window_->OnCommand(kChannels);
  // The camera buttons are disabled until a DVR's channels connect.
  Key(Qt::Key_3);
  EXPECT_TRUE(live_.calls.empty() || live_.calls.back().second != CameraButton(2));
  QLineEdit* ip = window_->connect_panel()->ip_edit();
  ip->setFocus();
  ip->clear();
  window_->channel_panel()->button(CameraButton(2))->setEnabled(true);
  live_.calls.clear();
  for (Qt::Key key : {Qt::Key_1, Qt::Key_0, Qt::Key_Period, Qt::Key_5}) Key(key);
  EXPECT_EQ(ip->text(), "10.5");
  EXPECT_TRUE(live_.calls.empty());

  // Away from the text field the digit selects the camera.
  ClickBackground();
  EXPECT_FALSE(ip->hasFocus());
  Key(Qt::Key_3);
  ASSERT_FALSE(live_.calls.empty());
  EXPECT_EQ(live_.calls[live_.calls.size() - 2], std::make_pair(std::string("command"), CameraButton(2)));
}

TEST_F(KeyboardShortcutsTest, AnArrowKeyMovesTheCameraWhileHeldAndStopsOnReleaseOrWhenTheWindowGoes) {
  window_->OnCommand(kLiveMode);
  ClickBackground();
  window_->EnablePanTiltArrows(0x0F);
  QTest::keyPress(window_.get(), Qt::Key_Up);
  const std::vector<std::pair<std::string, ControlId>> down{{"down", kArrowUp}};
  EXPECT_EQ(live_.calls, down);
  EXPECT_TRUE(window_->button(kArrowUp)->isDown());
  // The keyboard's repeats are not new presses, nor their releases ends.
  for (bool press : {false, true, false, true}) {
    QTest::simulateEvent(window_.get(), press, Qt::Key_Up, Qt::NoModifier, QString(), true);
  }
  EXPECT_EQ(live_.calls, down);
  QTest::keyRelease(window_.get(), Qt::Key_Up);
  const std::vector<std::pair<std::string, ControlId>> held{
      {"down", kArrowUp}, {"command", kArrowUp}, {"up", kArrowUp}};
  EXPECT_EQ(live_.calls, held);
  EXPECT_FALSE(window_->button(kArrowUp)->isDown());

  // Released by the window losing the keyboard, never left moving.
  live_.calls.clear();
  QTest::keyPress(window_.get(), Qt::Key_Left);
  QEvent deactivate(QEvent::WindowDeactivate);
  QApplication::sendEvent(window_.get(), &deactivate);
  ASSERT_EQ(live_.calls.size(), 3u);
  EXPECT_EQ(live_.calls.back(), std::make_pair(std::string("up"), kArrowLeft));
  QTest::keyRelease(window_.get(), Qt::Key_Left);
  EXPECT_EQ(live_.calls.size(), 3u);

  // A disabled arrow does not move.
  live_.calls.clear();
  window_->EnablePanTiltArrows(0x00);
  QTest::keyPress(window_.get(), Qt::Key_Down);
  QTest::keyRelease(window_.get(), Qt::Key_Down);
  EXPECT_TRUE(live_.calls.empty());
}

TEST_F(KeyboardShortcutsTest, PlaybackKeysPressThePlaybackButtonsAndSeekTheFileEnds) {
  window_->OnCommand(kLocalMode);
  ClickBackground();
  auto last_command = [this] {
    for (auto it = player_.calls.rbegin(); it != player_.calls.rend(); ++it) {
      if (it->first == "command") return it->second;
    }
    return kCamera1;
  };
  const std::pair<Qt::Key, ControlId> keys[] = {{Qt::Key_J, kReversePlay},
                                                {Qt::Key_K, kStop},
                                                {Qt::Key_L, kPlay},
                                                {Qt::Key_Comma, kFrameBack},
                                                {Qt::Key_Period, kFrameForward},
                                                {Qt::Key_Plus, kSpeedUp},
                                                {Qt::Key_Minus, kSpeedDown}};
  for (const auto& [key, button] : keys) {
    Key(key);
    EXPECT_EQ(last_command(), button) << QKeySequence(key).toString().toStdString();
  }
  Key(Qt::SHIFT | Qt::Key_L);
  EXPECT_EQ(last_command(), kFastForward);

  // Space plays, and stops what plays.
  window_->LatchPlaybackButton(kStop);
  Key(Qt::Key_Space);
  EXPECT_EQ(last_command(), kPlay);
  window_->LatchPlaybackButton(kPlay);
  Key(Qt::Key_Space);
  EXPECT_EQ(last_command(), kStop);
}

TEST_F(KeyboardShortcutsTest, HomeAndEndSeekAsTheSliderDoesOnlyWhereTheModeSeeks) {
  RecordingViewer search{kSearchView};
  window_->SetViewer(ViewerMode::kRemoteSearch, &search);
  window_->OnCommand(kSearchMode);
  ClickBackground();
  window_->EnableSlider(true);
  window_->SetSliderPos(1200);
  Key(Qt::Key_End);
  Key(Qt::Key_Home);
  ASSERT_TRUE(testing::PumpUntil([&] { return search.seeks.size() == 2; }));
  EXPECT_EQ(search.seeks, (std::vector<int>{3600, 0}));
  EXPECT_EQ(window_->slider()->pos(), 0);

  window_->EnableSlider(false);
  Key(Qt::Key_End);
  QApplication::processEvents();
  EXPECT_EQ(search.seeks.size(), 2u);
  EXPECT_EQ(window_->slider()->pos(), 0);
  window_->OnCommand(kClose);
  window_->SetViewer(ViewerMode::kRemoteSearch, nullptr);
}

TEST_F(KeyboardShortcutsTest, FullScreenShowsTheGridAloneAndEscapeRestoresTheWindowAsItWas) {
  window_->OnCommand(kLiveMode);
  ClickBackground();
  window_->move(40, 30);
  const QRect before = window_->geometry();
  Key(Qt::Key_F11);
  ASSERT_TRUE(window_->full_screen());
  EXPECT_TRUE(window_->isFullScreen());
  ASSERT_TRUE(testing::PumpUntil(
      [&] { return video_->geometry() == window_->rect() && window_->geometry() == window_->screen()->geometry(); }));
  Key(Qt::Key_Escape);
  EXPECT_FALSE(window_->full_screen());
  EXPECT_EQ(window_->mode(), ViewerMode::kRemoteLive);
  ASSERT_TRUE(testing::PumpUntil([&] { return window_->geometry() == before; }));
  EXPECT_EQ(video_->geometry(), CMainWindow::kVideoArea);

  // The frame's double-click toggles; the cells' stays with the grid.
  QTest::mouseDClick(window_.get(), Qt::LeftButton, Qt::NoModifier, CMainWindow::kVideoArea.center());
  EXPECT_FALSE(window_->full_screen());
  const QPoint frame(CMainWindow::kVideoArea.left() - 3, CMainWindow::kVideoArea.center().y());
  QTest::mouseDClick(window_.get(), Qt::LeftButton, Qt::NoModifier, frame);
  EXPECT_TRUE(window_->full_screen());
  Key(Qt::Key_F11);
  EXPECT_FALSE(window_->full_screen());

  // A change of mode takes the grid back into the window; Idle has no grid.
  Key(Qt::Key_F11);
  window_->OnCommand(kClose);
  EXPECT_FALSE(window_->full_screen());
  EXPECT_FALSE(window_->CanShowFullScreen());
  Key(Qt::Key_F11);
  EXPECT_FALSE(window_->full_screen());
  EXPECT_EQ(window_->size(), QSize(1024, 768));
}

TEST_F(KeyboardShortcutsTest, F1ListsEveryKeyOfTheTable) {
  int rows = -1;
  QString second_key;
  window_->dialogs().SetDialogHook([&](QDialog& dialog) {
    auto* page = dynamic_cast<CShortcutsPage*>(&dialog);
    if (page == nullptr) return 0;
    EXPECT_EQ(page->windowTitle(), "Keyboard shortcuts");
    rows = page->table()->rowCount();
    second_key = page->table()->item(1, 1)->text();
    return 0;
  });
  Key(Qt::Key_F1);
  EXPECT_EQ(rows, static_cast<int>(ShortcutTable().size()));
  EXPECT_EQ(second_key, "F11");
}

}  // namespace
}  // namespace shell
