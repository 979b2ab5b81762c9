#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "flash_tool/download_machine.h"
#include "flash_tool/image_unpacker.h"

namespace tarvek {
namespace {

namespace fs = std::filesystem;

class FakeHost : public DownloadHost {
 public:
  bool PortConnected() const override { return connected; }
  size_t SendToPort(const uint8_t* bytes, size_t count) override {
    sent.insert(sent.end(), bytes, bytes + count);
    writes.push_back(count);
    return count;
  }
  void Echo(char c) override { echoed.push_back(c); }
  void EndLine() override { echoed.push_back('\n'); }
  void ReturnFocus() override { ++focus; }
  void SetTitle(const std::string& t) override { title = t; }

  bool connected = true;
  std::vector<uint8_t> sent;
  std::vector<size_t> writes;
  std::string echoed;
  std::string title;
  int focus = 0;
};

class DownloadMachineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tarvek_machine_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    dialogs_.SetAnswerHook([this](const DialogRequest& request) {
      boxes_.push_back(request.text);
      captions_.push_back(request.caption);
      return DialogAnswer{answer_yes_, ""};
    });
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Feed(const std::string& bytes) {
    for (char c : bytes) machine_.OnByte(static_cast<uint8_t>(c));
  }
  std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  std::vector<uint8_t> Sent() {
    std::vector<uint8_t> sent = host_.sent;
    host_.sent.clear();
    host_.writes.clear();
    return sent;
  }

  fs::path dir_;
  FakeHost host_;
  ToolDialogs dialogs_;
  std::vector<std::string> boxes_;
  std::vector<std::string> captions_;
  bool answer_yes_ = true;
  DownloadMachine machine_{
      host_, dialogs_, (fs::temp_directory_path() / ("tarvek_dnapp_" + std::to_string(::getpid()) + ".bin")).string()};
};

TEST_F(DownloadMachineTest, PromptAndLetterArmTheLoadCommands) {
  Feed(">A$");
  EXPECT_EQ(Sent(), std::vector<uint8_t>{'L'});
  EXPECT_EQ(machine_.state(), kAppLoad);
  EXPECT_EQ(host_.echoed, ">A");
  EXPECT_EQ(host_.focus, 1);

  machine_.Reset();
  Feed(">B");
  EXPECT_EQ(machine_.state(), kIdle);
  Feed("$#%");
  EXPECT_TRUE(Sent().empty());

  // "(" is answered with 0xEF and arms like ">" does.
  Feed("\n(s#");
  EXPECT_EQ(Sent(), (std::vector<uint8_t>{0xEF, 'L'}));
  EXPECT_EQ(machine_.state(), kBootLoad);
}

TEST_F(DownloadMachineTest, LoadCommandsWhileIdleAreOnlyShown) {
  Feed("#ok\n");
  EXPECT_TRUE(Sent().empty());
  EXPECT_EQ(host_.echoed, "#ok\n");
  EXPECT_EQ(machine_.state(), kIdle);
  // A line feed leaves the state alone; any other byte drops the prompt.
  Feed(">\nT$");
  EXPECT_EQ(Sent(), std::vector<uint8_t>{'L'});
  machine_.Reset();
  Feed("> A$");
  EXPECT_TRUE(Sent().empty());
}

TEST_F(DownloadMachineTest, BootCodeQuestionDecidesThePercentCommand) {
  answer_yes_ = false;
  Feed(">a%");
  EXPECT_TRUE(Sent().empty());
  EXPECT_EQ(machine_.state(), kIdle);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0], "Are you selecting boot.bin code???");
  answer_yes_ = true;
  Feed(">a%");
  EXPECT_EQ(Sent(), std::vector<uint8_t>{'L'});
  EXPECT_EQ(machine_.state(), kBootLoad);
}

TEST_F(DownloadMachineTest, BootTargetMustBeBootBinAndMayBeChosenAgain) {
  const std::string wrong = WriteFile("app.bin", std::vector<uint8_t>(10, 1));
  machine_.SetKnownTarget(wrong);
  Feed(">S#g");
  EXPECT_EQ(machine_.state(), kBootLoad);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0], "File name is not 'boot.bin'");
  EXPECT_EQ(captions_[0], "Error");
  EXPECT_EQ(Sent(), std::vector<uint8_t>{'L'});

  // 70,000 bytes: the length goes out most significant byte first.
  const std::string boot = WriteFile("boot.bin", std::vector<uint8_t>(70000, 0x11));
  machine_.SetKnownTarget(boot);
  Feed("g");
  EXPECT_EQ(machine_.state(), kLengthSent);
  EXPECT_EQ(Sent(), (std::vector<uint8_t>{0x00, 0x01, 0x11, 0x70}));
}

TEST_F(DownloadMachineTest, BootWithoutUsableTargetGoesIdle) {
  machine_.SetKnownTarget((dir_ / "gone/boot.bin").string());
  Feed(">S#g");
  EXPECT_EQ(boxes_.back(), "File not found");
  EXPECT_EQ(machine_.state(), kIdle);
}

