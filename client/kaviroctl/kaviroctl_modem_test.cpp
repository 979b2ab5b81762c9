// kaviroctl over a telephone line: the bridge and the dialer in process, the
// emulated DVR's modem on a pseudo-terminal.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <random>
#include <sstream>
#include <thread>

#include "client/kaviroctl/console_ui.h"
#include "client/kaviroctl/ctl_commands.h"
#include "client/kaviroctl/ctl_download.h"
#include "client/kaviroctl/interrupt.h"
#include "client/kaviroctl/modem_link.h"
#include "client/kaviroctl/search_link.h"
#include "protocol/payload.h"
#include "tools/dvremu/dvr_emulator.h"
#include "tools/dvremu/modem_line.h"

namespace kaviroctl {
namespace {

using namespace std::chrono_literals;

class KaviroctlModemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "kaviroctl_modem_test";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    dvremu::EmulatorOptions options;
    options.read_stdin = false;
    dvr_ = dvremu::DvrEmulator::StartOnFreePorts(options);
    ASSERT_TRUE(dvr_);
    modem_ = std::make_unique<dvremu::ModemLine>(dvr_->command_port(), dvremu::ModemAnswer::kConnect);
    std::string error;
    ASSERT_TRUE(modem_->Start(&error)) << error;
    dir_ = std::filesystem::temp_directory_path() / ("kaviroctl-modem-" + std::to_string(getpid()));
    bridge_port_ = FreeBridgePorts();
    ASSERT_NE(bridge_port_, 0);
  }
  void TearDown() override {
    modem_->Stop();
    dvr_->Stop();
    std::filesystem::remove_all(dir_);
  }
  int Run(const std::vector<std::string>& command) {
    out_.str("");
    err_.str("");
    std::vector<std::string> args = {"--modem",     modem_->path(),  "--phone",
                                     "--1234-5678", "--bridge-port", std::to_string(BridgePort())};
    args.insert(args.end(), command.begin(), command.end());
    args.insert(args.end(), {"--password", "1234", "--timeout", "30"});
    return RunCommand(args, out_, err_);
  }

  // A finished file of two minutes or more on `day`.
  const dvremu::RecordFile* LongFileOf(const std::tm& day) const {
    const dvremu::RecordFile* found = nullptr;
    for (const dvremu::RecordFile* f : dvr_->recordings().Day(day.tm_year + 1900, day.tm_mon + 1, day.tm_mday)) {
      if (!f->still_recording && f->duration_s >= 120) found = f;
    }
    return found;
  }
  uint16_t BridgePort() const { return bridge_port_; }

