// End to end: each command of the emulator's script language shows on the
// wire of a client connected to it.
#include <gtest/gtest.h>

#include <sys/socket.h>

#include <cstring>
#include <thread>

#include "protocol/command_codes.h"
#include "tests/dvremu_test_client.h"
#include "tools/dvremu/dvr_emulator.h"
#include "tools/dvremu/script.h"

namespace {

using dvremu_test::TestClient;
using namespace std::chrono_literals;
namespace cmd = protocol::cmd;

class DvremuScriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dvremu::EmulatorOptions options;
    options.port = 0;
    options.read_stdin = false;
    options.recorded_days = 5;
    dvr_ = std::make_unique<dvremu::DvrEmulator>(options);
    std::string error;
    ASSERT_TRUE(dvr_->Start(&error)) << error;
    runner_ = std::make_unique<dvremu::ScriptRunner>(*dvr_);
    ASSERT_TRUE(command_.Connect(dvr_->command_port()));
    ASSERT_TRUE(command_.LogOn("admin", "1234"));
  }
  void Run(const std::string& line) {
    std::string error;
    ASSERT_TRUE(runner_->Execute(line, &error)) << line << ": " << error;
  }

  std::unique_ptr<dvremu::DvrEmulator> dvr_;
  std::unique_ptr<dvremu::ScriptRunner> runner_;
  TestClient command_{protocol::PortKind::kCommand};
};

TEST_F(DvremuScriptTest, AlarmsAndNoticesReachLoggedOnClients) {
  struct Case {
    const char* line;
    uint32_t code;
    std::vector<uint8_t> payload;
  } cases[] = {
      {"sensor 3", cmd::SENSOR_ALARM, {0x00, 3}},
      {"motion 9", cmd::MOTION_ALARM, {0x00, 9}},  // out of range on purpose
      {"admin-notice", cmd::ADMIN_NOTICE, {0x11}},
      {"admin-notice 0x22", cmd::ADMIN_NOTICE, {0x22}},
      {"dvr-notice 1", cmd::DVR_NOTICE, {1}},
      {"dvr-notice 4", cmd::DVR_NOTICE, {4}},
  };
  for (const auto& c : cases) {
    Run(c.line);
    const auto packet = command_.Receive();
    ASSERT_TRUE(packet) << c.line;
    EXPECT_EQ(packet->code, c.code) << c.line;
    EXPECT_EQ(packet->payload, c.payload) << c.line;
  }
}

TEST_F(DvremuScriptTest, NextResultReplacesTheResultOfOneReply) {
  Run("next-result 0x51");
  command_.Send(cmd::REQ_LIVESTREAM);
  const auto first = command_.WaitFor(cmd::RESP_LIVESTREAM);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->payload[0], 0x51);
  command_.Send(cmd::REQ_LIVESTREAM);
  const auto second = command_.WaitFor(cmd::RESP_LIVESTREAM);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->payload[0], 0x00);
}

TEST_F(DvremuScriptTest, DropClosesAndResetAborts) {
  Run("drop command");
  command_.ReceiveRaw(100, 2000ms);
  EXPECT_TRUE(command_.closed());
  EXPECT_EQ(command_.last_errno(), 0);  // an orderly end

  TestClient other(protocol::PortKind::kCommand);
  ASSERT_TRUE(other.Connect(dvr_->command_port()));
  ASSERT_TRUE(other.LogOn("admin", "1234"));
  Run("reset");
  other.ReceiveRaw(100, 2000ms);
  EXPECT_TRUE(other.closed());
  EXPECT_EQ(other.last_errno(), ECONNRESET);
}

TEST_F(DvremuScriptTest, GarbageIsSkippedByAResynchronisingReader) {
  Run("garbage 20");
  const auto noise = command_.ReceiveRaw(20, 2000ms);
  ASSERT_EQ(noise.size(), 20u);
  EXPECT_EQ(std::count(noise.begin(), noise.end(), 'T'), 0);
  // The connection carries on: the next reply arrives whole.
  command_.Send(cmd::REQ_DVR_STATUS, {0x11});
  EXPECT_TRUE(command_.WaitFor(cmd::RESP_DVR_STATUS));
}

TEST_F(DvremuScriptTest, TruncateSendsPartOfAPacketThenCloses) {
  Run("truncate");
  const auto bytes = command_.ReceiveRaw(1000, 2000ms);
  EXPECT_TRUE(command_.closed());
  ASSERT_GE(bytes.size(), 12u);
  const size_t announced = bytes[6] << 8 | bytes[7];
  EXPECT_LT(bytes.size() - 12, announced);
}

TEST_F(DvremuScriptTest, StallHoldsTheNextPacketHalfway) {
  Run("stall 600");
  command_.Send(cmd::REQ_DVR_STATUS, {0x11});
  const auto start = std::chrono::steady_clock::now();
  const auto half = command_.ReceiveRaw(6, 1000ms);
  EXPECT_EQ(half.size(), 6u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 400ms);
  EXPECT_TRUE(command_.ReceiveRaw(1, 300ms).empty());  // nothing more during the stall
  const auto rest = command_.ReceiveRaw(6, 1000ms);
  EXPECT_EQ(rest.size(), 6u);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 550ms);
}

TEST_F(DvremuScriptTest, OversizeAnnouncesMoreThanACommandReceiverTakes) {
  Run("oversize");
  const auto header = command_.ReceiveRaw(12, 2000ms);
  ASSERT_EQ(header.size(), 12u);
  EXPECT_EQ(0, std::memcmp(header.data(), "TOLVA", 5));
  EXPECT_GT(size_t(header[6] << 8 | header[7]), protocol::kCommandMaxPayload);
}

TEST_F(DvremuScriptTest, SleepPausesAndBadLinesAreRefused) {
  const auto start = std::chrono::steady_clock::now();
  Run("sleep 200");
  EXPECT_GE(std::chrono::steady_clock::now() - start, 190ms);
  Run("# a comment");
  Run("");
  std::string error;
  for (const char* bad :
       {"sensor", "sensor x", "sensor 3 4", "explode", "stall 10 nowhere", "garbage 0", "dvr-notice 300"}) {
    EXPECT_FALSE(runner_->Execute(bad, &error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
  Run("quit");
  EXPECT_TRUE(dvr_->stop_requested());
}

}  // namespace
