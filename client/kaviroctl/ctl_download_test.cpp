#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "client/kaviroctl/console_ui.h"
#include "client/kaviroctl/ctl_commands.h"
#include "client/kaviroctl/interrupt.h"
#include "client/media/engine/byte_source.h"
#include "client/media/engine/recorded_media.h"
#include "protocol/command_codes.h"
#include "tools/dvremu/dvr_emulator.h"
#include "tools/dvremu/file_port.h"
#include "viewer_control/engine/testing/engine_test_support.h"

namespace kaviroctl {
namespace {

std::string Clock(int seconds_in_hour) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d", seconds_in_hour / 60, seconds_in_hour % 60);
  return text;
}

class DownloadCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vistrel::test::EnsureApplication();
    dir_ = std::filesystem::temp_directory_path() / ("ctl-download-test-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir_);
  }
  void TearDown() override {
    if (dvr_) dvr_->Stop();
    std::filesystem::remove_all(dir_);
  }

  void StartDvr() {
    options_.read_stdin = false;
    file_ = nullptr;  // the last emulator's recordings went with it
    dvr_ = dvremu::DvrEmulator::StartOnFreePorts(options_);
    ASSERT_TRUE(dvr_);
    for (const dvremu::RecordFile& file : dvr_->recordings().files()) {
      if (!file.still_recording && (file_ == nullptr || file.duration_s < file_->duration_s)) file_ = &file;
    }
    ASSERT_NE(file_, nullptr);
  }

  // download of the chosen file, seconds [from, to) into it.
  int Download(int from_s, int to_s, std::vector<std::string> extra = {}) {
    char date[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", file_->year, file_->month, file_->day);
    std::vector<std::string> args = {"download",
                                     "--date",
                                     date,
                                     "--file",
                                     std::to_string(file_->index),
                                     "--from",
                                     Clock(file_->start_in_hour_s() + from_s),
                                     "--to",
                                     Clock(file_->start_in_hour_s() + to_s),
                                     "--out",
                                     dir_.string(),
                                     "--password",
                                     "1234",
                                     "--port",
                                     std::to_string(dvr_->command_port())};
    args.insert(args.end(), extra.begin(), extra.end());
    out_.str("");
    err_.str("");
    return RunCommand(args, out_, err_);
  }

  std::vector<std::filesystem::path> Files() const {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) files.push_back(entry.path());
    return files;
  }

  dvremu::EmulatorOptions options_;
  std::unique_ptr<dvremu::DvrEmulator> dvr_;
  const dvremu::RecordFile* file_ = nullptr;
  std::filesystem::path dir_;
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(DownloadCommandTest, SavesTheNarrowedStretchAndSaysWhere) {
  StartDvr();
  ASSERT_EQ(Download(10, 20), 0) << err_.str();
  const auto files = Files();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(out_.str(), "saved: " + files[0].string() + "\n");
  EXPECT_EQ(files[0].extension(), ".amg");
  // Without a terminal, progress is one line a second.
  EXPECT_NE(err_.str().find(" KB / "), std::string::npos) << err_.str();
  EXPECT_NE(err_.str().find(" Kbps\n"), std::string::npos) << err_.str();
  // The same start again is saved beside it, never over it.
  ASSERT_EQ(Download(10, 20), 0) << err_.str();
  EXPECT_NE(out_.str().find("_0.amg\n"), std::string::npos) << out_.str();
}

TEST_F(DownloadCommandTest, RefusalsAndBadRowsHaveTheirExitCodes) {
  StartDvr();
  EXPECT_EQ(Download(20, 10), static_cast<int>(Outcome::kNoSuchFile));
  EXPECT_EQ(Download(0, file_->duration_s + 60), static_cast<int>(Outcome::kNoSuchFile));
  dvr_->Stop();
  const std::pair<uint8_t, Outcome> reasons[] = {{1, Outcome::kNoRecordFile}, {2, Outcome::kAdminPlayback}};
  for (const auto& [reason, exit] : reasons) {
    options_.file_replies[protocol::file_cmd::RESP_FILEDOWNLOAD] = {0x01, reason};
    StartDvr();
    EXPECT_EQ(Download(0, 5), static_cast<int>(exit));
    EXPECT_NE(err_.str().find(std::string("kaviroctl: ") + OutcomeText(exit)), std::string::npos) << err_.str();
    dvr_->Stop();
  }
  EXPECT_TRUE(Files().empty());
}

// SIGINT cancels: the bytes received stay, with the trailer, and the exit
// is the signal's.
TEST_F(DownloadCommandTest, InterruptCancelsAndKeepsWhatCame) {
  options_.file_data_hold_after = 2;
  StartDvr();
  CatchInterrupts();
  std::thread interrupter([&] {
    const auto held = 2 * dvremu::FileConnection::kChunkSize + 5;
    for (int i = 0; i < 3000; ++i) {
      std::error_code error;
      bool filled = false;
      for (const auto& entry : std::filesystem::directory_iterator(dir_, error)) {
        filled = filled || std::filesystem::file_size(entry.path(), error) >= held - 5;
      }
      if (filled) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(getpid(), SIGINT);
  });
  const int code = Download(0, file_->duration_s, {"--timeout", "60"});
  interrupter.join();
  ClearInterrupt();
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  EXPECT_EQ(code, 128 + SIGINT);
  EXPECT_NE(err_.str().find("kaviroctl: interrupted\n"), std::string::npos) << err_.str();
  const auto files = Files();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(std::filesystem::file_size(files[0]), 2 * dvremu::FileConnection::kChunkSize + 5);
  EXPECT_TRUE(out_.str().empty());
}

// A disk that fills mid-download: the write failure is the exit, the file
// keeps the whole chunks before it and its trailer, and plays; the DVR and
// the next download go on.
TEST_F(DownloadCommandTest, ADiskThatFillsEndsWithTheWriteFailureAndKeepsAPlayableFile) {
  StartDvr();
  const auto chunk = dvremu::FileConnection::kChunkSize;
  int code;
  {
    vistrel::test::FileSizeLimit full(static_cast<long long>(2 * chunk + 1000));
    code = Download(0, file_->duration_s);
  }
  EXPECT_EQ(code, static_cast<int>(Outcome::kWriteFailed)) << err_.str();
  EXPECT_NE(err_.str().find("Can't write the download file "), std::string::npos) << err_.str();
  EXPECT_NE(err_.str().find(": File too large"), std::string::npos) << err_.str();
  EXPECT_TRUE(out_.str().empty()) << "a cut file is not reported as saved";
  const auto files = Files();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(std::filesystem::file_size(files[0]), 2 * chunk + 5);

  std::ifstream in(files[0], std::ios::binary);
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  media::MemoryByteSource source(bytes);
  media::RecordedMedia recording;
  std::string error;
  ASSERT_TRUE(media::ReadRecordFile(source, 0, &recording, &error)) << error;
  EXPECT_FALSE(recording.pictures.empty());
  for (const auto& picture : recording.pictures) EXPECT_LE(picture.offset + picture.length, 2 * chunk);

  std::filesystem::remove(files[0]);
  ASSERT_EQ(Download(0, 5), 0) << err_.str();
}

}  // namespace
}  // namespace kaviroctl