  // Three consecutive ports free when the test starts, found as the emulator
  // finds its own: a fixed choice collided with the emulators of tests
  // running at once, which take random ports.
  static uint16_t FreeBridgePorts() {
    std::mt19937 random(static_cast<unsigned>(getpid()) ^ static_cast<unsigned>(time(nullptr)));
    for (int attempt = 0; attempt < 50; ++attempt) {
      const auto base = static_cast<uint16_t>(20000 + random() % 40000);
      int sockets[3] = {-1, -1, -1};
      bool free = true;
      for (int i = 0; i < 3 && free; ++i) {
        sockets[i] = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int reuse = 1;
        ::setsockopt(sockets[i], SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(base + i));
        free = ::bind(sockets[i], reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
      }
      for (int fd : sockets) {
        if (fd >= 0) ::close(fd);
      }
      if (free) return base;
    }
    return 0;
  }

  std::unique_ptr<dvremu::DvrEmulator> dvr_;
  std::unique_ptr<dvremu::ModemLine> modem_;
  std::filesystem::path dir_;
  uint16_t bridge_port_ = 0;
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(KaviroctlModemTest, CommandsRunOverTheLineAndEachDialsAgain) {
  ASSERT_EQ(Run({"snapshot", "--out", dir_.string()}), 0) << err_.str();
  for (int channel = 1; channel <= 4; ++channel) {
    EXPECT_NE(out_.str().find("ch0" + std::to_string(channel) + ".png 352x240"), std::string::npos) << out_.str();
  }
  ASSERT_EQ(Run({"status"}), 0) << err_.str();
  EXPECT_NE(out_.str().find("model: DVR-4CH"), std::string::npos);
  ASSERT_EQ(Run({"light"}), 0) << err_.str();
}

// A day of finished files, whatever the time of day now.
std::tm Yesterday() {
  const std::time_t now = std::time(nullptr);
  std::tm day{};
  localtime_r(&now, &day);
  day.tm_mday -= 1;
  day.tm_hour = 12;
  std::mktime(&day);
  return day;
}

// Search, playback and download take the same line: the search session through
// the bridge's command port, the played stream through its stream port and the
// download through its file port.
TEST_F(KaviroctlModemTest, SearchPlayAndDownloadRunOverTheLine) {
  const std::tm day = Yesterday();
  const dvremu::RecordFile* file = LongFileOf(day);
  ASSERT_NE(file, nullptr);
  char date[48];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", day.tm_year + 1900, day.tm_mon + 1, day.tm_mday);

  ASSERT_EQ(Run({"search", "--date", date}), 0) << err_.str();
  EXPECT_NE(out_.str().find("\t" + std::to_string(file->index) + "\n"), std::string::npos) << out_.str();

  const std::string played = (dir_ / "play").string();
  ASSERT_EQ(Run({"play", "--date", date, "--file", std::to_string(file->index), "--seconds", "2", "--out", played}), 0)
      << err_.str();
  EXPECT_NE(out_.str().find("position "), std::string::npos) << out_.str();
  EXPECT_TRUE(std::filesystem::exists(played + "/ch01.png"));

  const std::string saved = (dir_ / "download").string();
  char from[32];
  char to[32];
  std::snprintf(from, sizeof from, "%02d:%02d", file->start_minute, file->start_second);
  std::snprintf(to, sizeof to, "%02d:%02d", file->start_minute + 1, file->start_second);
  ASSERT_EQ(Run({"download", "--date", date, "--file", std::to_string(file->index), "--from", from, "--to", to, "--out",
                 saved}),
            0)
      << err_.str();
  EXPECT_NE(out_.str().find("saved: " + saved), std::string::npos) << out_.str();
  std::uintmax_t bytes = 0;
  for (const auto& entry : std::filesystem::directory_iterator(saved)) bytes += entry.file_size();
  EXPECT_GT(bytes, 5u);  // more than the trailer alone
}

// One call carries all three ports at once: a file plays on the stream port
// while a stretch of it downloads on the file port, the search session
// logged on throughout.
TEST_F(KaviroctlModemTest, PlaybackGoesOnWhileAStretchDownloadsOverTheSameLine) {
  ModemLink modem(err_);
  ASSERT_TRUE(modem.Start({modem_->path(), "--1234-5678", BridgePort()})) << err_.str();
  const std::tm day = Yesterday();
  const dvremu::RecordFile* file = LongFileOf(day);
  ASSERT_NE(file, nullptr);
  LinkTarget target;
  target.host = "--1234-5678";
  target.modem = true;
  target.password = "1234";
  SearchLink link(/*quiet=*/true);
  ASSERT_EQ(link.Connect(target, {day.tm_year + 1900, day.tm_mon + 1, day.tm_mday}, 30s), Outcome::kOk);
  const auto& files = link.viewer().files();
  int row = -1;
  for (size_t i = 0; i < files.size(); ++i) {
    if (files[i].index == file->index) row = static_cast<int>(i);
  }
  ASSERT_GE(row, 0);
  ASSERT_EQ(link.Play(row, std::nullopt, 30s), Outcome::kOk);
  link.viewer().ForwardPlay();
  ASSERT_TRUE(PumpEvents([&] { return link.frames().count(0) > 0; }, 30s));

  link.ui().selected_row = row;
  link.viewer().DownloadSelectedFile();
  ASSERT_TRUE(link.ui().download_record);
  sessions::FileDownloadRecord record = *link.ui().download_record;
  record.end_minute = protocol::BcdFromNumber(file->start_minute + 1);
  record.end_second = protocol::BcdFromNumber(file->start_second);
  const int before = link.frames().count(0);
  DownloadOptions download;
  download.out = (dir_ / "download").string();
  download.timeout = 30s;
  CtlReport report(out_, /*json=*/false);
  ASSERT_EQ(DownloadRecord(record, download, report, err_), 0) << err_.str();
  EXPECT_NE(out_.str().find("saved: " + download.out), std::string::npos) << out_.str();
  ASSERT_TRUE(PumpEvents([&] { return link.frames().count(0) > before; }, 30s));
  EXPECT_TRUE(link.viewer().session().stream_connected());
}

TEST_F(KaviroctlModemTest, ACallThatFailsIsAnUnreachableDvrWithTheNotice) {
  for (auto answer : {dvremu::ModemAnswer::kBusy, dvremu::ModemAnswer::kNoCarrier, dvremu::ModemAnswer::kNoDialTone}) {
    modem_->SetAnswer(answer);
    EXPECT_EQ(Run({"status"}), static_cast<int>(Outcome::kUnreachable)) << static_cast<int>(answer);
    EXPECT_NE(err_.str().find("kaviroctl: [NOTICE] The remote dvr's modem is busy."), std::string::npos) << err_.str();
  }
}

TEST_F(KaviroctlModemTest, AHangUpMidStreamIsALostConnection) {
  // Once pictures flow, the DVR's modem drops the line.
  std::thread hang_up([&] {
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (modem_->packets_sent() < 100 && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(10ms);
    }
    modem_->HangUp();
  });
  const int code = Run({"probe", "--seconds", "600"});
  hang_up.join();
  EXPECT_EQ(code, static_cast<int>(Outcome::kConnectionLost)) << err_.str();
  EXPECT_NE(err_.str().find("[NOTICE] The remote dvr's modem is busy."), std::string::npos) << err_.str();
}

}  // namespace
}  // namespace kaviroctl
