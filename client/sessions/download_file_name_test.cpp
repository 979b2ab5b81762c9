#include "client/sessions/download_file_name.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "platform/registry.h"
#include "platform/settings_keys.h"

namespace sessions {
namespace {

class DownloadFileNameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kaviro-names-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    record_.year = 0x04;
    record_.month = 0x03;
    record_.day = 0x09;
    record_.hour = 0x10;
    record_.start_minute = 0x15;
    record_.start_second = 0x20;
    record_.end_minute = 0x18;
    record_.end_second = 0x05;
  }
  void TearDown() override {
    unsetenv("KAVIRO_REGISTRY");
    std::filesystem::remove_all(dir_);
  }
  void Touch(const std::string& name) { std::ofstream(dir_ / name) << "x"; }

  std::filesystem::path dir_;
  FileDownloadRecord record_;
};

TEST_F(DownloadFileNameTest, NameTakesDateHourAndStartThenASuffixAgainstAnyExtension) {
  const std::string stem = DownloadPathStem(dir_.string(), record_);
  EXPECT_EQ(stem, (dir_ / "2004030910").string());
  EXPECT_EQ(UniqueDownloadName(stem, record_), stem + "1520.amg");
  Touch("20040309101520.avi");
  EXPECT_EQ(UniqueDownloadName(stem, record_), stem + "1520_0.amg");
  Touch("20040309101520_0.amg");
  Touch("20040309101520_1");
  EXPECT_EQ(UniqueDownloadName(stem, record_), stem + "1520_2.amg");
  // A longer name that merely begins alike is another file.
  Touch("20040309101520_23.amg");
  EXPECT_EQ(UniqueDownloadName(stem, record_), stem + "1520_2.amg");
}

TEST_F(DownloadFileNameTest, RangeMustRunForwards) {
  EXPECT_TRUE(IsDownloadRangeValid(record_));
  record_.end_minute = record_.start_minute;
  record_.end_second = record_.start_second;
  EXPECT_FALSE(IsDownloadRangeValid(record_));  // 15:20 to 15:20
  record_.end_second = 0x21;
  EXPECT_TRUE(IsDownloadRangeValid(record_));
  record_.end_minute = 0x14;
  EXPECT_FALSE(IsDownloadRangeValid(record_));
}

TEST_F(DownloadFileNameTest, VideoFolderIsCreatedWhenMissing) {
  setenv("KAVIRO_REGISTRY", (dir_ / "registry.db").c_str(), 1);
  EXPECT_EQ(VideoStorageFolder(), "");  // no key yet
  const auto key = platform::RegistryKey::Create(platform::settings::kVideoPathKey);
  ASSERT_TRUE(key);
  const std::string folder = (dir_ / "video" / "down").string() + "/";
  ASSERT_EQ(key->WriteString(platform::settings::kSavePathValue, folder), 0);
  EXPECT_EQ(VideoStorageFolder(), folder);
  EXPECT_TRUE(std::filesystem::is_directory(folder));
}

}  // namespace
}  // namespace sessions
