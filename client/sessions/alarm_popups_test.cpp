#include "client/sessions/alarm_popups.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/testing/thread_starved_child.h"

namespace sessions {
namespace {

using namespace std::chrono_literals;

// Alarm boxes that stay up until the test answers them, as an operator's do.
class HeldBoxesUi : public ISessionUi {
 public:
  void ReportConnectionState(int, ConnectionState) override {}
  void AddEventLog(uint32_t, const std::string&) override {}
  void ShowMessage(const std::string&, MessageIcon) override {}
  void ShowBusy(int) override {}
  void HideBusy() override {}
  LogonFields ReadLogonFields() override { return {}; }
  void ClearPasswordField() override {}
  void PlayWarningBeeps() override {}
  bool DeliverDvrStatus(const DvrStatusBlock&) override { return false; }
  bool DeliverLogPage(const DvrLogPage&) override { return false; }
  bool DeliverLightState(uint8_t) override { return false; }
  void CloseLightDialog() override {}

  bool ShowAlarm(const AlarmBox& alarm) override {
    std::unique_lock guard(lock_);
    shown_.push_back(alarm);
    changed_.notify_all();
    changed_.wait(guard, [&] { return answers_.contains(alarm.id); });
    return answers_[alarm.id];
  }
  void UpdateAlarm(const AlarmBox& alarm) override {
    std::lock_guard guard(lock_);
    latest_[alarm.id] = alarm;
  }
  void StartBuzzer(int) override {
    std::lock_guard guard(lock_);
    ++buzzers_;
  }
  void StopBuzzer(int) override {
    std::lock_guard guard(lock_);
    --buzzers_;
    changed_.notify_all();
  }

  void Answer(int id, bool ok) {
    std::lock_guard guard(lock_);
    answers_[id] = ok;
    changed_.notify_all();
  }
  bool WaitForShown(size_t count) {
    std::unique_lock guard(lock_);
    return changed_.wait_for(guard, 30s, [&] { return shown_.size() >= count; });
  }
  bool WaitForSilence() {
    std::unique_lock guard(lock_);
    return changed_.wait_for(guard, 30s, [&] { return buzzers_ == 0; });
  }
  std::vector<AlarmBox> shown() {
    std::lock_guard guard(lock_);
    return shown_;
  }
  AlarmBox latest(int id) {
    std::lock_guard guard(lock_);
    return latest_[id];
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<AlarmBox> shown_;
  std::map<int, AlarmBox> latest_;
  std::map<int, bool> answers_;
  int buzzers_ = 0;
};

class AlarmPopupsTest : public ::testing::Test {
 protected:
  std::function<void()> Release() {
    return [this] { releases_.fetch_add(1); };
  }
  HeldBoxesUi ui_;
  std::atomic<int> releases_{0};
};

TEST_F(AlarmPopupsTest, AFloodOpensOneBoxPerAlarmAndCountsTheRepeats) {
  AlarmPopups popups(ui_);
  for (int i = 0; i < 3000; ++i) popups.Raise(1, AlarmKind::kSensor, 1 + i % 8, Release());
  popups.Raise(1, AlarmKind::kMotion, 1, Release());  // another kind
  popups.Raise(2, AlarmKind::kSensor, 1, Release());  // another DVR
  ASSERT_TRUE(ui_.WaitForShown(10));
  EXPECT_EQ(popups.open_boxes(), 10);
  const std::vector<AlarmBox> shown = ui_.shown();
  ASSERT_EQ(shown.size(), 10u);

  const auto sensor_one = std::find_if(shown.begin(), shown.end(), [](const AlarmBox& box) {
    return box.dvr_number == 1 && box.kind == AlarmKind::kSensor && box.number == 1;
  });
  ASSERT_NE(sensor_one, shown.end());
  const AlarmBox counted = ui_.latest(sensor_one->id);
  EXPECT_EQ(counted.repeats, 374);
  EXPECT_EQ(counted.text, AlarmPopups::MakeBox(0, 1, AlarmKind::kSensor, 1).text +
                              "\nRaised again 374 times while this box was open.\n");

  for (const AlarmBox& box : shown) ui_.Answer(box.id, true);
  ASSERT_TRUE(ui_.WaitForSilence());
  EXPECT_EQ(releases_.load(), 10);  // one release per box, not per alarm

  // Once answered, the same alarm opens a fresh box.
  popups.Raise(1, AlarmKind::kSensor, 1, Release());
  ASSERT_TRUE(ui_.WaitForShown(11));
  EXPECT_EQ(ui_.shown().back().repeats, 0);
  EXPECT_EQ(ui_.shown().back().text, AlarmPopups::MakeBox(0, 1, AlarmKind::kSensor, 1).text);
  ui_.Answer(ui_.shown().back().id, true);
}

TEST_F(AlarmPopupsTest, OnlyOkReleasesTheAlarmOut) {
  AlarmPopups popups(ui_);
  popups.Raise(1, AlarmKind::kMotion, 4, Release());
  ASSERT_TRUE(ui_.WaitForShown(1));
  ui_.Answer(ui_.shown()[0].id, false);
  ASSERT_TRUE(ui_.WaitForSilence());
  EXPECT_EQ(releases_.load(), 0);

  popups.Raise(1, AlarmKind::kMotion, 4, Release());
  ASSERT_TRUE(ui_.WaitForShown(2));
  ui_.Answer(ui_.shown()[1].id, true);
  ASSERT_TRUE(ui_.WaitForSilence());
  EXPECT_EQ(releases_.load(), 1);
}

TEST_F(AlarmPopupsTest, AThreadThatCannotStartCostsOnlyItsBox) {
  EXPECT_TRUE(testing_support::RunsWithoutNewThreads([] {
    HeldBoxesUi ui;
    AlarmPopups popups(ui);
    popups.Raise(1, AlarmKind::kSensor, 2, {});
    return popups.open_boxes() == 0 && ui.shown().empty();
  }));
}

// A buzzer that does not stop must not hold up the user interface that closes
// the popups: the thread whose box was answered is given up at the bound.
class StuckBuzzerUi : public HeldBoxesUi {
 public:
  void StopBuzzer(int id) override {
    HeldBoxesUi::StopBuzzer(id);
    stop_called.set_value();
    release.get_future().wait();
    // The last the thread does with this object.
    returned.set_value();
  }
  std::promise<void> stop_called;
  std::promise<void> release;
  std::promise<void> returned;
};

TEST(AlarmPopupsLifetimeTest, ClosingGivesUpABoxThreadWhoseBuzzerDoesNotStop) {
  StuckBuzzerUi ui;
  auto popups = std::make_unique<AlarmPopups>(ui);
  popups->Raise(1, AlarmKind::kSensor, 3, {});
  ASSERT_TRUE(ui.WaitForShown(1));
  ui.Answer(ui.shown()[0].id, true);
  ASSERT_EQ(ui.stop_called.get_future().wait_for(30s), std::future_status::ready);

  auto closing = std::async(std::launch::async, [&] { popups.reset(); });
  const bool closed = closing.wait_for(30s) == std::future_status::ready;
  ui.release.set_value();
  closing.wait();
  EXPECT_TRUE(closed);
  ui.returned.get_future().wait();
}

}  // namespace
}  // namespace sessions
