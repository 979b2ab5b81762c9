#include "client/sessions/live_session.h"

#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include "client/sessions/live_viewer.h"
#include "client/sessions/testing/session_test_support.h"
#include "platform/result_codes.h"
#include "platform/tcp_socket.h"
#include "platform/trace.h"
#include "protocol/command_codes.h"
#include "protocol/packet_header.h"

namespace sessions {
namespace {

using namespace std::chrono_literals;
using testing::PumpUntil;
using testing::RecordingUi;

class LiveSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::Application();
    dvr_ = testing::StartEmulator(options_);
    ASSERT_TRUE(dvr_);
    viewer_ = std::make_unique<CLiveViewer>(ui_, nullptr);
  }
  void TearDown() override {
    viewer_.reset();
    if (dvr_) dvr_->Stop();
  }

  CLiveSession& Connect(int slot, const std::string& user = "admin", const std::string& password = "1234") {
    CLiveSession& session = viewer_->session(slot);
    EXPECT_EQ(session.SetLogonData("127.0.0.1", dvr_->command_port(), user, password, true), 0);
    return session;
  }

  dvremu::EmulatorOptions options_;
  std::unique_ptr<dvremu::DvrEmulator> dvr_;
  RecordingUi ui_;
  std::unique_ptr<CLiveViewer> viewer_;
  platform::TraceCapture trace_;
};

TEST_F(LiveSessionTest, LogonAsksForTheStreamAndTakesCells) {
  CLiveSession& session = Connect(0);
  EXPECT_EQ(ui_.last_state(0), ConnectionState::kConnecting);
  ASSERT_TRUE(PumpUntil([&] { return viewer_->cells().CellsOf(0).size() == 4; }));
  EXPECT_EQ(ui_.last_state(0), ConnectionState::kLiveLoggedOn);
  EXPECT_EQ(session.channel_count(), 4);
  EXPECT_TRUE(viewer_->IsKeepAliveRunning(0));
  EXPECT_FALSE(ui_.busy());
  // The emulator's pan/tilt mask 0x05: channels 1 and 3.
  EXPECT_EQ(viewer_->ChannelFlags(0), (std::array<uint8_t, 8>{1, 0, 1, 0, 0, 0, 0, 0}));
  EXPECT_TRUE(PumpUntil([&] { return trace_.Contains("[LIVE DVR 0] vistrel control is destroy."); }));
  EXPECT_EQ(viewer_->KeepAlivePeriodMs(0), kNetworkKeepAliveMs);
  EXPECT_TRUE(trace_.Contains("[LIVE DVR 0] Live logon data IP : 127.0.0.1, Port : " +
                              std::to_string(dvr_->command_port()) + ", Username : admin, Password : ****"));

  EXPECT_EQ(session.ConnectCommandPort(), kAlreadyConnected);
  viewer_->DisconnectSlot(0);
  EXPECT_FALSE(session.connected());
  EXPECT_TRUE(viewer_->cells().CellsOf(0).empty());
  EXPECT_FALSE(viewer_->IsKeepAliveRunning(0));
  EXPECT_TRUE(trace_.Contains("[LIVE DVR 0] !!!!!!!!!!!! REQUEST STOP LIVESTREAM !!!!!!!!!!!!"));
}

TEST_F(LiveSessionTest, LogonFailuresShowTheirBoxAndNotice) {
  struct Case {
    std::string user, password;
    int armed_result;
    std::string message, notice;
  };
  const Case cases[] = {
      {"nobody", "1234", -1, "Make sure your User Name are correct.", "[NOTICE] The username was incorrect."},
      {"admin", "9999", -1, "Make sure your Password are correct.", "[NOTICE] The password was incorrect."},
      {"admin", "1234", 0x07, "Make sure your IP Address are correct.", "[NOTICE] Logon failed."},
  };
  for (const Case& c : cases) {
    if (c.armed_result >= 0) dvr_->ArmNextResult(static_cast<uint8_t>(c.armed_result));
    CLiveSession& session = Connect(1, c.user, c.password);
    ASSERT_TRUE(PumpUntil([&] { return ui_.HasLog(c.notice); })) << c.notice;
    EXPECT_TRUE(ui_.HasMessageContaining(c.message));
    EXPECT_EQ(ui_.last_state(1), ConnectionState::kFailed);
    // The reset is the worker's last step, after the notice.
    EXPECT_TRUE(PumpUntil([&] { return !session.connected(); }));
  }
}

