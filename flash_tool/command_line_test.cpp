#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "flash_tool/command_line.h"
#include "flash_tool/image_file.h"

namespace tarvek {
namespace {

namespace fs = std::filesystem;

class CommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tarvek_cli_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  int Run(std::initializer_list<std::string> args) {
    std::vector<std::string> storage = {"tarvek"};
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& arg : storage) argv.push_back(arg.data());
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int code = RunCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
    out_ = Slurp(out);
    err_ = Slurp(err);
    return code;
  }
  static std::string Slurp(std::FILE* file) {
    std::string text;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;) text.push_back(static_cast<char>(c));
    std::fclose(file);
    return text;
  }
  std::string Path(const char* name) { return (dir_ / name).string(); }

  fs::path dir_;
  std::string out_, err_;
};

TEST_F(CommandLineTest, PackAndUnpackReportLengthsAndChecksum) {
  std::ofstream(Path("app.bin"), std::ios::binary) << std::string(20, 'a');
  ASSERT_EQ(Run({"--pack", Path("app.bin"), Path("dnapp.bin")}), kExitOk) << err_;
  EXPECT_NE(out_.find("20 bytes packed into 5 bytes (37 with the header)"), std::string::npos) << out_;
  EXPECT_NE(out_.find("checksum 0x"), std::string::npos);
  EXPECT_EQ(fs::file_size(Path("dnapp.bin")), 37u);

  ASSERT_EQ(Run({"--unpack", Path("dnapp.bin"), Path("back.bin")}), kExitOk) << err_;
  std::stringstream back;
  back << std::ifstream(Path("back.bin"), std::ios::binary).rdbuf();
  EXPECT_EQ(back.str(), std::string(20, 'a'));

  // Packing a file onto itself keeps its content to pack.
  ASSERT_EQ(Run({"--pack", Path("app.bin"), Path("app.bin")}), kExitOk);
  EXPECT_EQ(fs::file_size(Path("app.bin")), 37u);
}

TEST_F(CommandLineTest, ExitCodesSayWhatWentWrong) {
  EXPECT_EQ(Run({"--pack", Path("app.bin")}), kExitUsage);
  EXPECT_EQ(Run({"--pack", Path("missing.bin"), Path("out.bin")}), kExitInputNotFound);
  EXPECT_FALSE(fs::exists(Path("out.bin")));
  std::ofstream(Path("app.bin")) << "x";
  EXPECT_EQ(Run({"--pack", Path("app.bin"), Path("no/dir/out.bin")}), kExitOutputNotCreated);

  ASSERT_EQ(Run({"--pack", Path("app.bin"), Path("dnapp.bin")}), kExitOk);
  {
    std::fstream damage(Path("dnapp.bin"), std::ios::binary | std::ios::in | std::ios::out);
    damage.seekp(33);
    damage.put('y');
  }
  EXPECT_EQ(Run({"--unpack", Path("dnapp.bin"), Path("back.bin")}), kExitDamagedImage);
  EXPECT_NE(err_.find("checksum"), std::string::npos) << err_;
  EXPECT_FALSE(fs::exists(Path("back.bin")));
}

TEST_F(CommandLineTest, InputsThatCannotBeImagesAreRefusedWithAMessage) {
  for (const char* mode : {"--pack", "--unpack"}) {
    EXPECT_EQ(Run({mode, dir_.string(), Path("out.bin")}), kExitInputRefused) << mode;
    EXPECT_NE(err_.find("is not a regular file"), std::string::npos) << err_;
    EXPECT_EQ(Run({mode, "/dev/zero", Path("out.bin")}), kExitInputRefused) << mode;
    EXPECT_FALSE(fs::exists(Path("out.bin")));
  }

  // One byte more than the packed length field could carry in the worst
  // case; sparse, so it costs no disk.
  const std::string huge = Path("huge.bin");
  std::ofstream(huge).close();
  fs::resize_file(huge, kLargestUnpackedImage + 1);
  EXPECT_EQ(Run({"--pack", huge, Path("out.bin")}), kExitInputRefused);
  EXPECT_NE(err_.find("is larger than the 3817748704 bytes an image can hold"), std::string::npos) << err_;
  fs::resize_file(huge, kLargestPackedImage + 1);
  EXPECT_EQ(Run({"--unpack", huge, Path("out.bin")}), kExitInputRefused);
  EXPECT_FALSE(fs::exists(Path("out.bin")));
}

// The manual page is made from --help: it must succeed on standard output.
TEST_F(CommandLineTest, HelpIsAnAnswerNotAUsageError) {
  EXPECT_EQ(Run({"--help"}), kExitOk);
  EXPECT_NE(out_.find("--unpack INPUT OUTPUT"), std::string::npos) << out_;
  EXPECT_NE(out_.find("exit codes:"), std::string::npos) << out_;
  EXPECT_TRUE(err_.empty()) << err_;
  EXPECT_EQ(Run({"--help", "extra"}), kExitUsage);
}

}  // namespace
}  // namespace tarvek
