#include "client/shell/settings_keys.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/registry.h"

namespace shell {
namespace {

TEST(InstallKeys, CreatesDefaultsAndKeepsSettingsWhenRunAgain) {
  const auto dir = std::filesystem::temp_directory_path() / ("kaviro-install-" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  setenv("KAVIRO_REGISTRY", (dir / "registry.db").c_str(), 1);
  setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);

  ASSERT_EQ(InstallKeys(false), 0);
  // The viewer control reads the video folder through the lower-case spelling.
  auto video = platform::RegistryKey::Open("Software\\veldmark\\Kaviro\\1.0.0.0\\Storage Path\\Video");
  ASSERT_TRUE(video);
  EXPECT_EQ(video->ReadString(kSavePathValue), (dir / "data" / "kaviro" / "video").string() + "/");
  auto local = platform::RegistryKey::Open(kLocalSettingKey);
  ASSERT_TRUE(local);
  EXPECT_EQ(local->ReadString(kModemValue), "");
  EXPECT_EQ(local->ReadString(kBuzzerPathValue), "");
  EXPECT_EQ(platform::RegistryKey::Open(kEthernetListKey)->SubKeyCount(), 0u);

  local->WriteString(kBuzzerPathValue, "/sounds/alarm.wav");
  ASSERT_EQ(InstallKeys(false), 0);
  EXPECT_EQ(local->ReadString(kBuzzerPathValue), "/sounds/alarm.wav");
  ASSERT_EQ(InstallKeys(true), 0);
  EXPECT_EQ(local->ReadString(kBuzzerPathValue), "");

  unsetenv("KAVIRO_REGISTRY");
  unsetenv("XDG_DATA_HOME");
  std::filesystem::remove_all(dir);
}

// An installed Kaviro needs no manual step: its first start creates the keys,
// and later starts leave the operator's settings alone.
TEST(InstallKeys, FirstStartCreatesTheStoreOnceAndReportsAStoreItCannotWrite) {
  const auto dir = std::filesystem::temp_directory_path() / ("kaviro-first-" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  const auto file = dir / "config" / "kaviro" / "registry.db";
  setenv("KAVIRO_REGISTRY", file.c_str(), 1);
  setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);

  ASSERT_EQ(InstallKeysOnFirstStart(), 0);
  EXPECT_TRUE(std::filesystem::exists(file));
  auto image = platform::RegistryKey::Open(kImagePathKey);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->ReadString(kSavePathValue), (dir / "data" / "kaviro" / "images").string() + "/");
  ASSERT_TRUE(platform::RegistryKey::Open(kDomainNameListKey));

  image->WriteString(kSavePathValue, "/srv/captures/");
  ASSERT_EQ(InstallKeysOnFirstStart(), 0);
  EXPECT_EQ(image->ReadString(kSavePathValue), "/srv/captures/");

  // A folder in the way of the store's folder: the step fails, not succeeds.
  std::filesystem::create_directories(dir);
  std::FILE* blocker = std::fopen((dir / "blocked").c_str(), "w");
  ASSERT_NE(blocker, nullptr);
  std::fclose(blocker);
  setenv("KAVIRO_REGISTRY", (dir / "blocked" / "registry.db").c_str(), 1);
  EXPECT_NE(InstallKeysOnFirstStart(), 0);

  unsetenv("KAVIRO_REGISTRY");
  unsetenv("XDG_DATA_HOME");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace shell
