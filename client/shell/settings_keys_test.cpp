#include "client/shell/settings_keys.h"

#include <gtest/gtest.h>
#include <unistd.h>

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

}  // namespace
}  // namespace shell
