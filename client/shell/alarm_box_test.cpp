// Silence and OK on the alarm boxes: Silence stops the buzzer and leaves the
// alarm pending, only OK releases it at the DVR; the window counts what is
// pending.
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "client/sessions/alarm_popups.h"
#include "client/shell/alarm_center.h"
#include "client/shell/alarm_counter.h"
#include "client/shell/buzzer.h"
#include "client/shell/main_window.h"
#include "client/shell/shell_session_ui.h"
#include "client/shell/testing/shell_test_support.h"

namespace shell {
namespace {

QMessageBox* OpenBox(const QString& caption) {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->windowTitle() == caption && widget->isVisible()) return qobject_cast<QMessageBox*>(widget);
  }
  return nullptr;
}

QPushButton* ButtonNamed(QMessageBox& box, const QString& text) {
  for (QAbstractButton* button : box.buttons()) {
    if (button->text() == text) return qobject_cast<QPushButton*>(button);
  }
  return nullptr;
}

class AlarmBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::App();
    SetAudioOutputOverride(false);
    SetToneHook([](int, int) {});
  }
  void TearDown() override {
    JoinBeepThreads();
    SetToneHook({});
    SetAudioOutputOverride(std::nullopt);
  }
  testing::ScratchRegistry registry_;
};

TEST_F(AlarmBoxTest, SilenceOnTheBoxStopsTheBuzzerAndLeavesTheBoxUpUntilOk) {
  COperatorDialogs dialogs;
  CAlarmCenter alarms(dialogs);
  std::atomic<int> answers{0};
  std::atomic<bool> ok{false};
  std::thread alarm([&] {
    alarms.StartBuzzer(3);
    ok = alarms.ShowAlarm(3, "Motion Alarm Out", "alarm text");
    answers.fetch_add(1);
    alarms.StopBuzzer(3);
  });
  QMessageBox* box = nullptr;
  ASSERT_TRUE(testing::PumpUntil([&] { return (box = OpenBox("Motion Alarm Out")) != nullptr; }));
  QPushButton* silence = ButtonNamed(*box, "Silence");
  ASSERT_NE(silence, nullptr);
  ASSERT_NE(box->button(QMessageBox::Ok), nullptr);
  // Enter, Escape and closing the box acknowledge as before Silence came.
  EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Ok));
  EXPECT_EQ(box->escapeButton(), box->button(QMessageBox::Ok));
  EXPECT_EQ(alarms.buzzer_count(), 1);
  silence->click();
  QApplication::processEvents();
  EXPECT_EQ(alarms.buzzer_count(), 0);
  EXPECT_TRUE(box->isVisible());
  EXPECT_FALSE(silence->isEnabled());
  EXPECT_EQ(alarms.open_count(), 1);
  EXPECT_EQ(answers.load(), 0);
  box->button(QMessageBox::Ok)->click();
  ASSERT_TRUE(testing::PumpUntil([&] { return answers.load() == 1; }));
  alarm.join();
  EXPECT_TRUE(ok.load());
  EXPECT_EQ(alarms.open_count(), 0);
}

// The window with its session side and the alarms of one session, as a live
// session raises them; the operator answers through the boxes' door.
class WindowAlarmTest : public AlarmBoxTest {
 protected:
  void SetUp() override {
    AlarmBoxTest::SetUp();
    window_ = std::make_unique<CMainWindow>();
    ui_ = std::make_unique<CShellSessionUi>(*window_);
    popups_ = std::make_unique<sessions::AlarmPopups>(*ui_);
    window_->show();
    // Each alarm box is silenced at once, then waits for the test's answer.
    window_->dialogs().SetBoxHook([this](const BoxRequest& request) {
      if (request.silence) request.silence();
      std::unique_lock guard(lock_);
      ++asked_;
      changed_.notify_all();
      changed_.wait(guard, [&] { return !answers_.empty(); });
      const BoxAnswer answer = answers_.front();
      answers_.erase(answers_.begin());
      return answer;
    });
  }
  void TearDown() override {
    Answer(BoxAnswer::kCancel);
    Answer(BoxAnswer::kCancel);
    popups_.reset();
    ui_.reset();
    window_.reset();
    AlarmBoxTest::TearDown();
  }
  void Raise(int number) {
    popups_->Raise(2, sessions::AlarmKind::kSensor, number, [this] { releases_.fetch_add(1); });
  }
  int asked() {
    std::lock_guard guard(lock_);
    return asked_;
  }
  void Answer(BoxAnswer answer) {
    std::lock_guard guard(lock_);
    answers_.push_back(answer);
    changed_.notify_all();
  }

  std::unique_ptr<CMainWindow> window_;
  std::unique_ptr<CShellSessionUi> ui_;
  std::unique_ptr<sessions::AlarmPopups> popups_;
  std::atomic<int> releases_{0};
  std::mutex lock_;
  std::condition_variable changed_;
  int asked_ = 0;                   // guarded by lock_
  std::vector<BoxAnswer> answers_;  // guarded by lock_
};

TEST_F(WindowAlarmTest, OnlyOkReleasesTheAlarmAndTheWindowCountsWhatIsPending) {
  CAlarmCounter* counter = window_->alarm_counter();
  EXPECT_FALSE(counter->isVisible());
  Raise(1);
  Raise(2);
  ASSERT_TRUE(testing::PumpUntil([&] { return asked() == 2 && counter->pending() == 2; }));
  // Both silenced: no buzzer left, both still pending, nothing released.
  EXPECT_EQ(window_->alarms().buzzer_count(), 0);
  EXPECT_EQ(popups_->open_boxes(), 2);
  EXPECT_TRUE(counter->isVisible());
  EXPECT_EQ(counter->text(), "2 alarms pending");
  EXPECT_EQ(releases_.load(), 0);

  // OK releases one; the other's box closed otherwise releases nothing.
  Answer(BoxAnswer::kOk);
  ASSERT_TRUE(testing::PumpUntil([&] { return popups_->open_boxes() == 1 && counter->pending() == 1; }));
  EXPECT_EQ(releases_.load(), 1);
  EXPECT_EQ(counter->text(), "1 alarm pending");
  Answer(BoxAnswer::kCancel);
  ASSERT_TRUE(testing::PumpUntil([&] { return popups_->open_boxes() == 0 && counter->pending() == 0; }));
  EXPECT_EQ(releases_.load(), 1);
  EXPECT_FALSE(counter->isVisible());
}

}  // namespace
}  // namespace shell
