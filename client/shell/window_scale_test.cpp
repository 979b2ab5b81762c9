#include "client/shell/window_scale.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "client/shell/settings_keys.h"
#include "platform/registry.h"

namespace shell {
namespace {

class WindowScaleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::remove_all(dir_);
    setenv("KAVIRO_REGISTRY", file_.c_str(), 1);
    setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
    unsetenv("QT_SCALE_FACTOR");
  }
  void TearDown() override {
    unsetenv("KAVIRO_REGISTRY");
    unsetenv("XDG_DATA_HOME");
    unsetenv("QT_SCALE_FACTOR");
    std::filesystem::remove_all(dir_);
  }
  static void Store(uint32_t value) { platform::RegistryKey::Open(kLocalSettingKey)->WriteNumber(kScaleValue, value); }

  const std::filesystem::path dir_ =
      std::filesystem::temp_directory_path() / ("kaviro-scale-" + std::to_string(getpid()));
  const std::filesystem::path file_ = dir_ / "registry.db";
};

TEST_F(WindowScaleTest, BeforeTheFirstStartNothingIsReadNorIsTheStoreCreated) {
  EXPECT_EQ(ReadWindowScale(), 100);
  ApplyWindowScale();
  EXPECT_FALSE(std::filesystem::exists(file_));  // the first start still installs the keys
  EXPECT_EQ(std::getenv("QT_SCALE_FACTOR"), nullptr);
  EXPECT_NE(WriteWindowScale(150), 0);  // no keys to write into
}

TEST_F(WindowScaleTest, OnlyTheOfferedStepsAreReadAndWritten) {
  ASSERT_EQ(InstallKeys(false), 0);
  EXPECT_EQ(ReadWindowScale(), 100);  // installed stores have no value: 100 %
  for (int percent : kWindowScales) {
    ASSERT_EQ(WriteWindowScale(percent), 0);
    EXPECT_EQ(ReadWindowScale(), percent);
  }
  EXPECT_NE(WriteWindowScale(175), 0);
  EXPECT_EQ(ReadWindowScale(), 200);
  // Hand-edited values read as the default, never as a huge or empty window.
  for (uint32_t stored : {0u, 1u, 130u, 1500u, 0xFFFFFFFFu}) {
    Store(stored);
    EXPECT_EQ(ReadWindowScale(), 100) << stored;
  }
  platform::RegistryKey::Open(kLocalSettingKey)->WriteString(kScaleValue, "150");
  EXPECT_EQ(ReadWindowScale(), 100);
}

TEST_F(WindowScaleTest, TheScaleMultipliesTheDesktopsOwnFactor) {
  ASSERT_EQ(InstallKeys(false), 0);
  ApplyWindowScale();
  EXPECT_EQ(std::getenv("QT_SCALE_FACTOR"), nullptr);  // 100 % leaves Qt alone
  ASSERT_EQ(WriteWindowScale(150), 0);
  ApplyWindowScale();
  ASSERT_NE(std::getenv("QT_SCALE_FACTOR"), nullptr);
  EXPECT_DOUBLE_EQ(std::strtod(std::getenv("QT_SCALE_FACTOR"), nullptr), 1.5);
  setenv("QT_SCALE_FACTOR", "2", 1);
  ApplyWindowScale();
  EXPECT_DOUBLE_EQ(std::strtod(std::getenv("QT_SCALE_FACTOR"), nullptr), 3.0);
  setenv("QT_SCALE_FACTOR", "junk", 1);
  ApplyWindowScale();
  EXPECT_DOUBLE_EQ(std::strtod(std::getenv("QT_SCALE_FACTOR"), nullptr), 1.5);
}

}  // namespace
}  // namespace shell
