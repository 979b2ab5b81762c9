#include "platform/bounded_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>

namespace platform {
namespace {

using namespace std::chrono_literals;

TEST(BoundedWorkerTest, AThreadThatEndsInTimeIsJoined) {
  BoundedWorker worker;
  std::atomic<bool> ran{false};
  ASSERT_TRUE(worker.Start([&] { ran = true; }));
  EXPECT_TRUE(worker.JoinWithin(10s));
  EXPECT_TRUE(ran);
  EXPECT_TRUE(worker.finished());
  EXPECT_FALSE(worker.joinable());
  // Joining again is harmless and still reports the end.
  EXPECT_TRUE(worker.JoinWithin(0ms));
}

TEST(BoundedWorkerTest, AThreadThatDoesNotEndIsGivenUpAtTheDeadlineAndStillReportsItsEnd) {
  std::promise<void> release;
  auto gate = std::make_shared<std::shared_future<void>>(release.get_future().share());
  BoundedWorker worker;
  ASSERT_TRUE(worker.Start([gate] { gate->wait(); }));
  EXPECT_FALSE(worker.JoinWithin(20ms));
  EXPECT_FALSE(worker.joinable());
  EXPECT_FALSE(worker.finished());
  EXPECT_FALSE(worker.WaitFinished(0ms));

  release.set_value();
  EXPECT_TRUE(worker.WaitFinished(10s));
  EXPECT_TRUE(worker.finished());
}

TEST(BoundedWorkerTest, TheBodysCapturesAreGoneWhenItsEndIsReported) {
  auto owned = std::make_shared<int>(7);
  std::weak_ptr<int> watch = owned;
  std::promise<void> release;
  std::shared_future<void> gate = release.get_future().share();
  BoundedWorker worker;
  ASSERT_TRUE(worker.Start([owned = std::move(owned), gate] { gate.wait(); }));
  ASSERT_FALSE(worker.JoinWithin(0ms));
  release.set_value();
  worker.WaitFinished();
  EXPECT_TRUE(watch.expired());
}

TEST(BoundedWorkerTest, ANeverStartedWorkerHasNothingToWaitFor) {
  BoundedWorker worker;
  EXPECT_FALSE(worker.joinable());
  EXPECT_FALSE(worker.finished());
  EXPECT_FALSE(worker.JoinWithin(0ms));
  EXPECT_FALSE(worker.WaitFinished(0ms));
  worker.WaitFinished();  // returns at once
}

TEST(BoundedWorkerTest, StartingAgainGivesUpAThreadStillRunning) {
  std::promise<void> release;
  std::shared_future<void> gate = release.get_future().share();
  BoundedWorker worker;
  ASSERT_TRUE(worker.Start([gate] { gate.wait(); }));
  std::atomic<bool> second{false};
  ASSERT_TRUE(worker.Start([&] { second = true; }));
  EXPECT_TRUE(worker.JoinWithin(10s));
  EXPECT_TRUE(second);
  release.set_value();
}

TEST(BoundedWorkerTest, AMovedWorkerKeepsItsThread) {
  std::atomic<bool> ran{false};
  BoundedWorker first;
  ASSERT_TRUE(first.Start([&] { ran = true; }));
  BoundedWorker second = std::move(first);
  EXPECT_TRUE(second.JoinWithin(10s));
  EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace platform
