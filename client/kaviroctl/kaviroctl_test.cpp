#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QImage>
#include <filesystem>
#include <random>
#include <sstream>

#include "client/kaviroctl/console_ui.h"
#include "client/kaviroctl/ctl_commands.h"
#include "tools/dvremu/dvr_emulator.h"

namespace kaviroctl {
namespace {

QCoreApplication& Application() {
  static int argc = 1;
  static char name[] = "kaviroctl_test";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app = new QCoreApplication(argc, argv);
  return *app;
}

class KaviroctlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Application();
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
    std::mt19937 random(static_cast<unsigned>(getpid()));
    for (int attempt = 0; attempt < 50 && !dvr_; ++attempt) {
      options.port = static_cast<uint16_t>(20000 + random() % 40000);
      auto dvr = std::make_unique<dvremu::DvrEmulator>(options);
      std::string error;
      if (dvr->Start(&error)) dvr_ = std::move(dvr);
    }
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

  std::filesystem::path dir_;
  std::unique_ptr<dvremu::DvrEmulator> dvr_;
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(KaviroctlTest, ProbeReportsChannelsMaskAndPictureRates) {
  StartDvr(8);
  ASSERT_EQ(Run({"probe", "--password", "1234", "--seconds", "2"}), 0) << err_.str();
  const std::string text = out_.str();
  EXPECT_NE(text.find("logon: accepted"), std::string::npos);
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

TEST_F(KaviroctlTest, RecordWritesTheRecorderFiles) {
  StartDvr(4);
  ASSERT_EQ(Run({"record", "--password", "1234", "--seconds", "2", "--out", dir_.string()}), 0)
      << err_.str();
  const std::string text = out_.str();
  EXPECT_NE(text.find("000.rmp"), std::string::npos) << text;
  EXPECT_NE(text.find("003.rmg"), std::string::npos) << text;
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

}  // namespace
}  // namespace kaviroctl
