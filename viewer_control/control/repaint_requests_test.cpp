#include "viewer_control/control/repaint_requests.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>

namespace vistrel {
namespace {

using namespace std::chrono_literals;

struct HandOvers {
  std::vector<uint32_t> marks;
  std::vector<qint64> at_ms;
  QElapsedTimer clock;

  HandOvers() { clock.start(); }
  RepaintRequests::Handler handler() {
    return [this](uint32_t marked) {
      marks.push_back(marked);
      at_ms.push_back(clock.elapsed());
    };
  }
  bool WaitFor(size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (marks.size() < count && std::chrono::steady_clock::now() < deadline) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return marks.size() >= count;
  }
};

// Marks made on other threads before the user-interface thread runs reach it
// together, in one hand-over.
TEST(RepaintRequests, MarksMadeMeanwhileComeInOneHandOver) {
  HandOvers log;
  RepaintRequests requests(log.handler());
  std::thread receive([&] {
    for (int slot : {1, 5, 5, 16}) requests.Mark(slot);
  });
  receive.join();
  ASSERT_TRUE(log.WaitFor(1));
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  ASSERT_EQ(log.marks.size(), 1u);
  EXPECT_EQ(log.marks[0], (1u << 0) | (1u << 4) | (1u << 15));
}

// A mark soon after a hand-over waits for the next frame, and is not lost;
// none is handed over sooner than a frame after the one before.
TEST(RepaintRequests, AMarkWithinAFrameWaitsForTheNextFrame) {
  HandOvers log;
  const auto frame = 80ms;
  RepaintRequests requests(log.handler(), frame);
  for (int round = 0; round < 3; ++round) {
    std::thread receive([&, round] { requests.Mark(round + 2); });
    receive.join();
    ASSERT_TRUE(log.WaitFor(static_cast<size_t>(round) + 1));
    EXPECT_EQ(log.marks.back(), 1u << (round + 1));
  }
  for (size_t i = 1; i < log.at_ms.size(); ++i) EXPECT_GE(log.at_ms[i] - log.at_ms[i - 1], frame.count() - 1);
}

// Until its frame is due, a held mark is not handed over, however often the
// events run or other marks come.
TEST(RepaintRequests, AHeldMarkStaysHeldUntilItsFrame) {
  HandOvers log;
  RepaintRequests requests(log.handler(), std::chrono::hours(1));
  requests.Mark(3);
  ASSERT_TRUE(log.WaitFor(1));
  requests.Mark(4);
  std::thread receive([&] { requests.Mark(7); });
  receive.join();
  for (int i = 0; i < 10; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_EQ(log.marks.size(), 1u);
}

}  // namespace
}  // namespace vistrel