TEST_F(LiveSessionTest, AdministratorBusyAtLogonAlertsThenFails) {
  dvr_->ArmNextResult(0x51);
  CLiveSession& session = Connect(2);
  ASSERT_TRUE(PumpUntil([&] { return ui_.HasLog("[NOTICE] Logon failed."); }));
  EXPECT_TRUE(ui_.HasLog("[ALERT] The admin is \nusing the DVR. network\ndisconnect."));
  EXPECT_TRUE(trace_.Contains("[LIVE DVR 2] The administrator is using the DVR System !!!"));
  EXPECT_TRUE(PumpUntil([&] { return !session.connected(); }));
}

TEST_F(LiveSessionTest, WithoutLogonDataTheSlotWaitsForTheLogonButton) {
  CLiveSession& session = viewer_->session(0);
  ASSERT_EQ(session.SetLogonData("127.0.0.1", dvr_->command_port(), "", "", true), E_FAIL);
  EXPECT_TRUE(ui_.HasMessageContaining("Wrong IP Address. confirm IP Address."));
  EXPECT_FALSE(session.connected());

  ui_.SetLogonFields("admin", "1234");
  ASSERT_EQ(session.SetLogonData("localhost-is-no-address", dvr_->command_port(), "", "", true), 0);
  // Without a dotted address the ping cannot be answered: connect failure.
  ASSERT_TRUE(PumpUntil([&] { return ui_.HasMessageContaining("DVR 1, Connect failed."); }, 8s));
  EXPECT_TRUE(ui_.HasLog("[NOTICE] Network connect failed"));
}

TEST_F(LiveSessionTest, RefusedConnectionReportsFailure) {
  CLiveSession& session = viewer_->session(3);
  ASSERT_EQ(session.SetLogonData("127.0.0.1", testing::ClosedPort(), "admin", "1234", true), 0);
  // The box is the procedure's last step; everything before it has shown.
  ASSERT_TRUE(PumpUntil([&] { return ui_.HasMessageContaining("DVR 4, Connect failed."); }));
  EXPECT_TRUE(trace_.Contains("[LIVE DVR 3] The attempt to connect was forcefully rejected."));
  EXPECT_TRUE(ui_.HasLog("[NOTICE] Network connect failed"));
  EXPECT_EQ(ui_.last_state(3), ConnectionState::kFailed);
  EXPECT_FALSE(ui_.busy());
}

TEST_F(LiveSessionTest, NoticesFromTheDvr) {
  CLiveSession& session = Connect(0);
  ASSERT_TRUE(PumpUntil([&] { return session.channel_count() == 4; }));

  dvr_->DvrNotice(4);  // a modem user: only told
  ASSERT_TRUE(
      PumpUntil([&] { return ui_.HasLog("[ALERT] The modem user connects and video frame comes to be low."); }));
  EXPECT_TRUE(session.connected());

  dvr_->DvrNotice(3);  // too many connections: told, beeped and disconnected
  ASSERT_TRUE(PumpUntil([&] { return !session.connected(); }));
  EXPECT_TRUE(ui_.HasLog("[ALERT] The DVR connection of number is under exceeding."));
  EXPECT_EQ(ui_.beeps(), 1);

  Connect(0);
  ASSERT_TRUE(PumpUntil([&] { return session.channel_count() == 4; }));
  dvr_->AdminNotice(0x11);
  ASSERT_TRUE(PumpUntil([&] { return !session.connected(); }));
  EXPECT_TRUE(trace_.Contains("[LIVE DVR 0] The administrator is using the dvr system. pc client network disconnect."));
}

TEST_F(LiveSessionTest, DvrDroppingOrResettingTheConnectionFreesTheSlot) {
  CLiveSession& session = Connect(0);
  ASSERT_TRUE(PumpUntil([&] { return session.channel_count() == 4; }));
  dvr_->Reset(dvremu::Target::kCommand);
  ASSERT_TRUE(PumpUntil([&] { return !session.connected(); }));
  EXPECT_TRUE(trace_.Contains("[LIVE DVR 0] The connection was reset by the remote side."));
  EXPECT_TRUE(trace_.Contains("DVR 1 Command socket close error !!!"));
  EXPECT_TRUE(viewer_->cells().CellsOf(0).empty());

  Connect(0);
  ASSERT_TRUE(PumpUntil([&] { return session.channel_count() == 4; }));
  dvr_->Drop(dvremu::Target::kCommand);
  ASSERT_TRUE(PumpUntil([&] { return !session.connected(); }));
  EXPECT_TRUE(trace_.Contains("[LIVE DVR 0] Live command port socket close !!!"));
}

