#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "flash_tool/lenk_view_logic.h"

namespace tarvek {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class RecordingObserver : public ViewObserver {
 public:
  void TitleChanged(const std::string& title) override { titles.push_back(title); }
  void PanesChanged(const std::string& line, const std::string& save) override { panes = line + "|" + save; }
  void TerminalInserted(const std::string& text) override { shown += text; }
  void TerminalCleared() override { shown.clear(); }
  void FocusToMainWindow() override { ++focus; }
  void FlushTimerChanged(bool running) override { timer = running; }

  std::vector<std::string> titles;
  std::string panes;
  std::string shown;
  int focus = 0;
  bool timer = false;
};

class LenkViewLogicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = fs::temp_directory_path() / ("tarvek_view_" + std::to_string(::getpid()));
    fs::remove_all(home_);
    char name[128];
    ASSERT_EQ(::openpty(&master_, &slave_, name, nullptr, nullptr), 0);
    ::fcntl(master_, F_SETFL, O_NONBLOCK);
    slave_path_ = name;
    dialogs_.SetAnswerHook([this](const DialogRequest& request) {
      if (request.kind == DialogKind::kMessage) boxes_.push_back(request.text);
      return DialogAnswer{true, next_file_};
    });
    view_ = MakeView();
    view_->Start();
    std::ofstream(home_ / "tarvek.ports") << slave_path_ << "\n";
  }
  void TearDown() override {
    view_.reset();
    ::close(master_);
    ::close(slave_);
    fs::remove_all(home_);
  }
  std::unique_ptr<LenkViewLogic> MakeView() {
    return std::make_unique<LenkViewLogic>(ToolConfig(home_.string()), dialogs_, &observer_,
                                           [this](int) { notified_ = true; });
  }
  // Writes as the monitor would and waits until the view has taken it in.
  void MonitorSays(const std::string& text) {
    notified_ = false;
    ASSERT_EQ(::write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    for (int i = 0; i < 200 && !notified_; ++i) std::this_thread::sleep_for(5ms);
    view_->OnPortNotification(0);
  }
  std::string MonitorHears() {
    std::string heard;
    char buffer[256];
    pollfd pfd{master_, POLLIN, 0};
    while (::poll(&pfd, 1, 200) > 0) {
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n <= 0) break;
      heard.append(buffer, static_cast<size_t>(n));
    }
    return heard;
  }

  fs::path home_;
  int master_ = -1, slave_ = -1;
  std::string slave_path_;
  ToolDialogs dialogs_;
  std::vector<std::string> boxes_;
  std::string next_file_;
  RecordingObserver observer_;
  std::atomic<bool> notified_{false};
  std::unique_ptr<LenkViewLogic> view_;
};

TEST_F(LenkViewLogicTest, ConnectNeedsThePortSetting) {
  EXPECT_EQ(observer_.panes, "OFF Line|Save OFF");
  view_->Connect();
  EXPECT_FALSE(view_->connected());
  ASSERT_FALSE(boxes_.empty());
  EXPECT_EQ(boxes_[0], "Serial port not setting!!!");
  EXPECT_EQ(view_->title(), "Not Setting Serial Port.");

  // A line that is not a number names no port: the open fails.
  std::ofstream(home_ / "tarvek.cfg") << "COM1\n115200\n";
  view_->Connect();
  EXPECT_FALSE(view_->connected());
  EXPECT_EQ(view_->title(), "Fail Port Initialization");
}

TEST_F(LenkViewLogicTest, TypingWhileDisconnectedSendsNothing) {
  view_->KeyTyped("A");
  EXPECT_EQ(view_->title(), "Not Open the Port.");
  EXPECT_EQ(MonitorHears(), "");
}

TEST_F(LenkViewLogicTest, ChosenTargetIsRememberedAcrossRestarts) {
  const std::string target = (home_ / "app.bin").string();
  std::ofstream(target) << "image";
  next_file_ = target;
  view_->OpenTarget();
  EXPECT_EQ(view_->title(), target);
  view_.reset();

  view_ = MakeView();
  view_->Start();
  view_->ApplyPortSetting(1, 57600);
  ASSERT_TRUE(view_->connected());
  EXPECT_EQ(view_->machine().target_path(), target);
  EXPECT_NE(std::find(observer_.titles.begin(), observer_.titles.end(), target), observer_.titles.end());
  EXPECT_EQ(view_->title(), "Port COM1 Initialization success");
  EXPECT_EQ(observer_.panes, "ON 57600|Save OFF");
  EXPECT_TRUE(observer_.timer);
  EXPECT_TRUE(boxes_.empty());
  std::string cfg;
  std::getline(std::ifstream(home_ / "tarvek.cfg"), cfg, '\0');
  EXPECT_EQ(cfg, "1\n57600\n");

  view_->Disconnect();
  EXPECT_EQ(observer_.panes, "OFF Line|Save OFF");
  EXPECT_FALSE(observer_.timer);
}

TEST_F(LenkViewLogicTest, TerminalShowsPromptsAtTheTimerAndKeysReachThePort) {
  std::ofstream(home_ / "tarvek.cfg") << "1\n115200\n";
  view_->Connect();
  ASSERT_TRUE(view_->connected());
  EXPECT_EQ(boxes_, std::vector<std::string>{"Select file."});  // no target yet

  MonitorSays(std::string("boot\r\n\0line", 11));
  EXPECT_EQ(observer_.shown, "boot\n");  // zero bytes are dropped, CR not shown
  MonitorSays("\n>");
  EXPECT_EQ(observer_.shown, "boot\nline\n");
  view_->OnFlushTimer();
  EXPECT_EQ(observer_.shown, "boot\nline\n>");
  EXPECT_GE(observer_.focus, 3);

  view_->KeyTyped("x\n");
  EXPECT_EQ(MonitorHears(), "x\r\n");
  view_->ClearScreen();
  EXPECT_EQ(view_->terminal().text(), "");
}

TEST_F(LenkViewLogicTest, CaptureKeepsEveryReceivedByte) {
  std::ofstream(home_ / "tarvek.cfg") << "1\n115200\n";
  view_->Connect();
  next_file_ = (home_ / "capture.txt").string();
  view_->ToggleCapture();
  EXPECT_EQ(observer_.panes, "ON 115200|Save ON");
  MonitorSays(std::string("a\r\n\0b", 5));
  view_->ToggleCapture();
  EXPECT_EQ(observer_.panes, "ON 115200|Save OFF");
  std::stringstream captured;
  captured << std::ifstream(next_file_, std::ios::binary).rdbuf();
  EXPECT_EQ(captured.str(), std::string("a\r\n\0b", 5));

  next_file_ = (home_ / "no/such/dir.txt").string();
  view_->ToggleCapture();
  EXPECT_EQ(boxes_.back(), "File open error");
  view_->SaveTerminalText();
  EXPECT_EQ(boxes_.back(), "File open error");
}

}  // namespace
}  // namespace tarvek
