#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <thread>

#include "client/shell/alarm_center.h"
#include "client/shell/buzzer.h"
#include "client/shell/event_log.h"
#include "client/shell/testing/shell_test_support.h"
#include "client/shell/wait_indicator.h"
#include "platform/string_table.h"
#include "platform/testing/thread_starved_child.h"

namespace shell {
namespace {

class EventLogTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::App(); }
};

TEST_F(EventLogTest, LineSizeFollowsTheColourAndEveryLineIsBold) {
  CEventLog log;
  log.AddLine(0x0000FF, "[ALERT] DVR1, Sensor #2 Detection");
  log.AddLine(0x00FFFF, "[NOTICE] Remote live view");
  log.AddLine(0xFFFFFF, "[EVENT] DVR1 Selected");
  log.AddLine(0x00FF00, "other");
  const auto lines = log.Lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].point_size, 9.0);
  EXPECT_EQ(lines[0].colour, QColor(255, 0, 0));
  EXPECT_EQ(lines[1].point_size, 8.5);
  EXPECT_EQ(lines[1].colour, QColor(255, 255, 0));
  EXPECT_EQ(lines[2].point_size, 8.0);
  EXPECT_EQ(lines[3].point_size, 8.0);
  for (const auto& line : lines) {
    EXPECT_TRUE(line.bold);
    EXPECT_EQ(line.family, "MS Sans Serif");
  }
  EXPECT_EQ(lines[1].text, "[NOTICE] Remote live view");
}

TEST_F(EventLogTest, MultiLineTextsKeepTheirColourAndClearingEmptiesTheLog) {
  CEventLog log;
  log.AddLine(0x0000FF, platform::LoadString(181));
  const auto lines = log.Lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[2].text, "disconnect.");
  EXPECT_EQ(lines[2].point_size, 9.0);
  log.ClearLog();
  EXPECT_TRUE(log.Lines().empty());
  log.AddLine(0x00FFFF, "[NOTICE] Local Mpeg player");
  ASSERT_EQ(log.Lines().size(), 1u);
}

TEST_F(EventLogTest, TheLogStartsAfreshAtItsLimit) {
  CEventLog log;
  const QString chunk(60000, QChar('x'));
  for (int i = 0; i < 20; ++i) log.AddLine(0xFFFFFF, chunk);
  EXPECT_LE(log.document()->characterCount(), CEventLog::kTextLimit);
  EXPECT_FALSE(log.Lines().empty());
}

class AlarmTest : public EventLogTest {
 protected:
  void SetUp() override {
    EventLogTest::SetUp();
    SetToneHook([this](int hz, int ms) {
      std::lock_guard guard(lock_);
      tones_.emplace_back(hz, ms);
    });
  }
  void TearDown() override {
    JoinBeepThreads();
    SetToneHook({});
    SetAudioOutputOverride(std::nullopt);
  }
  std::vector<std::pair<int, int>> tones() {
    std::lock_guard guard(lock_);
    return tones_;
  }
  std::mutex lock_;
  std::vector<std::pair<int, int>> tones_;
};

TEST_F(AlarmTest, WithoutAudioOutputTheBuzzerBeepsSixAlternatingTones) {
  testing::ScratchRegistry registry;
  SetAudioOutputOverride(false);
  CBuzzer buzzer;
  buzzer.Start(true);
  buzzer.Start(true);  // the beep thread starts only once per buzzer
  EXPECT_FALSE(buzzer.playing());
  JoinBeepThreads();
  const std::vector<std::pair<int, int>> expected = {{3000, 500}, {2000, 500}, {3000, 500},
                                                     {2000, 500}, {3000, 500}, {2000, 500}};
  EXPECT_EQ(tones(), expected);
}

TEST_F(AlarmTest, MissingWaveFileBeepsInsteadOfStayingSilent) {
  testing::ScratchRegistry registry;
  SetAudioOutputOverride(true);
  CBuzzer buzzer;
  buzzer.Start(true);
  EXPECT_FALSE(buzzer.playing());
  JoinBeepThreads();
  EXPECT_EQ(tones().size(), 6u);
}

TEST_F(AlarmTest, WarningBeepsOfEveryAlarmShareOneThread) {
  JoinBeepThreads();
  std::mutex lock;
  std::condition_variable changed;
  bool held = true;
  std::vector<std::thread::id> players;
  SetToneHook([&](int, int) {
    std::unique_lock guard(lock);
    players.push_back(std::this_thread::get_id());
    changed.notify_all();
    changed.wait(guard, [&] { return !held; });
  });
  StartWarningBeeps();
  {
    std::unique_lock guard(lock);
    ASSERT_TRUE(changed.wait_for(guard, std::chrono::seconds(30), [&] { return !players.empty(); }));
  }
  // Twenty alarms and notices while the first tone sounds.
  for (int i = 0; i < 20; ++i) StartWarningBeeps();
  {
    std::lock_guard guard(lock);
    held = false;
    changed.notify_all();
  }
  JoinBeepThreads();
  std::lock_guard guard(lock);
  // The sequence starts afresh after the tone that was sounding.
  EXPECT_EQ(players.size(), 7u);
  EXPECT_EQ(std::count(players.begin(), players.end(), players[0]), static_cast<long>(players.size()));
}