TEST_F(LiveSessionTest, GarbageIsSkippedButAnOversizedPacketCostsTheConnection) {
  CLiveSession& session = Connect(0);
  ASSERT_TRUE(PumpUntil([&] { return session.channel_count() == 4; }));
  dvr_->Garbage(dvremu::Target::kCommand, 40);
  dvr_->DvrNotice(4);
  ASSERT_TRUE(
      PumpUntil([&] { return ui_.HasLog("[ALERT] The modem user connects and video frame comes to be low."); }));
  EXPECT_TRUE(session.connected());

  dvr_->Oversize(dvremu::Target::kCommand);
  ASSERT_TRUE(PumpUntil([&] { return !session.connected(); }));
  EXPECT_TRUE(viewer_->cells().CellsOf(0).empty());
}

// A reply without its result byte once read as success (the reader yields 0
// past the end); it is malformed, and handled as a failed reply.
TEST_F(LiveSessionTest, RepliesTooShortForTheirResultByteFail) {
  uint16_t port = 0;
  const int listener = platform::ListenOnLoopback(0, &port);
  ASSERT_GE(listener, 0);
  CLiveSession& session = viewer_->session(1);
  ASSERT_EQ(session.SetLogonData("127.0.0.1", port, "admin", "1234", true), 0);
  const int peer = accept(listener, nullptr, nullptr);
  ASSERT_GE(peer, 0);
  for (const uint32_t code : {protocol::cmd::RESP_CHANNEL_CHANGE, protocol::cmd::LOGON_RESULT}) {
    const auto header = protocol::BuildHeader(protocol::PortKind::kCommand, 0, code);
    ASSERT_EQ(send(peer, header.data(), header.size(), MSG_NOSIGNAL), static_cast<ssize_t>(header.size()));
  }
  ASSERT_TRUE(PumpUntil([&] { return ui_.HasLog("[NOTICE] Logon failed."); }));
  EXPECT_TRUE(trace_.Contains("[LIVE DVR 1] Malformed channel change reply (0 bytes) !!!"));
  EXPECT_TRUE(trace_.Contains("[LIVE DVR 1] Channel change failed !!!"));
  EXPECT_TRUE(trace_.Contains("[LIVE DVR 1] Malformed logon result (0 bytes) !!!"));
  EXPECT_FALSE(trace_.Contains("[LIVESESSION 1] live session logon."));
  EXPECT_TRUE(ui_.HasMessageContaining("Make sure your IP Address are correct."));
  EXPECT_EQ(ui_.last_state(1), ConnectionState::kFailed);
  EXPECT_TRUE(PumpUntil([&] { return !session.connected(); }));
  close(peer);
  close(listener);
}

