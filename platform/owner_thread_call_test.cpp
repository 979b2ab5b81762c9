#include "platform/owner_thread_call.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <QThread>

#include <atomic>
#include <chrono>
#include <future>

namespace platform {
namespace {

using namespace std::chrono_literals;

QCoreApplication& Application() {
  static int argc = 1;
  static char name[] = "owner_thread_call_test";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

// Runs the owner's event loop until `done`, at most 30 s.
bool PumpUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

bool Ready(const std::future<bool>& result) { return result.wait_for(0ms) == std::future_status::ready; }

class OwnerThreadCallTest : public ::testing::Test {
 protected:
  void SetUp() override { Application(); }
  QObject owner;
  std::atomic<bool> cancelled{false};
  std::function<bool()> Cancelled() {
    return [this] { return cancelled.load(); };
  }
};

TEST_F(OwnerThreadCallTest, WorkRunsOnTheOwnerThreadWhileTheCallerWaits) {
  QThread* ran_on = nullptr;
  auto result = std::async(std::launch::async, [&] {
    return CallOnOwnerThread(
        &owner, [&] { ran_on = QThread::currentThread(); }, Cancelled());
  });
  ASSERT_TRUE(PumpUntil([&] { return Ready(result); }));
  EXPECT_TRUE(result.get());
  EXPECT_EQ(ran_on, owner.thread());
}

TEST_F(OwnerThreadCallTest, OnTheOwnerThreadWorkRunsAtOnceUnlessAlreadyCancelled) {
  int runs = 0;
  EXPECT_TRUE(CallOnOwnerThread(
      &owner, [&] { ++runs; }, Cancelled()));
  EXPECT_TRUE(CallOnOwnerThread(&owner, [&] { ++runs; }, {}));
  EXPECT_EQ(runs, 2);
  cancelled = true;
  EXPECT_FALSE(CallOnOwnerThread(
      &owner, [&] { ++runs; }, Cancelled()));
  EXPECT_EQ(runs, 2);
}

TEST_F(OwnerThreadCallTest, ACancelBeforeTheWorkBeginsEndsTheWaitAndTheWorkNeverRuns) {
  auto ran = std::make_shared<std::atomic<bool>>(false);
  auto result = std::async(std::launch::async, [&] {
    return CallOnOwnerThread(
        &owner, [ran] { *ran = true; }, Cancelled(), BegunWork::kLeave);
  });
  // The owner runs no events: the caller waits until it is cancelled.
  EXPECT_EQ(result.wait_for(50ms), std::future_status::timeout);
  cancelled = true;
  EXPECT_FALSE(result.get());
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents();
  EXPECT_FALSE(*ran);
}

// The owner cancels its caller from inside the work, as a handler that stops
// the thread it was called for does.
TEST_F(OwnerThreadCallTest, BegunWorkIsWaitedForUnlessItLetsTheCallerLeave) {
  for (const BegunWork begun : {BegunWork::kWaitForEnd, BegunWork::kLeave}) {
    SCOPED_TRACE(static_cast<int>(begun));
    cancelled = false;
    std::future<bool> result;
    bool caller_left_inside_work = false;
    // A caller that stays is never seen to leave, so its short look cannot
    // fail by chance; one that leaves does so within a poll period.
    const auto look = begun == BegunWork::kLeave ? 10s : 200ms;
    auto work = [&] {
      cancelled = true;
      caller_left_inside_work = result.wait_for(look) == std::future_status::ready;
    };
    result = std::async(std::launch::async, [&] { return CallOnOwnerThread(&owner, work, Cancelled(), begun); });
    ASSERT_TRUE(PumpUntil([&] { return Ready(result); }));
    if (begun == BegunWork::kLeave) {
      EXPECT_TRUE(caller_left_inside_work);
      EXPECT_FALSE(result.get());
    } else {
      EXPECT_FALSE(caller_left_inside_work);
      EXPECT_TRUE(result.get());
    }
  }
}

}  // namespace
}  // namespace platform
