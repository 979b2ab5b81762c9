#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QImage>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <thread>

#include "client/kaviroctl/console_ui.h"
#include "client/kaviroctl/ctl_commands.h"
#include "client/kaviroctl/frame_capture.h"
#include "client/kaviroctl/interrupt.h"
#include "platform/tcp_socket.h"
#include "protocol/command_codes.h"
#include "tools/dvremu/dvr_emulator.h"
#include "viewer_control/engine/testing/engine_test_support.h"

namespace kaviroctl {
namespace {

class KaviroctlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vistrel::test::EnsureApplication();
    dir_ = std::filesystem::temp_directory_path() / ("kaviroctl-test-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir_);
  }
  void TearDown() override {
    if (dvr_) dvr_->Stop();
    std::filesystem::remove_all(dir_);
  }

  void StartDvr(int channels = 4) {
    dvremu::EmulatorOptions options;
    options.channels = channels;
    options.read_stdin = false;
    dvr_ = dvremu::DvrEmulator::StartOnFreePorts(options);
    ASSERT_TRUE(dvr_);
  }

  int Run(std::vector<std::string> args) {
    out_.str("");
    err_.str("");
    if (dvr_) {
      args.insert(args.end(), {"--port", std::to_string(dvr_->command_port())});
    }
    return RunCommand(args, out_, err_);
  }

