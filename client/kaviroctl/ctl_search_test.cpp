// kaviroctl search and play against the emulated DVR, on the real viewer
// engine: the listings, the played pictures and PLAY recordings, and the
// exit codes of the search mode's refusals and faults.
#include "client/kaviroctl/ctl_search.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "client/kaviroctl/console_ui.h"
#include "client/kaviroctl/ctl_commands.h"
#include "tools/dvremu/dvr_emulator.h"
#include "viewer_control/engine/testing/engine_test_support.h"

namespace kaviroctl {
namespace {

using namespace std::chrono_literals;

std::tm Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

// A whole day of finished files, whatever the time of day now.
std::tm Yesterday() {
  std::tm day = Today();
  day.tm_mday -= 1;
  day.tm_hour = 12;
  std::mktime(&day);
  return day;
}

std::string DateText(const std::tm& day) {
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", day.tm_year + 1900, day.tm_mon + 1, day.tm_mday);
  return text;
}

class SearchCtlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vistrel::test::EnsureApplication();
    dir_ = std::filesystem::temp_directory_path() / ("kaviroctl-search-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir_);
    dvremu::EmulatorOptions options;
    options.read_stdin = false;
    options.users = {{"admin", "1234"}, {"user", "1234"}};
    dvr_ = dvremu::DvrEmulator::StartOnFreePorts(options);
    ASSERT_TRUE(dvr_);
    const std::tm day = Yesterday();
    for (const dvremu::RecordFile* file : dvr_->recordings().Day(day.tm_year + 1900, day.tm_mon + 1, day.tm_mday)) {
      if (!file->still_recording && file->duration_s >= 120) file_ = file;
    }
    ASSERT_NE(file_, nullptr);
  }
  void TearDown() override {
    if (dvr_) dvr_->Stop();
    std::filesystem::remove_all(dir_);
  }

  int Run(std::vector<std::string> args) {
    out_.str("");
    err_.str("");
    args.insert(args.end(), {"--port", std::to_string(dvr_->command_port()), "--password", "1234"});
    return RunCommand(args, out_, err_);
  }
  std::vector<std::string> Play(std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"play", "--date", DateText(Yesterday()), "--file", std::to_string(file_->index)};
    args.insert(args.end(), more.begin(), more.end());
    return args;
  }

  std::filesystem::path dir_;
  std::unique_ptr<dvremu::DvrEmulator> dvr_;
  const dvremu::RecordFile* file_ = nullptr;
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(SearchCtlTest, SearchListsTheRecordedDaysAndTheFilesOfADay) {
  ASSERT_EQ(Run({"search"}), 0) << err_.str();
  // The logon lines are no result: standard error, unless --verbose.
  EXPECT_NE(err_.str().find("logon: accepted\nchannels: 4\n"), std::string::npos) << err_.str();
  EXPECT_EQ(out_.str().find("logon: accepted"), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find(DateText(Today()) + "\n"), std::string::npos) << out_.str();

  ASSERT_EQ(Run({"search", "--date", DateText(Yesterday())}), 0) << err_.str();
  char row[64];
  std::snprintf(row, sizeof row, "%02d:%02d:%02d/", file_->hour, file_->start_minute, file_->start_second);
  const std::string text = out_.str();
  const size_t at = text.find(row);
  ASSERT_NE(at, std::string::npos) << text;
  const std::string line = text.substr(at, text.find('\n', at) - at);
  std::string tail = std::to_string(file_->size_mb);
  tail.append("MB\t").append(std::to_string(file_->index));
  EXPECT_TRUE(line.ends_with(tail) && line[line.size() - tail.size() - 1] == '\t') << line;
  ASSERT_EQ(Run({"search", "--date", DateText(Today())}), 0) << err_.str();
  EXPECT_NE(out_.str().find("/Recording\t"), std::string::npos) << out_.str();

  // Another month comes from its month info.
  std::tm earlier = Today();
  earlier.tm_mday = 1;
  earlier.tm_mon -= 1;
  std::mktime(&earlier);
  char month[32];
  std::snprintf(month, sizeof month, "%04d-%02d", earlier.tm_year + 1900, earlier.tm_mon + 1);
  const uint32_t mask = dvr_->recordings().MonthMask(earlier.tm_year + 1900, earlier.tm_mon + 1);
  ASSERT_EQ(Run({"search", "--month", month}), 0) << err_.str();
  int listed = 0;
  for (size_t at_line = out_.str().find(std::string(month) + "-"); at_line != std::string::npos;
       at_line = out_.str().find(std::string(month) + "-", at_line + 1)) {
    ++listed;
  }
  EXPECT_EQ(listed, __builtin_popcount(mask));
}

// A disk that fills while a playback is recorded ends the run with the
// write failure instead of a success; the files keep whole pictures.
TEST_F(SearchCtlTest, PlayRecordEndsWithTheWriteFailureWhenTheDiskFills) {
  int code;
  {
    vistrel::test::FileSizeLimit full(64 * 1024);
    code = Run(Play({"--seconds", "30", "--record", "--out", dir_.string()}));
  }
  EXPECT_EQ(code, static_cast<int>(Outcome::kWriteFailed)) << err_.str();
  const std::string errors = err_.str();
  EXPECT_NE(errors.find("kaviroctl: recording write failed: "), std::string::npos) << errors;
  EXPECT_NE(errors.find(".rmp: File too large"), std::string::npos) << errors;
  EXPECT_NE(errors.find(", whole pictures only\n"), std::string::npos) << errors;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_)) {
    if (entry.path().extension() != ".rmp") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<uint8_t> rmp(std::istreambuf_iterator<char>(in), {});
    if (rmp.size() <= 24) continue;
    const auto pictures = vistrel::test::RecordedPictures(rmp);
    EXPECT_EQ(vistrel::test::DecodableRecordedPictures(rmp), static_cast<int>(pictures.size())) << entry.path();
  }
}