TEST_F(AlarmTest, BeepsThatCannotGetAThreadAreSkippedNotFatal) {
  JoinBeepThreads();
  EXPECT_TRUE(testing_support::RunsWithoutNewThreads([] {
    StartWarningBeeps();
    return true;
  }));
}

TEST_F(AlarmTest, ARepeatedAlarmShowsItsNewestTextInItsOpenBox) {
  testing::ScratchRegistry registry;
  SetAudioOutputOverride(false);
  COperatorDialogs dialogs;
  CAlarmCenter alarms(dialogs);
  // The count may overtake the box on its way to the screen.
  alarms.UpdateAlarm(7, "raised twice");
  std::atomic<bool> ok{false};
  std::thread alarm([&] {
    alarms.StartBuzzer(7);
    ok = alarms.ShowAlarm(7, "Sensor Alarm Out", "raised once");
    alarms.StopBuzzer(7);
  });
  QMessageBox* box = nullptr;
  ASSERT_TRUE(testing::PumpUntil([&] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (widget->windowTitle() == "Sensor Alarm Out" && widget->isVisible()) box = qobject_cast<QMessageBox*>(widget);
    }
    return box != nullptr;
  }));
  EXPECT_EQ(box->text(), "raised twice");
  alarms.UpdateAlarm(7, "raised three times");
  EXPECT_TRUE(testing::PumpUntil([&] { return box->text() == "raised three times"; }));
  box->button(QMessageBox::Ok)->click();
  ASSERT_TRUE(testing::PumpUntil([&] { return alarms.open_count() == 0; }));
  alarm.join();
  EXPECT_TRUE(ok.load());
  EXPECT_EQ(alarms.buzzer_count(), 0);
}

TEST_F(AlarmTest, TwoAlarmsShowTwoIndependentBoxes) {
  testing::ScratchRegistry registry;
  SetAudioOutputOverride(false);
  COperatorDialogs dialogs;
  CAlarmCenter alarms(dialogs);
  std::atomic<int> answered_ok{0};
  auto raise = [&](int id, const char* caption) {
    return std::thread([&, id, caption] {
      alarms.StartBuzzer(id);
      if (alarms.ShowAlarm(id, caption, "alarm text")) answered_ok.fetch_add(1);
      alarms.StopBuzzer(id);
    });
  };
  std::thread first = raise(1, "Sensor Alarm Out");
  std::thread second = raise(2, "Motion Alarm Out");
  ASSERT_TRUE(testing::PumpUntil([&] { return dialogs.OpenOwnerlessBoxCount() == 2; }));
  EXPECT_EQ(alarms.open_count(), 2);
  EXPECT_EQ(alarms.buzzer_count(), 2);
  // Answering one leaves the other up.
  QMessageBox* box = nullptr;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->windowTitle() == "Sensor Alarm Out" && widget->isVisible()) box = qobject_cast<QMessageBox*>(widget);
  }
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->icon(), QMessageBox::Warning);
  EXPECT_EQ(box->parentWidget(), nullptr);
  box->button(QMessageBox::Ok)->click();
  ASSERT_TRUE(testing::PumpUntil([&] { return answered_ok.load() == 1; }));
  EXPECT_EQ(alarms.open_count(), 1);
  alarms.DismissAll();
  ASSERT_TRUE(testing::PumpUntil([&] { return alarms.open_count() == 0; }));
  first.join();
  second.join();
  EXPECT_EQ(answered_ok.load(), 1);
  EXPECT_EQ(alarms.buzzer_count(), 0);
}

TEST_F(AlarmTest, WaitIndicatorTakesItsTextAndClosesAfterThirtySeconds) {
  CWaitIndicator wait(nullptr);
  // The window's own 10 ms timer would tick while the test pumps events.
  wait.DriveTicksByHand();
  std::atomic<bool> shown{false};
  std::thread worker([&] {
    wait.Show(345);
    shown = true;
  });
  // The worker's call waits for the user-interface thread, which must turn.
  ASSERT_TRUE(testing::PumpUntil([&] { return shown.load(); }));
  worker.join();
  ASSERT_NE(wait.dialog(), nullptr);
  wait.dialog()->Tick();
  EXPECT_EQ(wait.dialog()->shown_text(), "Remote DVR, Connecting... ");
  EXPECT_EQ(wait.dialog()->bar_value(), 20);
  // A second Show reuses the window and changes only its text.
  CWaitDialog* first = wait.dialog();
  wait.Show(169);
  EXPECT_EQ(wait.dialog(), first);
  for (int i = 1; i < CWaitDialog::kTickLimit - 1; ++i) first->Tick();
  EXPECT_TRUE(first->isVisible());
  first->Tick();
  EXPECT_FALSE(first->isVisible());
  wait.Hide();  // nothing left to hide
}

}  // namespace
}  // namespace shell