  // Runs the command while another thread does `fault` once the command is
  // under way: the client's channel request (sent a second after the stream
  // logon) has come, and a recording has its first file.
  int RunWithFault(std::vector<std::string> args, const std::function<void()>& fault) {
    dvr_->ClearReceivedCommands();
    const bool records = args[0] == "record";
    std::thread injector([&] {
      auto begun = [&] {
        const auto commands = dvr_->ReceivedCommands();
        const bool requested = std::any_of(commands.begin(), commands.end(), [](const auto& command) {
          return command.code == protocol::cmd::CHANNEL_CHANGE;
        });
        std::error_code error;
        return requested && (!records || std::filesystem::recursive_directory_iterator(dir_, error) !=
                                             std::filesystem::recursive_directory_iterator());
      };
      for (int i = 0; i < 2000 && !begun(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      fault();
    });
    const int code = Run(std::move(args));
    injector.join();
    return code;
  }

  std::filesystem::path dir_;
  std::unique_ptr<dvremu::DvrEmulator> dvr_;
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(KaviroctlTest, ProbeReportsChannelsMaskAndPictureRates) {
  StartDvr(8);
  ASSERT_EQ(Run({"probe", "--password", "1234", "--seconds", "2"}), 0) << err_.str();
  const std::string text = out_.str();
  EXPECT_EQ(text.find("logon: accepted"), std::string::npos) << "the logon lines belong on standard error";
  EXPECT_NE(err_.str().find("logon: accepted"), std::string::npos);
  EXPECT_NE(text.find("channels: 8"), std::string::npos);
  EXPECT_NE(text.find("pan/tilt mask: 0x05"), std::string::npos);
  EXPECT_NE(text.find("channel 8: "), std::string::npos);
  EXPECT_EQ(text.find(": 0.0 pictures/s"), std::string::npos) << text;
}

TEST_F(KaviroctlTest, SnapshotWritesOneDistinctPicturePerChannel) {
  StartDvr(4);
  ASSERT_EQ(Run({"snapshot", "--password", "1234", "--out", dir_.string()}), 0) << err_.str();
  std::vector<QImage> images;
  for (int channel = 1; channel <= 4; ++channel) {
    char name[16];
    std::snprintf(name, sizeof name, "ch%02d.png", channel);
    QImage image((dir_ / name).c_str());
    ASSERT_FALSE(image.isNull()) << name;
    EXPECT_EQ(image.size(), QSize(352, 240));
    images.push_back(image);
  }
  for (size_t a = 0; a < images.size(); ++a) {
    for (size_t b = a + 1; b < images.size(); ++b) EXPECT_NE(images[a], images[b]);
  }
}

TEST_F(KaviroctlTest, ASnapshotThatCannotBeWrittenWholeLeavesNoFile) {
  QImage noise(352, 240, QImage::Format_RGB888);
  uint32_t seed = 1;
  for (int y = 0; y < noise.height(); ++y) {
    for (int x = 0; x < noise.width(); ++x) {
      seed = seed * 1103515245u + 12345u;
      noise.setPixel(x, y, seed >> 8);
    }
  }
  std::filesystem::create_directories(dir_);
  PictureSaved saved;
  CtlReport report(out_, false);
  {
    vistrel::test::FileSizeLimit full(4096);
    saved = SaveChannelPicture(noise, 1, dir_.string(), report, err_);
  }
  EXPECT_EQ(saved, PictureSaved::kFailed);
  EXPECT_NE(err_.str().find("kaviroctl: cannot write "), std::string::npos) << err_.str();
  EXPECT_FALSE(std::filesystem::exists(dir_ / "ch01.png")) << "half a picture stays behind";
}

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Recording starts as soon as the stream port is up, before the VOL packet:
// every channel's file still carries the VOL and decodes.
TEST_F(KaviroctlTest, RecordWritesRecorderFilesThatDecode) {
  StartDvr(4);
  ASSERT_EQ(Run({"record", "--password", "1234", "--seconds", "2", "--out", dir_.string()}), 0) << err_.str();
  const std::string text = out_.str();
  EXPECT_NE(text.find("000.rmp"), std::string::npos) << text;
  EXPECT_NE(text.find("003.rmg"), std::string::npos) << text;
  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_)) {
    if (entry.path().extension() != ".rmp") continue;
    ++files;
    const std::vector<uint8_t> rmp = ReadFile(entry.path());
    ASSERT_GT(rmp.size(), 24u) << entry.path();
    const std::vector<uint8_t> vol_start = {0, 0, 1, 1, 0, 0, 1, 0x20};
    EXPECT_TRUE(std::equal(vol_start.begin(), vol_start.end(), rmp.begin() + 5)) << entry.path();
    const size_t pictures = vistrel::test::RecordedPictures(rmp).size();
    EXPECT_GT(pictures, 0u);
    EXPECT_EQ(vistrel::test::DecodableRecordedPictures(rmp), static_cast<int>(pictures)) << entry.path();
  }
  EXPECT_EQ(files, 4);
}

TEST_F(KaviroctlTest, RecordEndsWithItsOwnCodeWhenTheDiskFills) {
  StartDvr(4);
  int code;
  {
    // Room for the run's own configuration store, not for the video.
    vistrel::test::FileSizeLimit full(64 * 1024);
    code = Run({"record", "--password", "1234", "--seconds", "30", "--out", dir_.string()});
  }
  EXPECT_EQ(code, static_cast<int>(Outcome::kWriteFailed)) << err_.str();
  const std::string errors = err_.str();
  EXPECT_NE(errors.find("kaviroctl: recording write failed: "), std::string::npos) << errors;
  EXPECT_NE(errors.find(".rmp: File too large"), std::string::npos) << errors;
  EXPECT_NE(errors.find("kaviroctl: kept 8 files, "), std::string::npos) << errors;
}

TEST_F(KaviroctlTest, FailuresHaveTheirOwnExitCodes) {
  StartDvr(4);
  EXPECT_EQ(Run({"probe", "--user", "nobody", "--password", "1234"}), static_cast<int>(Outcome::kWrongUser));
  EXPECT_EQ(Run({"probe", "--password", "0000"}), static_cast<int>(Outcome::kWrongPassword));
  dvr_->ArmNextResult(0x51);
  EXPECT_EQ(Run({"probe", "--password", "1234"}), static_cast<int>(Outcome::kAdminBusy));
  dvr_->ArmNextResult(0x20);
  EXPECT_EQ(Run({"probe", "--password", "1234"}), static_cast<int>(Outcome::kLogonFailed));
  const uint16_t port = dvr_->command_port();
  dvr_->Stop();
  dvr_.reset();
  EXPECT_EQ(RunCommand({"probe", "--password", "1234", "--port", std::to_string(port)}, out_, err_),
            static_cast<int>(Outcome::kRefused));
  EXPECT_EQ(RunCommand({"record", "--password", "1234"}, out_, err_), static_cast<int>(Outcome::kUsage));
  EXPECT_EQ(RunCommand({"probe", "--port", "99999"}, out_, err_), static_cast<int>(Outcome::kUsage));
}

TEST_F(KaviroctlTest, StatusPrintsEveryFieldOfTheStatusBlock) {
  StartDvr(8);
  ASSERT_EQ(Run({"status", "--password", "1234"}), 0) << err_.str();
  const std::string text = out_.str();
  for (const char* line : {"version: 1.20.07\n", "model: DVR-8CH\n", "dvr address: 127.0.0.1\n", "capacity: 160 GB\n",
                           "disk 1: 37GB/80GB\n", "disk 2: 12GB/80GB\n", "mode: Overwrite\n", "video: NTSC\n",
                           "service: ON\n", "e-mail: dvr@example.com\n", "service address: 192.168.0.200\n",
                           "dvr id: DVR-01\n", "call number: 0123456789\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << text;
  }
}

TEST_F(KaviroctlTest, StatusSendsTheCallingServiceSettingAndPrintsWhatTheDvrThenReports) {
  StartDvr(4);
  ASSERT_EQ(Run({"status", "--password", "1234", "--set-email", "night@example.org", "--set-service-address",
                 "10.1.2.3", "--set-call-number", ""}),
            0)
      << err_.str();
  const std::string text = out_.str();
  EXPECT_NE(text.find("setting: E-mail & Call Service Setting is success complete. !!!\n"), std::string::npos) << text;
  for (const char* line :
       {"e-mail: night@example.org\n", "service address: 10.1.2.3\n", "dvr id: DVR-01\n", "call number: \n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << text;
  }
  EXPECT_EQ(dvr_->service_setting().email, "night@example.org");

  // Only the user "admin" may send it; nothing reaches the DVR otherwise.
  dvr_.reset();
  dvremu::EmulatorOptions options;
  options.read_stdin = false;
  options.users = {{"Admin", "1234"}};
  dvr_ = dvremu::DvrEmulator::StartOnFreePorts(options);
  ASSERT_TRUE(dvr_);
  EXPECT_EQ(Run({"status", "--user", "Admin", "--password", "1234", "--set-dvr-id", "X"}), 1);
  EXPECT_NE(err_.str().find("Only the admin will be able to use the E-mail and Call service."), std::string::npos);
  EXPECT_EQ(dvr_->service_setting().dvr_id, "DVR-01");
  EXPECT_EQ(Run({"status", "--set-service-address", "10.1.2"}), static_cast<int>(Outcome::kUsage));
  EXPECT_EQ(Run({"light", "--set-email", "a@b"}), static_cast<int>(Outcome::kUsage));
}

TEST_F(KaviroctlTest, LogPrintsTheViewersColumnsAndThePage) {
  StartDvr(4);
  const std::time_t now = std::time(nullptr);
  std::tm today{};
  localtime_r(&now, &today);
  char date[16];
  std::strftime(date, sizeof date, "%Y-%m-%d", &today);
  ASSERT_EQ(Run({"log", "--password", "1234", "--date", date}), 0) << err_.str();
  std::string text = out_.str();
  EXPECT_NE(text.find("page 1 / "), std::string::npos) << text;
  EXPECT_NE(text.find(" : "), std::string::npos);
  EXPECT_NE(text.find("\tPower on\n"), std::string::npos) << text;

  ASSERT_EQ(Run({"log", "--password", "1234", "--date", date, "--page", "2"}), 0) << err_.str();
  EXPECT_NE(out_.str().find("page 2 / "), std::string::npos);
  EXPECT_EQ(Run({"log", "--password", "1234", "--date", date, "--page", "999"}), 1);
  ASSERT_EQ(Run({"log", "--password", "1234", "--date", "2099-01-01"}), 0) << err_.str();
  EXPECT_NE(out_.str().find("page 1 / 1\n2099-01-01 00 : 00 : 00\tNo have log list\n"), std::string::npos)
      << out_.str();
  EXPECT_EQ(Run({"log", "--password", "1234", "--date", "2024-13-01"}), static_cast<int>(Outcome::kUsage));
}

TEST_F(KaviroctlTest, LightShowsAndSwitchesTheLights) {
  StartDvr(4);
  ASSERT_EQ(Run({"light", "--password", "1234"}), 0) << err_.str();
  EXPECT_NE(out_.str().find("lights: 0xF5\nlight 1: on\nlight 2: off\nlight 3: on\nlight 4: off\n"), std::string::npos)
      << out_.str();
  ASSERT_EQ(Run({"light", "--password", "1234", "--set", "0xF4"}), 0) << err_.str();
  EXPECT_NE(out_.str().find("lights: 0xF4\nlight 1: off\n"), std::string::npos) << out_.str();
  EXPECT_EQ(dvr_->lights(), 0xF4);
}

TEST_F(KaviroctlTest, PtzMovesAndPresetsThePanTiltCamera) {
  StartDvr(4);  // pan/tilt cameras on channels 1 and 3
  ASSERT_EQ(Run({"ptz", "--password", "1234", "--channel", "3", "--action", "zoom-in", "--ms", "100"}), 0)
      << err_.str();
  EXPECT_NE(out_.str().find("ptz: channel 3 zoom-in for 100 ms"), std::string::npos);
  ASSERT_EQ(Run({"ptz", "--password", "1234", "--preset", "2", "--store"}), 0) << err_.str();
  EXPECT_EQ(Run({"ptz", "--password", "1234", "--channel", "2", "--action", "up"}), 1);
  std::vector<std::vector<uint8_t>> pantilts;
  // The emulator reads on its own thread; give it a moment for the last ones.
  for (int wait = 0; wait < 100 && pantilts.size() < 3; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    pantilts.clear();
    for (const auto& command : dvr_->ReceivedCommands()) {
      if (command.code == 0x0801) pantilts.push_back(command.payload);
    }
  }
  EXPECT_EQ(pantilts, (std::vector<std::vector<uint8_t>>{{0x16, 3, 6}, {0x16, 3, 9}, {0x16, 0x21, 0x12}}));
  EXPECT_EQ(Run({"ptz", "--password", "1234", "--action", "spin"}), static_cast<int>(Outcome::kUsage));
}

TEST_F(KaviroctlTest, WatchPrintsAlarmsAndAcknowledgesThemOnRequest) {
  StartDvr(4);
  auto raise_alarms = [this] {
    for (int i = 0; i < 200 && dvr_->ConnectionCount(dvremu::Target::kStream) == 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    dvr_->SensorAlarm(3);
    dvr_->MotionAlarm(9);  // out of range: ignored
    dvr_->MotionAlarm(2);
  };
  std::thread alarms(raise_alarms);
  const int code = Run({"watch", "--password", "1234", "--seconds", "2", "--ack"});
  alarms.join();
  ASSERT_EQ(code, 0) << err_.str();
  const std::string text = out_.str();
  EXPECT_NE(text.find("log: [ALERT] DVR1, Sensor #3 Detection\n"), std::string::npos) << text;
  EXPECT_NE(text.find("alarm: Sensor Alarm Out, DVR 1, sensor 3\n"), std::string::npos) << text;
  EXPECT_NE(text.find("acknowledged: DVR 1, channel 2\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("channel 9"), std::string::npos) << text;
  size_t stops = 0;
  for (const auto& command : dvr_->ReceivedCommands()) {
    if (command.code == 0x0A01 && command.payload == std::vector<uint8_t>{'t', 'v'}) ++stops;
  }
  EXPECT_EQ(stops, 2u);

  // Without --ack the boxes stay up and nothing is released.
  dvr_->ClearReceivedCommands();
  std::thread unanswered(raise_alarms);
  ASSERT_EQ(Run({"watch", "--password", "1234", "--seconds", "2"}), 0) << err_.str();
  unanswered.join();
  EXPECT_NE(out_.str().find("alarm: Motion Alarm Out, DVR 1, channel 2\n"), std::string::npos) << out_.str();
  EXPECT_EQ(out_.str().find("acknowledged"), std::string::npos);
  for (const auto& command : dvr_->ReceivedCommands()) EXPECT_NE(command.code, 0x0A01u);
}

TEST_F(KaviroctlTest, AnOutputFolderThatCannotBeMadeIsAFailureWithItsReason) {
  StartDvr(4);
  std::filesystem::create_directories(dir_);
  std::ofstream(dir_ / "plain-file") << "x";
  for (const char* command : {"snapshot", "record"}) {
    const std::string out = (dir_ / "plain-file" / "sub").string();
    EXPECT_EQ(Run({command, "--password", "1234", "--out", out}), static_cast<int>(Outcome::kFailed)) << command;
    EXPECT_NE(err_.str().find("kaviroctl: cannot make the folder " + out + ": "), std::string::npos) << err_.str();
  }
}

// A link that goes while recording is no success: the reason, and what was
// kept, on standard error.
TEST_F(KaviroctlTest, RecordEndsWithTheReasonWhenTheConnectionGoes) {
  StartDvr(4);
  const std::vector<std::string> record = {"record", "--password", "1234", "--seconds", "60", "--out", dir_.string()};
  const std::pair<const char*, std::function<void()>> faults[] = {
      {"drop stream", [&] { dvr_->Drop(dvremu::Target::kStream); }},
      {"reset command", [&] { dvr_->Reset(dvremu::Target::kCommand); }},
      {"truncate stream", [&] { dvr_->Truncate(dvremu::Target::kStream); }},
  };
  for (const auto& [name, fault] : faults) {
    EXPECT_EQ(RunWithFault(record, fault), static_cast<int>(Outcome::kConnectionLost)) << name;
    EXPECT_NE(err_.str().find("kaviroctl: connection lost after "), std::string::npos) << name << err_.str();
    EXPECT_NE(err_.str().find(" of 60 s; kept "), std::string::npos) << name << err_.str();
    std::filesystem::remove_all(dir_);
  }
  EXPECT_EQ(RunWithFault(record, [&] { dvr_->AdminNotice(0x11); }), static_cast<int>(Outcome::kAdminBusy));
  EXPECT_NE(err_.str().find("kaviroctl: the DVR's administrator is using it after "), std::string::npos) << err_.str();
}

TEST_F(KaviroctlTest, WatchEndsWithTheReasonWhenTheConnectionGoes) {
  StartDvr(4);
  const std::vector<std::string> watch = {"watch", "--password", "1234", "--seconds", "60"};
  EXPECT_EQ(RunWithFault(watch, [&] { dvr_->Drop(dvremu::Target::kCommand); }),
            static_cast<int>(Outcome::kConnectionLost));
  EXPECT_NE(err_.str().find("kaviroctl: connection lost\n"), std::string::npos) << err_.str();
  EXPECT_EQ(RunWithFault(watch, [&] { dvr_->AdminNotice(0x11); }), static_cast<int>(Outcome::kAdminBusy));
}

TEST_F(KaviroctlTest, APeerThatAcceptsAndClosesIsALostConnectionNotATimeout) {
  uint16_t port = 0;
  const int listener = platform::ListenOnLoopback(0, &port);
  ASSERT_GE(listener, 0);
  std::thread peer([listener] {
    const int accepted = accept(listener, nullptr, nullptr);
    if (accepted >= 0) close(accepted);
  });
  const int code =
      RunCommand({"probe", "--password", "1234", "--port", std::to_string(port), "--timeout", "30"}, out_, err_);
  peer.join();
  close(listener);
  EXPECT_EQ(code, static_cast<int>(Outcome::kConnectionLost));
  EXPECT_NE(err_.str().find("kaviroctl: connection lost\n"), std::string::npos) << err_.str();
}

// SIGTERM ends a recording through the normal way out: the files are closed
// and listed, the temporary settings store is gone.
TEST_F(KaviroctlTest, WatchWithReconnectWaitsOutADropAndTheStreamReturns) {
  StartDvr(4);
  const uint16_t port = dvr_->command_port();
  std::unique_ptr<dvremu::DvrEmulator> back;
  bool stream_back = false;
  CatchInterrupts();
  // The DVR goes down and comes back on its port before the first attempt
  // is due; once the client asked the new one for its channels, the watch
  // is ended as an operator would end it.
  const int code = RunWithFault({"watch", "--password", "1234", "--seconds", "60", "--reconnect"}, [&] {
    dvr_->Stop();
    dvremu::EmulatorOptions options;
    options.channels = 4;
    options.port = port;
    options.read_stdin = false;
    back = std::make_unique<dvremu::DvrEmulator>(options);
    std::string error;
    if (!back->Start(&error)) ADD_FAILURE() << error;
    for (int i = 0; i < 3000 && !stream_back; ++i) {
      const auto commands = back->ReceivedCommands();
      stream_back = back->ConnectionCount(dvremu::Target::kStream) > 0 &&
                    std::any_of(commands.begin(), commands.end(),
                                [](const auto& command) { return command.code == protocol::cmd::CHANNEL_CHANGE; });
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(getpid(), SIGTERM);
  });
  ClearInterrupt();
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  back->Stop();
  EXPECT_TRUE(stream_back);
  EXPECT_EQ(code, 128 + SIGTERM);
  EXPECT_NE(err_.str().find("kaviroctl: connection lost; reconnect attempt 1 in 2 s\n"), std::string::npos)
      << err_.str();
  EXPECT_NE(err_.str().find("kaviroctl: reconnected\n"), std::string::npos) << err_.str();
  EXPECT_NE(out_.str().find("log: [NOTICE] DVR 1 Reconnect attempt 1"), std::string::npos) << out_.str();
  // Only watch reconnects.
  EXPECT_EQ(Run({"probe", "--password", "1234", "--reconnect"}), static_cast<int>(Outcome::kUsage));
}

TEST_F(KaviroctlTest, AnInterruptedRecordCleansUpAfterItself) {
  StartDvr(4);
  const std::filesystem::path temporary = dir_.string() + "-tmp";
  std::filesystem::create_directories(temporary);
  const char* tmpdir = std::getenv("TMPDIR");
  const std::string previous = tmpdir ? tmpdir : "";
  setenv("TMPDIR", temporary.c_str(), 1);
  CatchInterrupts();
  const int code = RunWithFault({"record", "--password", "1234", "--seconds", "60", "--out", dir_.string()},
                                [] { kill(getpid(), SIGTERM); });
  ClearInterrupt();
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  if (tmpdir) {
    setenv("TMPDIR", previous.c_str(), 1);
  } else {
    unsetenv("TMPDIR");
  }
  EXPECT_EQ(code, 128 + SIGTERM);
  EXPECT_NE(err_.str().find("kaviroctl: interrupted\n"), std::string::npos) << err_.str();
  EXPECT_NE(out_.str().find("000.rmp"), std::string::npos) << out_.str();
  EXPECT_TRUE(std::filesystem::is_empty(temporary));
  std::filesystem::remove_all(temporary);
}

TEST(ConsoleUiTest, WatchLinesWaitingToBeTakenAreBounded) {
  ConsoleUi ui(/*quiet=*/true);
  for (int i = 0; i < 50000; ++i) ui.AddEventLog(0, "[ALERT] DVR1, Sensor #3 Detection");
  const std::vector<WatchLine> lines = ui.TakeWatchLines();
  ASSERT_EQ(lines.size(), ConsoleUi::kWatchLineLimit + 1);
  EXPECT_EQ(lines.back().kind, "left out");
  EXPECT_EQ(lines.back().text, std::to_string(50000 - ConsoleUi::kWatchLineLimit) + " lines");
  ui.AddEventLog(0, "next");
  const std::vector<WatchLine> next = ui.TakeWatchLines();
  ASSERT_EQ(next.size(), 1u);
  EXPECT_EQ(next[0].kind + ": " + next[0].text, "log: next");
}

}  // namespace
}  // namespace kaviroctl
