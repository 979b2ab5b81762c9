#include "platform/registry.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace platform {
namespace {

mode_t CurrentMask() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
  }
  return static_cast<mode_t>(-1);
}

mode_t ModeOf(const std::filesystem::path& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? info.st_mode & 0777 : static_cast<mode_t>(-1);
}

// Becomes SQLite's default file layer for its lifetime and notes the
// process's file mask each time SQLite opens a file.
class MaskProbe {
 public:
  MaskProbe() {
    real_ = sqlite3_vfs_find(nullptr);
    probe_ = *real_;
    probe_.zName = "mask-probe";
    probe_.xOpen = &MaskProbe::Open;
    instance_ = this;
    sqlite3_vfs_register(&probe_, 1);
  }
  ~MaskProbe() {
    sqlite3_vfs_unregister(&probe_);
    sqlite3_vfs_register(real_, 1);
    instance_ = nullptr;
  }
  const std::vector<mode_t>& masks() const { return masks_; }

 private:
  static int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* out_flags) {
    instance_->masks_.push_back(CurrentMask());
    return instance_->real_->xOpen(instance_->real_, name, file, flags, out_flags);
  }

  static inline MaskProbe* instance_ = nullptr;
  sqlite3_vfs* real_;
  sqlite3_vfs probe_;
  std::vector<mode_t> masks_;
};

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("kaviro-registry-" + std::to_string(getpid()) + "-" +
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

  struct stat info {};
  ASSERT_EQ(stat(RegistryFilePath().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(RegistryTest, NewStoreIsOwnerOnlyWithoutTouchingTheProcessMask) {
  // Other threads create recordings meanwhile: the mask must stay theirs.
  MaskProbe probe;
  const mode_t saved = umask(0);
  const bool created = RegistryKey::Create("Local Setting").has_value();
  umask(saved);
  ASSERT_TRUE(created);
  ASSERT_FALSE(probe.masks().empty());
  for (mode_t mask : probe.masks()) EXPECT_EQ(mask, 0u);
  EXPECT_EQ(ModeOf(RegistryFilePath()), 0600u);
}

TEST_F(RegistryTest, ALinkNamedAsTheStoreNeverChangesOrCreatesItsTarget) {
  std::filesystem::create_directories(dir_);
  const auto other = dir_ / "notes.txt";
  std::ofstream(other) << "not a registry";
  std::filesystem::permissions(other, std::filesystem::perms(0644));
  std::filesystem::create_symlink(other, RegistryFilePath());
  EXPECT_FALSE(RegistryKey::Create("Local Setting"));
  EXPECT_EQ(ModeOf(other), 0644u);

  std::filesystem::remove(RegistryFilePath());
  const auto missing = dir_ / "elsewhere.db";
  std::filesystem::create_symlink(missing, RegistryFilePath());
  EXPECT_FALSE(RegistryKey::Create("Local Setting"));
  EXPECT_FALSE(std::filesystem::exists(missing));
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

// A store edited by another program may hold rows the client never writes:
// a key without a name, a value without data. They read as missing or empty.
TEST_F(RegistryTest, RowsAnotherProgramLeftWithoutNameOrDataReadAsNothing) {
  auto book = RegistryKey::Create("Book\\Ethernet\\DVR-01");
  ASSERT_TRUE(book);
  ASSERT_EQ(book->WriteString("IP", "10.0.0.1"), 0);
  ASSERT_EQ(book->WriteNumber("Port", 4000), 0);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(RegistryFilePath().c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "UPDATE keys SET name = NULL WHERE path = 'Book\\Ethernet\\DVR-01';"
                         "UPDATE vals SET data = NULL WHERE name = 'IP';",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);

  auto list = RegistryKey::Open("Book\\Ethernet");
  ASSERT_TRUE(list);
  EXPECT_EQ(list->SubKeyCount(), 1u);
  EXPECT_FALSE(list->SubKeyName(0));
  EXPECT_EQ(book->ReadString("IP"), "");
  EXPECT_EQ(book->ReadNumber("Port"), 4000u);
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