TEST_F(SearchCtlTest, PlayShowsEveryChannelAndRecordsPlayFilesThatDecode) {
  ASSERT_EQ(Run(Play({"--seconds", "2", "--out", dir_.string(), "--record"})), 0) << err_.str();
  EXPECT_NE(out_.str().find("position "), std::string::npos) << out_.str();
  for (int channel = 1; channel <= 4; ++channel) {
    char name[32];
    std::snprintf(name, sizeof name, "ch%02d.png", channel);
    EXPECT_FALSE(QImage((dir_ / name).c_str()).isNull()) << name;
  }
  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_)) {
    if (entry.path().extension() != ".rmp") continue;
    ++files;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<uint8_t> rmp(std::istreambuf_iterator<char>(in), {});
    ASSERT_GT(rmp.size(), 24u) << entry.path();
    EXPECT_EQ(std::string(rmp.begin(), rmp.begin() + 4), "PLAY");
    EXPECT_GT(vistrel::test::DecodableRecordedPictures(rmp), 0) << entry.path();
  }
  EXPECT_EQ(files, 4);

  // Time to time, fast and backwards: still every channel.
  const std::string from = std::to_string(file_->start_minute + 1);
  ASSERT_EQ(Run(Play({"--from", from, "--speed", "4", "--reverse", "--seconds", "2"})), 0) << err_.str();
}

TEST_F(SearchCtlTest, RefusalsAndBadChoicesHaveTheirExitCodes) {
  dvr_->RefuseNextPlayback(1);
  EXPECT_EQ(Run(Play()), 10);
  EXPECT_NE(err_.str().find("kaviroctl: Can't found record file. To select again."), std::string::npos) << err_.str();
  dvr_->RefuseNextPlayback(2);
  EXPECT_EQ(Run(Play()), 11);
  EXPECT_NE(err_.str().find("Admin use playback in the DVR"), std::string::npos) << err_.str();

  EXPECT_EQ(Run({"search", "--user", "user"}), 12);
  EXPECT_NE(err_.str().find("Permission denied"), std::string::npos) << err_.str();

  EXPECT_EQ(Run({"play", "--date", DateText(Yesterday()), "--file", "999999"}), 13);
  EXPECT_EQ(Run(Play({"--from", std::to_string(file_->start_minute)})), 13);  // not after the start
  EXPECT_EQ(Run({"play", "--file", "1"}), 2);
  EXPECT_EQ(Run(Play({"--speed", "3"})), 2);
}

TEST_F(SearchCtlTest, AStreamThatBreaksWhilePlayingCostsOnlyThatConnection) {
  for (auto fault : {&dvremu::DvrEmulator::Truncate, &dvremu::DvrEmulator::Drop}) {
    std::thread injector([&] {
      for (int i = 0; i < 1000 && dvr_->ConnectionCount(dvremu::Target::kStream) == 0; ++i) {
        std::this_thread::sleep_for(10ms);
      }
      std::this_thread::sleep_for(500ms);
      (dvr_.get()->*fault)(dvremu::Target::kStream);
    });
    const int code = Run(Play({"--seconds", "20"}));
    injector.join();
    EXPECT_EQ(code, 15) << err_.str();
    EXPECT_NE(err_.str().find("kaviroctl: connection lost"), std::string::npos) << err_.str();
  }
}

}  // namespace
}  // namespace kaviroctl