TEST_F(DownloadMachineTest, BlocksOf4096AndTheChecksumAtTheEnd) {
  struct Case {
    size_t length;
    std::vector<size_t> writes;
  };
  for (const Case& c : {Case{8192, {4096, 4096}}, Case{8193, {4096, 4096, 1}}, Case{4, {4}}}) {
    machine_.Reset();
    const std::string boot = WriteFile("boot.bin", std::vector<uint8_t>(c.length, 0xFF));
    machine_.SetKnownTarget(boot);
    Feed(">t#g");
    Sent();
    Feed("r");
    EXPECT_EQ(host_.writes, c.writes) << c.length;
    EXPECT_EQ(machine_.state(), kImageSent);
    EXPECT_FALSE(machine_.file_open());
    EXPECT_EQ(host_.title, boot);
    Sent();
    Feed("@");
    const uint32_t sum = static_cast<uint32_t>(c.length) * 0xFF;
    EXPECT_EQ(Sent(), (std::vector<uint8_t>{static_cast<uint8_t>(sum >> 24), static_cast<uint8_t>(sum >> 16),
                                            static_cast<uint8_t>(sum >> 8), static_cast<uint8_t>(sum)}));
    EXPECT_EQ(machine_.state(), kIdle);
  }
  // The 4-byte all-0xFF image of the last case sums to 0x3FC.
  EXPECT_EQ(machine_.checksum(), 0x3FCu);
}

TEST_F(DownloadMachineTest, ApplicationIsPackedBeforeItGoesOut) {
  std::vector<uint8_t> app(20000);
  for (size_t i = 0; i < app.size(); ++i) app[i] = static_cast<uint8_t>(i % 7 == 0 ? i : 0);
  machine_.SetKnownTarget(WriteFile("app.bin", app));
  Feed(">A$g");
  Sent();
  Feed("r");
  const std::vector<uint8_t> image = Sent();
  const UnpackResult unpacked = UnpackImage(image);
  ASSERT_TRUE(unpacked.ok()) << unpacked.message;
  EXPECT_EQ(unpacked.data, app);
  EXPECT_EQ(machine_.image_length(), image.size());

  // A target that vanished is not replaced by the dnapp.bin of the last run.
  machine_.SetKnownTarget((dir_ / "missing.bin").string());
  Feed(">A$g");
  EXPECT_EQ(boxes_.back(), "\nFile not found(1)\n");
  EXPECT_EQ(machine_.state(), kIdle);
  EXPECT_EQ(Sent(), std::vector<uint8_t>{'L'});

  // A folder chosen as the target cannot be opened as a file either.
  machine_.SetKnownTarget(dir_.string());
  Feed(">A$g");
  EXPECT_EQ(boxes_.back(), "\nFile not found(1)\n");
  EXPECT_EQ(machine_.state(), kIdle);
  EXPECT_EQ(Sent(), std::vector<uint8_t>{'L'});

  machine_.Reset();
  Feed(">A$g");
  EXPECT_EQ(boxes_.back(), "Select target file");
}

TEST_F(DownloadMachineTest, AnAbandonedApplicationDownloadNeverGoesOutAsBootCode) {
  const std::vector<uint8_t> boot_code(300, 0xB0);
  const std::string boot = WriteFile("boot.bin", boot_code);
  const auto boot_follows = [&] {
    machine_.SetKnownTarget(boot);
    Sent();
    Feed(">S#g");
    EXPECT_EQ(Sent(), (std::vector<uint8_t>{'L', 0, 0, 0x01, 0x2C}));
    Feed("r");
    EXPECT_EQ(Sent(), boot_code);
  };

  // The monitor prints something else between "g" and "r".
  machine_.SetKnownTarget(WriteFile("app.bin", std::vector<uint8_t>(5000, 0x33)));
  Feed(">A$g");
  ASSERT_EQ(machine_.state(), kLengthSent);
  Feed("?");
  EXPECT_FALSE(machine_.file_open());
  boot_follows();

  // The image request came while the port was down, then the monitor gave up.
  machine_.SetKnownTarget(WriteFile("app.bin", std::vector<uint8_t>(5000, 0x33)));
  Feed(">A$g");
  host_.connected = false;
  Feed("r");
  host_.connected = true;
  Feed("@");
  EXPECT_FALSE(machine_.file_open());
  boot_follows();
}

TEST_F(DownloadMachineTest, ImageRequestWithoutPortSendsNothing) {
  machine_.SetKnownTarget(WriteFile("boot.bin", {1, 2, 3}));
  Feed(">S#g");
  host_.connected = false;
  Sent();
  Feed("r");
  EXPECT_TRUE(Sent().empty());
  EXPECT_EQ(boxes_.back(), "Initialize port.");
  EXPECT_EQ(captions_.back(), "");
}

TEST_F(DownloadMachineTest, CancelStopsBetweenBlocksAndKeepsState) {
  class CancelAfterTwo : public ProgressView {
   public:
    void Show(const std::string&, uint32_t, int range) override { range_max = range; }
    void SetPercent(int percent) override { percents->push_back(percent); }
    void SetPosition(int) override {}
    bool Cancelled() override { return ++asked > 2; }
    void Hide() override {}
    int asked = 0;
    int range_max = 0;
    std::vector<int>* percents = nullptr;
  };
  std::vector<int> percents;
  dialogs_.SetAnswerHook([](const DialogRequest&) { return DialogAnswer{}; },
                         [&] {
                           auto view = std::make_unique<CancelAfterTwo>();
                           view->percents = &percents;
                           return view;
                         });
  machine_.SetKnownTarget(WriteFile("boot.bin", std::vector<uint8_t>(5 * 4096, 2)));
  Feed(">S#g");
  Sent();
  Feed("r");
  EXPECT_EQ(host_.writes.size(), 2u);
  EXPECT_EQ(percents, (std::vector<int>{0, 20}));
  EXPECT_EQ(machine_.state(), kImageSent);
}

}  // namespace
}  // namespace tarvek