// Empty notices and an empty ByPass reply once read as kind 0 and success:
// the first beeped and disconnected, the second claimed success. Each is
// malformed and costs only its packet.
TEST_F(LiveSessionTest, EmptyNoticesAndByPassRepliesCostOnlyTheirPacket) {
  uint16_t port = 0;
  const int listener = platform::ListenOnLoopback(0, &port);
  ASSERT_GE(listener, 0);
  CLiveSession& session = viewer_->session(2);
  ASSERT_EQ(session.SetLogonData("127.0.0.1", port, "admin", "1234", true), 0);
  const int peer = accept(listener, nullptr, nullptr);
  ASSERT_GE(peer, 0);
  ASSERT_TRUE(PumpUntil([&] { return session.connected(); }));
  for (const uint32_t code : {protocol::cmd::DVR_NOTICE, protocol::cmd::ADMIN_NOTICE, protocol::cmd::BYPASS_REPLY,
                              protocol::cmd::RESP_LIVESTREAM}) {
    const auto header = protocol::BuildHeader(protocol::PortKind::kCommand, 0, code);
    ASSERT_EQ(send(peer, header.data(), header.size(), MSG_NOSIGNAL), static_cast<ssize_t>(header.size()));
  }
  // A success without its sub-code is cut short as well.
  auto bypass = protocol::BuildHeader(protocol::PortKind::kCommand, 1, protocol::cmd::BYPASS_REPLY);
  std::vector<uint8_t> bytes(bypass.begin(), bypass.end());
  bytes.push_back(protocol::result::kSuccess);
  // Then a notice that is only told: once it shows, a disconnect queued by
  // the packets before it would have run.
  const auto notice = protocol::BuildHeader(protocol::PortKind::kCommand, 1, protocol::cmd::DVR_NOTICE);
  bytes.insert(bytes.end(), notice.begin(), notice.end());
  bytes.push_back(4);
  ASSERT_EQ(send(peer, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
  const std::string told = "[ALERT] The modem user connects and video frame comes to be low.";
  ASSERT_TRUE(PumpUntil([&] { return ui_.HasLog(told); }));
  EXPECT_TRUE(trace_.Contains("[LIVE DVR 2] Malformed DVR notice (0 bytes) !!!"));
  EXPECT_TRUE(trace_.Contains("[LIVE DVR 2] Malformed ByPass reply (0 bytes) !!!"));
  EXPECT_TRUE(trace_.Contains("[LIVE DVR 2] Malformed ByPass reply (1 bytes) !!!"));
  EXPECT_FALSE(trace_.Contains("[LIVE DVR 2] ByPass command succeeded !!!"));
  EXPECT_TRUE(session.connected());
  EXPECT_EQ(ui_.beeps(), 0);
  EXPECT_EQ(ui_.log().size(), 1u);
  EXPECT_EQ(session.channel_count(), 0);
  viewer_->DisconnectSlot(2);
  close(peer);
  close(listener);
}

TEST_F(LiveSessionTest, ResetWhileTheWorkerWaitsForTheOwnerThreadIsPrompt) {
  CLiveSession& session = Connect(0);
  // Without events being processed, the worker blocks handing the end of
  // the busy indicator for the DVR's authentication request to this thread.
  ASSERT_TRUE(trace_.WaitFor("[LIVE DVR 0] Live Command Protocol parse code : 0x5101", 5s));
  ASSERT_TRUE(ui_.busy());
  const auto start = std::chrono::steady_clock::now();
  session.Reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_FALSE(trace_.Contains("[COMMAND SOCKET] command receive thread proc not exiting. Terminating it."));
  // The abandoned hand-over never runs.
  PumpUntil([] { return false; }, 100ms);
  EXPECT_TRUE(ui_.busy());
  EXPECT_FALSE(viewer_->IsKeepAliveRunning(0));
}

TEST_F(LiveSessionTest, ARequestForASlotInUseIsRefusedAndKeepsItsDvr) {
  CLiveSession& session = Connect(0);
  ASSERT_TRUE(PumpUntil([&] { return session.channel_count() == 4; }));
  EXPECT_EQ(session.SetLogonData("10.9.9.9", 4000, "other", "pw", true), kAlreadyConnected);
  EXPECT_TRUE(trace_.Contains("[LIVE DVR 0] live slot in use; connection request refused."));
  EXPECT_EQ(session.info().address, "127.0.0.1");
  EXPECT_EQ(session.user_name(), "admin");
  EXPECT_TRUE(session.connected());
  viewer_->DisconnectSlot(0);
  EXPECT_FALSE(session.in_use());
}

TEST_F(LiveSessionTest, ATypedPasswordIsMaskedInTheTrace) {
  // A manual logon may not name 127.0.0.1: the modem link's address.
  dvremu::EmulatorOptions options;
  options.bind_address = "127.0.0.2";
  auto dvr = testing::StartEmulator(options);
  ASSERT_TRUE(dvr);
  CLiveSession& session = viewer_->session(0);
  ASSERT_EQ(session.SetLogonData("127.0.0.2", dvr->command_port(), "", "", true), 0);
  ASSERT_TRUE(PumpUntil([&] { return ui_.last_state(0) == ConnectionState::kAwaitingLogon; }));
  ui_.SetLogonFields("admin", "1234");
  session.SubmitLogon();
  ASSERT_TRUE(PumpUntil([&] { return session.channel_count() == 4; }));
  EXPECT_TRUE(trace_.Contains("[LIVE DVR 0] Live logon UserName: admin, Password : ****"));
  for (const std::string& text : trace_.Texts()) EXPECT_EQ(text.find("Password : 1234"), std::string::npos) << text;
  viewer_->DisconnectSlot(0);
  dvr->Stop();
}

// A DVR that accepts the connection and then reads nothing more.
TEST_F(LiveSessionTest, ASendToADvrThatStoppedReadingCostsTheConnectionAfterASecond) {
  uint16_t port = 0;
  const int listener = platform::ListenOnLoopback(0, &port);
  ASSERT_GE(listener, 0);
  const int small = 4096;
  setsockopt(listener, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  CLiveSession& session = viewer_->session(0);
  ASSERT_EQ(session.SetLogonData("127.0.0.1", port, "admin", "1234", true), 0);
  const int peer = accept(listener, nullptr, nullptr);
  ASSERT_GE(peer, 0);
  ASSERT_TRUE(PumpUntil([&] { return session.connected(); }));

  // Keep-alives from this (the owner) thread until the DVR's window is full.
  const auto start = std::chrono::steady_clock::now();
  int sent = 0;
  while (sent < 100000 && session.SendKeepAlive() == 0) ++sent;
  EXPECT_LT(sent, 100000);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);  // held a second, not five
  // Lost as by a reset: the close procedure takes the slot down.
  ASSERT_TRUE(PumpUntil([&] { return !session.in_use(); }));
  EXPECT_TRUE(trace_.Contains("[LIVE DVR 0] The connection was reset by the remote side."));
  EXPECT_TRUE(trace_.Contains("DVR 1 Command socket close error !!!"));
  close(peer);
  close(listener);
}

TEST(LiveSessionModem, TelephoneLinkGoesThroughTheLocalBridgePort) {
  testing::Application();
  // The emulator stands in for the modem link's bridge.
  dvremu::EmulatorOptions options;
  options.read_stdin = false;
  auto dvr = dvremu::DvrEmulator::StartOnFreePorts(options);
  ASSERT_TRUE(dvr);
  dvremu::DvrEmulator& bridge = *dvr;
  testing::BridgePortForTest bridge_port(bridge.command_port());
  platform::TraceCapture trace;
  RecordingUi ui;
  CLiveViewer viewer(ui, nullptr);
  CLiveSession& session = viewer.session(1);
  ASSERT_EQ(session.SetLogonData("02-555-1234", 4000, "admin", "1234", false), 0);
  EXPECT_TRUE(trace.Contains(
      "[LIVE DVR 1] Live logon data Telephone Number : 02-555-1234, Port : " + std::to_string(bridge.command_port()) +
      ", Username : admin, "
      "Password : ****"));
  ASSERT_TRUE(PumpUntil([&] { return session.channel_count() == 4; }));
  EXPECT_TRUE(session.over_modem());
  EXPECT_EQ(viewer.KeepAlivePeriodMs(1), kModemKeepAliveMs);

  // Over the modem the stop waits for the DVR's confirmation.
  viewer.DisconnectSlot(1);
  EXPECT_TRUE(session.connected());
  ASSERT_TRUE(PumpUntil([&] { return !session.connected(); }));
  EXPECT_TRUE(trace.Contains("[LIVE DVR 1] RESPONSE STOP LIVESTREAM ==> Network disconnect(0x41)"));
  bridge.Stop();
}

TEST(CellAllocator, SlotsShareSixteenCells) {
  CellAllocator cells;
  EXPECT_EQ(cells.AssignCells(0, 4), 4);
  EXPECT_EQ(cells.AssignCells(1, 8), 8);
  EXPECT_EQ(cells.AssignCells(2, 4), 4);
  EXPECT_EQ(cells.AssignCells(3, 4), -1);
  EXPECT_EQ(cells.CellsOf(1), (std::vector<uint8_t>{4, 5, 6, 7, 8, 9, 10, 11}));
  EXPECT_EQ(cells.CellsOf(2), (std::vector<uint8_t>{12, 13, 14, 15}));
  cells.ReleaseCells(0);
  EXPECT_EQ(cells.AssignCells(3, 4), 4);
  EXPECT_EQ(cells.CellsOf(3), (std::vector<uint8_t>{0, 1, 2, 3}));
  EXPECT_EQ(cells.OwnerOf(9), (std::pair<int, int>{1, 5}));

  CellAllocator eights;
  EXPECT_EQ(eights.AssignCells(0, 8), 8);
  EXPECT_EQ(eights.AssignCells(1, 8), 8);
  EXPECT_EQ(eights.AssignCells(2, 8), -1);  // 8 + 8 + 8 passes 16 cells
  EXPECT_EQ(eights.AssignCells(2, 0), -1);
  EXPECT_EQ(eights.AssignCells(2, 9), -1);
}

}  // namespace
}  // namespace sessions
