// The kaviro program itself, run as an operator's script would run it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "client/shell/address_book_store.h"
#include "client/shell/settings_keys.h"
#include "platform/registry.h"
#include "tools/dvremu/dvr_emulator.h"

namespace shell {
namespace {

class KaviroProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("kaviro-main-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
    registry_ = (dir_ / "registry.db").string();
    setenv("KAVIRO_REGISTRY", registry_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("KAVIRO_REGISTRY");
    std::filesystem::remove_all(dir_);
  }

  // The exit code; 124 when `timeout` had to end the program.
  int RunKaviro(const std::string& arguments) {
    const std::string command = "KAVIRO_REGISTRY=" + registry_ + " timeout 90 " + KAVIRO_PATH + " " + arguments + " >" +
                                (dir_ / "output.txt").string() + " 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string Output() const {
    std::ifstream file(dir_ / "output.txt");
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }

  std::filesystem::path dir_;
  std::string registry_;
};

TEST_F(KaviroProgramTest, AScreenshotAloneIsTakenAtOnceAndTheProgramLeaves) {
  const auto shot = dir_ / "idle.png";
  ASSERT_EQ(RunKaviro("--screenshot " + shot.string()), 0) << Output();
  const QImage image(QString::fromStdString(shot.string()));
  EXPECT_EQ(image.size(), QSize(1024, 768));
}

// Without --exit-after the shot waits for the video of the DVR asked for;
// it leaves with 0 only when the video showed.
TEST_F(KaviroProgramTest, AScreenshotOfAConnectionIsTakenOnceVideoShows) {
  dvremu::EmulatorOptions options;
  options.read_stdin = false;
  auto dvr = dvremu::DvrEmulator::StartOnFreePorts(options);
  ASSERT_TRUE(dvr);
  ASSERT_EQ(
      AddressBookStore::Write(ListKind::kEthernet, {"emulator", "127.0.0.1", dvr->command_port(), "admin", "1234"}), 0);
  const auto shot = dir_ / "live.png";
  ASSERT_EQ(RunKaviro("--connect emulator --screenshot " + shot.string()), 0) << Output();
  const QImage image(QString::fromStdString(shot.string()));
  ASSERT_FALSE(image.isNull());
  dvr->Stop();
}

// Two captures of live video in one minute: two bitmaps whose pixels show the
// emulator's channel colours, and the event log's lines for each.
TEST_F(KaviroProgramTest, CapturesOfLiveVideoShowTheChannels) {
  dvremu::EmulatorOptions options;
  options.read_stdin = false;
  options.channels = 4;
  auto dvr = dvremu::DvrEmulator::StartOnFreePorts(options);
  ASSERT_TRUE(dvr);
  ASSERT_EQ(
      AddressBookStore::Write(ListKind::kEthernet, {"emulator", "127.0.0.1", dvr->command_port(), "admin", "1234"}), 0);
  // A folder typed without its separator, not made yet: the files go into it.
  const auto images = dir_ / "images";
  ASSERT_EQ(platform::RegistryKey::Create(kImagePathKey)->WriteString(kSavePathValue, images.string()), 0);
  ASSERT_EQ(RunKaviro("--capture 2 --connect emulator"), 0) << Output();
  dvr->Stop();
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(images)) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  ASSERT_EQ(files.size(), 2u) << Output();
  // The second, within the minute of the first, or the first of the next minute.
  const std::string first = files[0].filename().string();
  EXPECT_EQ(first.size(), std::string("202612091405.bmp").size());
  EXPECT_TRUE(files[1].filename().string() == first.substr(0, 12) + "_0.bmp" ||
              files[1].filename().string().size() == first.size());

  const QImage image(QString::fromStdString(files[0].string()));
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.depth(), 32) << "read back from 24 bits";
  // The four cells differ in colour: the channels' own backgrounds, not one fill.
  const QRgb cells[] = {image.pixel(image.width() / 8, image.height() / 3),
                        image.pixel(image.width() * 5 / 8, image.height() / 3),
                        image.pixel(image.width() / 8, image.height() * 5 / 6),
                        image.pixel(image.width() * 5 / 8, image.height() * 5 / 6)};
  for (int a = 0; a < 4; ++a) {
    for (int b = a + 1; b < 4; ++b) EXPECT_NE(cells[a], cells[b]) << "cells " << a << " and " << b;
  }
}

}  // namespace
}  // namespace shell
