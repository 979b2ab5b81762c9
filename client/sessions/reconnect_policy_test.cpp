// The reconnect policy on its own, its timer driven by hand: the back-off,
// and the events after which no attempt may follow.
#include "client/sessions/reconnect_policy.h"

#include <gtest/gtest.h>

#include <vector>

#include "client/sessions/testing/manual_reconnect_timers.h"

namespace sessions {
namespace {

using namespace std::chrono_literals;

class ReconnectPolicyTest : public ::testing::Test {
 protected:
  ReconnectPolicyTest()
      : policy_(
            timers_.Make(), [this] { ++attempts_; }, [this](const SlotStatus& status) { shown_.push_back(status); },
            [this] { return now_; }) {}

  SlotTarget Target(bool auto_reconnect) {
    SlotTarget target;
    target.alias = "Hall";
    target.address = "10.0.0.7";
    target.port = 4000;
    target.user_name = "admin";
    target.password = "1234";
    target.auto_reconnect = auto_reconnect;
    return target;
  }

  void BringOnline(bool auto_reconnect) {
    policy_.Connecting(Target(auto_reconnect));
    policy_.Online(8);
  }

  SlotState state() const { return policy_.status().state; }

  testing::ManualReconnectTimers timers_;
  int attempts_ = 0;
  std::vector<SlotStatus> shown_;
  std::chrono::system_clock::time_point now_ = std::chrono::system_clock::time_point(1000s);
  ReconnectPolicy policy_;
};

TEST_F(ReconnectPolicyTest, BackOffDoublesToSixtySecondsAndStartsAfreshOnceOnline) {
  BringOnline(true);
  policy_.Dropped();
  std::vector<std::chrono::milliseconds> delays;
  for (int i = 0; i < 8; ++i) {
    ASSERT_EQ(state(), SlotState::kReconnecting);
    ASSERT_TRUE(timers_.active(0));
    delays.push_back(timers_.delay(0));
    EXPECT_EQ(policy_.status().attempt, i + 1);
    ASSERT_TRUE(timers_.Fire(0));
    EXPECT_EQ(attempts_, i + 1);
    EXPECT_TRUE(policy_.attempting());
    // Nothing more is due while the attempt is under way.
    EXPECT_FALSE(timers_.active(0));
    policy_.ConnectFailed();
  }
  const std::vector<std::chrono::milliseconds> expected = {2s, 4s, 8s, 16s, 30s, 60s, 60s, 60s};
  EXPECT_EQ(delays, expected);

  ASSERT_TRUE(timers_.Fire(0));
  policy_.Online(8);
  EXPECT_EQ(state(), SlotState::kOnline);
  EXPECT_FALSE(policy_.status().dropped);
  policy_.Dropped();
  EXPECT_EQ(timers_.delay(0), 2s);
  EXPECT_EQ(policy_.status().attempt, 1);
}

TEST_F(ReconnectPolicyTest, AConnectionThatClosesBeforeItsStreamCountsAsAFailedAttempt) {
  BringOnline(true);
  policy_.Dropped();
  ASSERT_TRUE(timers_.Fire(0));
  policy_.Dropped();  // logged on, then closed again
  EXPECT_EQ(state(), SlotState::kReconnecting);
  EXPECT_EQ(timers_.delay(0), 4s);
  // A second word of the same loss changes nothing.
  policy_.Dropped();
  EXPECT_EQ(timers_.delay(0), 4s);
  EXPECT_EQ(policy_.status().attempt, 2);
}

TEST_F(ReconnectPolicyTest, WithoutTheEntrysConsentADropFailsAndWaitsForTheOperator) {
  BringOnline(false);
  policy_.Dropped();
  EXPECT_EQ(state(), SlotState::kFailed);
  EXPECT_TRUE(policy_.status().dropped);
  EXPECT_FALSE(timers_.active(0));
  EXPECT_EQ(attempts_, 0);

  // The one-click reconnect tries once, and may be clicked again.
  ASSERT_TRUE(policy_.ReconnectNow());
  EXPECT_EQ(attempts_, 1);
  EXPECT_EQ(state(), SlotState::kReconnecting);
  EXPECT_FALSE(policy_.ReconnectNow());  // one attempt at a time
  policy_.ConnectFailed();
  EXPECT_EQ(state(), SlotState::kFailed);
  EXPECT_FALSE(timers_.active(0));
  EXPECT_TRUE(policy_.ReconnectNow());
  EXPECT_EQ(attempts_, 2);
}

TEST_F(ReconnectPolicyTest, NoAttemptFollowsTheOperatorsDisconnectOrARefusal) {
  BringOnline(true);
  policy_.OperatorDisconnected();
  EXPECT_EQ(state(), SlotState::kOffline);
  policy_.Dropped();  // the stream's close after the operator's disconnect
  EXPECT_EQ(state(), SlotState::kOffline);
  EXPECT_FALSE(timers_.active(0));
  EXPECT_FALSE(policy_.ReconnectNow());

  // Administrator takeover while online.
  BringOnline(true);
  policy_.Refused();
  policy_.Dropped();
  EXPECT_EQ(state(), SlotState::kFailed);
  EXPECT_FALSE(timers_.active(0));
  EXPECT_FALSE(policy_.ReconnectNow());

  // A wrong password on an attempt ends the attempts.
  BringOnline(true);
  policy_.Dropped();
  ASSERT_TRUE(timers_.Fire(0));
  policy_.Refused();
  policy_.ConnectFailed();
  EXPECT_EQ(state(), SlotState::kFailed);
  EXPECT_FALSE(timers_.active(0));
  EXPECT_EQ(attempts_, 1);

  // Leaving live mode while an attempt is pending cancels it.
  BringOnline(true);
  policy_.Dropped();
  policy_.OperatorDisconnected();
  EXPECT_FALSE(timers_.active(0));
  EXPECT_FALSE(timers_.Fire(0));
}

TEST_F(ReconnectPolicyTest, AFirstConnectThatFailsIsNotRetried) {
  policy_.Connecting(Target(true));
  policy_.ConnectFailed();
  EXPECT_EQ(state(), SlotState::kFailed);
  EXPECT_FALSE(policy_.status().dropped);
  EXPECT_FALSE(timers_.active(0));
  // Closed by the DVR before its stream came up: failed too, not connecting on.
  policy_.Connecting(Target(true));
  policy_.Dropped();
  EXPECT_EQ(state(), SlotState::kFailed);
  EXPECT_FALSE(timers_.active(0));
}

TEST_F(ReconnectPolicyTest, TheStatusNamesTheDvrAndTheTimeOfTheLastStateChange) {
  policy_.Connecting(Target(true));
  const auto connecting_at = now_;
  now_ += 3s;
  policy_.Online(8);
  EXPECT_EQ(policy_.status().alias, "Hall");
  EXPECT_EQ(policy_.status().address, "10.0.0.7:4000");
  EXPECT_EQ(policy_.status().channel_count, 8);
  EXPECT_EQ(policy_.status().changed, connecting_at + 3s);
  policy_.Dropped();
  const auto dropped_at = now_;
  now_ += 2s;
  ASSERT_TRUE(timers_.Fire(0));
  policy_.ConnectFailed();  // still reconnecting: the time stays the drop's
  EXPECT_EQ(policy_.status().changed, dropped_at);
  ASSERT_FALSE(shown_.empty());
  EXPECT_EQ(shown_.back().state, SlotState::kReconnecting);
  EXPECT_EQ(shown_.back().attempt, 2);
}

}  // namespace
}  // namespace sessions
