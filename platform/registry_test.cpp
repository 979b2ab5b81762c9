#include "platform/registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace platform {
namespace {

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("kaviro-registry-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    setenv("KAVIRO_REGISTRY", (dir_ / "registry.db").c_str(), 1);
  }
  void TearDown() override {
    unsetenv("KAVIRO_REGISTRY");
    std::filesystem::remove_all(dir_);
  }
  std::filesystem::path dir_;
};

TEST_F(RegistryTest, KeysCompareWithoutCaseAndValuesKeepTheirType) {
  EXPECT_FALSE(RegistryKey::Open("Software\\Veldmark\\Kaviro\\1.0.0.0\\Storage Path\\Video"));
  auto key = RegistryKey::Create("Software\\Veldmark\\Kaviro\\1.0.0.0\\Storage Path\\Video");
  ASSERT_TRUE(key);
  ASSERT_EQ(key->WriteString("SavePath01", "/data/video/"), 0);

  auto lower = RegistryKey::Open("Software\\veldmark\\Kaviro\\1.0.0.0\\Storage Path\\Video");
  ASSERT_TRUE(lower);
  EXPECT_EQ(lower->ReadString("savepath01"), "/data/video/");
  EXPECT_FALSE(lower->ReadNumber("SavePath01"));  // a string is not a number
  EXPECT_EQ(lower->WriteNumber("Port", 0x12345), 0);
  EXPECT_EQ(key->ReadNumber("Port"), 0x12345u);
  EXPECT_FALSE(key->ReadString("Missing"));

  struct stat info{};
  ASSERT_EQ(stat(RegistryFilePath().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(RegistryTest, StringsKeepEmbeddedBytesAndLongOnesFailToRead) {
  auto key = RegistryKey::Create("Local Setting");
  ASSERT_TRUE(key);
  const std::string with_zero("ab\0cd", 5);
  key->WriteString("Raw", with_zero);
  EXPECT_EQ(key->ReadString("Raw"), with_zero);
  key->WriteString("Empty", "");
  EXPECT_EQ(key->ReadString("Empty"), "");
  key->WriteString("Long", std::string(256, 'x'));
  EXPECT_FALSE(key->ReadString("Long"));
  key->WriteString("Fits", std::string(255, 'x'));
  EXPECT_TRUE(key->ReadString("Fits"));
}

TEST_F(RegistryTest, SubKeysEnumerateInRegistryOrderAndDeleteRefusesParents) {
  for (const char* alias : {"zeta", "Alpha", "_under", "beta"}) {
    ASSERT_TRUE(RegistryKey::Create(std::string("Book\\Ethernet\\") + alias));
  }
  auto list = RegistryKey::Open("book\\ethernet");
  ASSERT_TRUE(list);
  EXPECT_EQ(list->SubKeyCount(), 4u);
  // Upper-cased names order the list: "ALPHA" < "BETA" < "ZETA" < "_UNDER".
  EXPECT_EQ(list->SubKeyName(0), "Alpha");
  EXPECT_EQ(list->SubKeyName(1), "beta");
  EXPECT_EQ(list->SubKeyName(2), "zeta");
  EXPECT_EQ(list->SubKeyName(3), "_under");
  EXPECT_FALSE(list->SubKeyName(4));

  EXPECT_NE(RegistryKey::Delete("Book\\Ethernet"), 0);
  EXPECT_EQ(RegistryKey::Delete("BOOK\\ETHERNET\\beta"), 0);
  EXPECT_EQ(list->SubKeyCount(), 3u);
  EXPECT_NE(RegistryKey::Delete("Book\\Ethernet\\beta"), 0);
}

TEST_F(RegistryTest, TwoProcessesWritingAtOnceLoseNothing) {
  ASSERT_TRUE(RegistryKey::Create("Shared"));
  constexpr int kWrites = 40;
  const pid_t child = fork();
  if (child == 0) {
    auto key = RegistryKey::Open("Shared");
    for (int i = 0; i < kWrites; ++i) {
      if (!key || key->WriteNumber("child" + std::to_string(i), i) != 0) _exit(1);
    }
    _exit(0);
  }
  auto key = RegistryKey::Open("Shared");
  for (int i = 0; i < kWrites; ++i) ASSERT_EQ(key->WriteNumber("parent" + std::to_string(i), i), 0);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  for (int i = 0; i < kWrites; ++i) {
    EXPECT_EQ(key->ReadNumber("child" + std::to_string(i)), static_cast<uint32_t>(i));
    EXPECT_EQ(key->ReadNumber("parent" + std::to_string(i)), static_cast<uint32_t>(i));
  }
}

}  // namespace
}  // namespace platform
