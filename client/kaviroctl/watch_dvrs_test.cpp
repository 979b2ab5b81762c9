// One kaviroctl watching several DVRs: each on its own session and back-off.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>

#include "client/kaviroctl/console_ui.h"
#include "client/kaviroctl/ctl_commands.h"
#include "client/kaviroctl/interrupt.h"
#include "protocol/command_codes.h"
#include "tools/dvremu/dvr_emulator.h"

namespace kaviroctl {
namespace {

class WatchDvrsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "watch_dvrs_test";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    for (auto& dvr : dvrs_) {
      dvremu::EmulatorOptions options;
      options.channels = 4;
      options.read_stdin = false;
      dvr = dvremu::DvrEmulator::StartOnFreePorts(options);
      ASSERT_TRUE(dvr);
    }
  }
  void TearDown() override {
    for (auto& dvr : dvrs_) dvr->Stop();
  }

  std::string Tag(int index) const { return "127.0.0.1:" + std::to_string(dvrs_[index]->command_port()); }

  static size_t Count(dvremu::DvrEmulator& dvr, uint32_t code) {
    const auto commands = dvr.ReceivedCommands();
    return std::count_if(commands.begin(), commands.end(), [&](const auto& command) { return command.code == code; });
  }

  // Waits (with a generous bound) until the DVR's live stream is asked for.
  static bool StreamAsked(dvremu::DvrEmulator& dvr) {
    for (int i = 0; i < 3000; ++i) {
      if (dvr.ConnectionCount(dvremu::Target::kStream) > 0 && Count(dvr, protocol::cmd::CHANNEL_CHANGE) > 0) {
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  // Watches both DVRs while `fault` runs on another thread once both stream.
  int Watch(std::vector<std::string> args, const std::function<void()>& fault) {
    for (int i = 0; i < 2; ++i) {
      dvrs_[i]->ClearReceivedCommands();
      args.insert(args.end(), {"--dvr", Tag(i)});
    }
    std::thread injector([&] {
      if (StreamAsked(*dvrs_[0]) && StreamAsked(*dvrs_[1])) {
        fault();
      } else {
        ADD_FAILURE() << "the watch did not start";
      }
    });
    const int code = RunCommand(args, out_, err_);
    injector.join();
    return code;
  }

  std::unique_ptr<dvremu::DvrEmulator> dvrs_[2];
  std::ostringstream out_, err_;
};

TEST_F(WatchDvrsTest, ADropOfOneDvrLeavesTheOtherAloneAndIsReconnected) {
  CatchInterrupts();
  bool back = false;
  size_t other_logons = 0;
  size_t other_connections = 0;
  const int code = Watch({"watch", "--password", "1234", "--seconds", "120", "--reconnect"}, [&] {
    other_logons = Count(*dvrs_[1], protocol::cmd::AUTH_DATA);
    dvrs_[0]->ClearReceivedCommands();
    dvrs_[0]->Drop(dvremu::Target::kCommand);
    back = StreamAsked(*dvrs_[0]);
    other_logons = Count(*dvrs_[1], protocol::cmd::AUTH_DATA) - other_logons;
    other_connections = dvrs_[1]->ConnectionCount(dvremu::Target::kCommand);
    kill(getpid(), SIGTERM);
  });
  ClearInterrupt();
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  EXPECT_TRUE(back);
  EXPECT_EQ(code, 128 + SIGTERM) << err_.str();
  const std::string err = err_.str();
  EXPECT_NE(err.find("kaviroctl: " + Tag(0) + ": connection lost; reconnect attempt 1 in 2 s\n"), std::string::npos)
      << err;
  EXPECT_NE(err.find("kaviroctl: " + Tag(0) + ": reconnected\n"), std::string::npos) << err;
  EXPECT_EQ(err.find(Tag(1) + ": connection lost"), std::string::npos) << err;
  EXPECT_EQ(other_logons, 0u);
  EXPECT_EQ(other_connections, 1u);
  // Every line says which DVR it came from.
  const std::string out = out_.str();
  EXPECT_NE(out.find(Tag(0) + " log: [NOTICE] DVR 1 Reconnect attempt 1"), std::string::npos) << out;
  EXPECT_NE(out.find(Tag(1) + " log: "), std::string::npos) << out;
}

// A DVR taken over by its administrator is not reconnected; the watch of the
// other one goes on to its time, and the code then says what was lost.
TEST_F(WatchDvrsTest, ADvrLostForGoodIsToldWhileTheOtherIsWatchedToTheEnd) {
  const auto began = std::chrono::steady_clock::now();
  const int code = Watch({"watch", "--password", "1234", "--seconds", "4", "--reconnect", "--json"},
                         [&] { dvrs_[1]->AdminNotice(0x11); });
  EXPECT_GE(std::chrono::steady_clock::now() - began, std::chrono::seconds(4));
  EXPECT_EQ(code, static_cast<int>(Outcome::kAdminBusy)) << err_.str();
  const std::string err = err_.str();
  EXPECT_NE(err.find("kaviroctl: " + Tag(1) + ": the DVR's administrator is using it\n"), std::string::npos) << err;
  EXPECT_EQ(err.find("kaviroctl: " + Tag(0) + ": "), std::string::npos) << err;
  // Disconnected at the end: the emulator sees the close a moment later.
  for (int i = 0; i < 1000 && dvrs_[0]->ConnectionCount(dvremu::Target::kCommand) != 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(dvrs_[0]->ConnectionCount(dvremu::Target::kCommand), 0u);
  EXPECT_NE(out_.str().find("\"address\":\"" + Tag(0) + "\""), std::string::npos) << out_.str();
}

TEST_F(WatchDvrsTest, ADvrThatCannotBeReachedAtTheStartSaysWhich) {
  const int code = RunCommand(
      {"watch", "--password", "1234", "--timeout", "5", "--dvr", Tag(0), "--dvr", "127.0.0.1:1"}, out_, err_);
  EXPECT_EQ(code, static_cast<int>(Outcome::kRefused)) << err_.str();
  EXPECT_NE(err_.str().find("kaviroctl: 127.0.0.1:1: "), std::string::npos) << err_.str();
}

TEST_F(WatchDvrsTest, TheDvrOptionIsCheckedBeforeAnyConnection) {
  const std::string a = Tag(0);
  const std::vector<std::vector<std::string>> wrong = {
      {"record", "--out", "/nonexistent", "--dvr", a},
      {"watch", "--dvr", a, "--host", "127.0.0.1"},
      {"watch", "--port", "4000", "--dvr", a},
      {"watch", "--dvr", "127.0.0.1"},
      {"watch", "--dvr", ":4000"},
      {"watch", "--dvr", "127.0.0.1:65535"},
      {"watch", "--dvr", a, "--dvr", a, "--dvr", a, "--dvr", a, "--dvr", a},
  };
  for (std::vector<std::string> args : wrong) {
    args.insert(args.end(), {"--password", "1234"});
    out_.str("");
    err_.str("");
    EXPECT_EQ(RunCommand(args, out_, err_), static_cast<int>(Outcome::kUsage)) << args[2] << " " << err_.str();
  }
  EXPECT_EQ(Count(*dvrs_[0], protocol::cmd::AUTH_DATA), 0u);
}

}  // namespace
}  // namespace kaviroctl
