// The core on its own: any mode's session can sit on it through the host
// interface, without the live viewer.
#include "client/sessions/command_session.h"

#include <gtest/gtest.h>

#include <QMetaObject>
#include <QObject>

#include <atomic>
#include <vector>

#include "client/sessions/owner_call.h"
#include "client/sessions/testing/session_test_support.h"
#include "platform/trace.h"
#include "protocol/command_codes.h"

namespace sessions {
namespace {

using testing::PumpUntil;
using testing::RecordingUi;

constexpr CommandSessionTexts kTexts = {
    .tag = "TEST DVR",
    .logon_data_full = "[TEST DVR %d] logon data %s : %s, Port : %d, Username : %s, Password : %s",
    .logon_data_address = "[TEST DVR %d] logon data %s : %s, Port: %d",
    .logon_typed = "[TEST DVR %d] logon UserName: %s, Password : %s",
    .logon_send_failed = "[TEST DVR %d] logon send failed",
    .auth_send_failed = "[TEST DVR %d] authentication send failed",
    .in_use = "[TEST DVR %d] in use",
    .already_connected = "[TEST DVR %d] already connected",
    .open_failed = "[TEST DVR %d] open failed",
    .socket_connected = "[TEST DVR %d] connected",
    .socket_closed = "[TEST DVR %d] closed",
    .receive_failed = "[TEST DVR %d] receive failed",
    .parse_code = "[TEST DVR %d] code %#x",
    .auth_requested = "[TEST DVR %d] authentication requested",
    .admin_notice = "[TEST DVR %d] administrator notice",
    .keep_alive_sent = "[TEST DVR %d] keep alive",
    .keep_alive_started = "[TEST DVR %d] keep alive started",
    .keep_alive_stopped = "[TEST DVR %d] keep alive stopped",
    .dvr_notice = "[TEST DVR %d] %s",
    .dvr_notice_info = "[TEST DVR %d] info %s",
};

// A mode with no replies of its own: it records what the core hands up.
class BareHost : public ICommandSessionHost {
 public:
  explicit BareHost(QObject& owner) : owner_(owner) {}
  void RunOnOwnerThread(const std::function<void()>& work) override { CallOnOwnerThread(&owner_, work); }
  void PostToOwnerThread(std::function<void()> work) override {
    QMetaObject::invokeMethod(&owner_, std::move(work), Qt::QueuedConnection);
  }
  void OnLoggedOn(uint8_t level) override { logged_on_level = level; }
  void OnReply(uint32_t code, std::span<const uint8_t>) override { other_replies.push_back(code); }
  void DisconnectCommand(DisconnectCause) override { ++disconnects; }
  bool WantsKeepAlive() override { return true; }
  void OnStopWaitExpired() override {}
  void OnSessionReset() override { ++resets; }

  std::atomic<int> logged_on_level{-1};
  std::vector<uint32_t> other_replies;  // worker thread until logged on
  int disconnects = 0;                  // owner thread
  std::atomic<int> resets{0};

 private:
  QObject& owner_;
};

class CommandSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::Application();
    dvr_ = testing::StartEmulator(dvremu::EmulatorOptions{});
    ASSERT_TRUE(dvr_);
  }
  void TearDown() override {
    if (dvr_) dvr_->Stop();
  }

  std::unique_ptr<dvremu::DvrEmulator> dvr_;
  RecordingUi ui_;
  QObject owner_;
  BareHost host_{owner_};
  platform::TraceCapture trace_;
};

TEST_F(CommandSessionTest, LogsOnAndHandsTheLevelAndOtherRepliesUp) {
  CCommandSession session(0, kTexts, CommandSocketVariant::kLive, 3000, host_, ui_, owner_, {});
  ASSERT_EQ(session.SetLogonData("127.0.0.1", dvr_->command_port(), "admin", "1234", true), 0);
  ASSERT_TRUE(PumpUntil([&] { return host_.logged_on_level == 0; }));
  EXPECT_TRUE(trace_.Contains("[TEST DVR 0] send authentication data(id, password...)."));
  EXPECT_TRUE(trace_.Contains("[TEST DVR 0] code 0x5101"));
  EXPECT_FALSE(session.over_modem());

  session.StartKeepAlive();
  EXPECT_EQ(session.KeepAlivePeriodMs(), kNetworkKeepAliveMs);
  dvr_->AdminNotice(0x11);  // the core's own: alert, then the mode's disconnect
  ASSERT_TRUE(PumpUntil([&] { return host_.disconnects == 1; }));
  EXPECT_TRUE(ui_.HasLog("[ALERT] The admin is \nusing the DVR. network\ndisconnect."));
  EXPECT_TRUE(host_.other_replies.empty());

  session.EndTimers();
  session.Reset();
  EXPECT_FALSE(session.IsKeepAliveRunning());
  EXPECT_GE(host_.resets, 1);
  EXPECT_FALSE(session.in_use());
}

TEST_F(CommandSessionTest, AModemLinkGoesToTheBridge) {
  CCommandSession session(1, kTexts, CommandSocketVariant::kLive, 3000, host_, ui_, owner_,
                          [](const std::string&, int, int, int) { return 0; });
  ASSERT_EQ(session.SetLogonData("02-555-1234", 4000, "admin", "1234", false), 0);
  EXPECT_TRUE(session.over_modem());
  EXPECT_EQ(session.info().address, kBridgeAddress);
  EXPECT_EQ(session.info().port, kBridgePort);
  session.StartKeepAlive();
  EXPECT_EQ(session.KeepAlivePeriodMs(), kModemKeepAliveMs);
  session.EndTimers();
  session.Reset();
  // Reset forgets the link: the next connection chooses again.
  EXPECT_FALSE(session.over_modem());
}

}  // namespace
}  // namespace sessions
