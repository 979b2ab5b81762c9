// Tarvek's view logic, headless, downloads a boot image and a packed
// application over a pseudo-terminal into the emulated boot monitor, which
// checks length, checksum and the unpacked bytes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>

#include "flash_tool/lenk_view_logic.h"
#include "tools/bootmon/boot_monitor.h"

namespace tarvek {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Stands in for the UI thread's event queue: the port's notification only
// wakes the test thread, which then drains like the view does.
class UiQueue {
 public:
  void Post() {
    {
      std::lock_guard lock(lock_);
      posted_ = true;
    }
    wake_.notify_one();
  }
  bool Wait(std::chrono::milliseconds timeout) {
    std::unique_lock lock(lock_);
    const bool posted = wake_.wait_for(lock, timeout, [&] { return posted_; });
    posted_ = false;
    return posted;
  }

 private:
  std::mutex lock_;
  std::condition_variable wake_;
  bool posted_ = false;
};

std::vector<uint8_t> FirmwareLike(size_t size) {
  std::mt19937 random(7);
  std::vector<uint8_t> data(size, 0);
  for (size_t i = 0; i < size; i += 64) {
    if ((i / 4096) % 3 == 2) continue;  // zero-filled stretches
    for (size_t k = i; k < i + 48 && k < size; ++k) data[k] = static_cast<uint8_t>(random() % 24);
  }
  return data;
}

class DownloadEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = fs::temp_directory_path() / ("tarvek_e2e_" + std::to_string(::getpid()));
    fs::create_directories(home_);
    boot_ = FirmwareLike(5000);
    app_ = FirmwareLike(100000);
    Write("boot.bin", boot_);
    Write("app_image.bin", app_);

    bootmon::MonitorOptions options;
    options.expected_boot = (home_ / "boot.bin").string();
    options.expected_application = (home_ / "app_image.bin").string();
    monitor_ = std::make_unique<bootmon::BootMonitor>(options);
    ASSERT_TRUE(monitor_->Open());
    std::ofstream(home_ / "tarvek.ports") << monitor_->slave_path() << "\n";
    std::ofstream(home_ / "tarvek.cfg") << "1\n115200\n";

    dialogs_.SetAnswerHook([this](const DialogRequest& request) {
      if (request.kind == DialogKind::kMessage) boxes_.push_back(request.text);
      return DialogAnswer{true, next_file_};
    });
    view_ =
        std::make_unique<LenkViewLogic>(ToolConfig(home_.string()), dialogs_, nullptr, [this](int) { queue_.Post(); });
    view_->Start();
  }
  void TearDown() override {
    view_.reset();
    monitor_.reset();
    fs::remove_all(home_);
  }
  void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream(home_ / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  // Runs the UI side until the monitor has reported `count` downloads.
  std::optional<bootmon::DownloadReport> PumpUntilReport(size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    while (std::chrono::steady_clock::now() < deadline) {
      if (queue_.Wait(20ms))
        view_->OnPortNotification(0);
      else
        view_->OnFlushTimer();
      if (monitor_->report_count() > count) {
        // Take up the monitor's closing lines too.
        for (int i = 0; i < 10; ++i) {
          if (queue_.Wait(20ms)) view_->OnPortNotification(0);
        }
        view_->OnFlushTimer();
        return monitor_->WaitForReport(count, 0ms);
      }
    }
    return std::nullopt;
  }

  fs::path home_;
  std::vector<uint8_t> boot_, app_;
  std::unique_ptr<bootmon::BootMonitor> monitor_;
  ToolDialogs dialogs_;
  std::vector<std::string> boxes_;
  std::string next_file_;
  UiQueue queue_;
  std::unique_ptr<LenkViewLogic> view_;
};

TEST_F(DownloadEndToEnd, BootCodeThenPackedApplication) {
  next_file_ = (home_ / "boot.bin").string();
  view_->OpenTarget();
  view_->Connect();
  ASSERT_TRUE(view_->connected()) << view_->title();
  EXPECT_EQ(view_->title(), "Port COM1 Initialization success");
  EXPECT_EQ(view_->line_pane(), "ON 115200");
  monitor_->Start();

  view_->KeyTyped("S");
  const auto boot = PumpUntilReport(0);
  ASSERT_TRUE(boot.has_value());
  EXPECT_TRUE(boot->ok());
  EXPECT_EQ(boot->image, boot_);
  EXPECT_EQ(boot->received_checksum, boot->computed_checksum);
  // The monitor's prompt after its report leaves the tool at the prompt.
  EXPECT_EQ(view_->machine().state(), kPromptSeen);
  EXPECT_NE(view_->terminal().text().find("Download OK"), std::string::npos) << view_->terminal().text();

  next_file_ = (home_ / "app_image.bin").string();
  view_->OpenTarget();
  view_->KeyTyped("A");
  const auto app = PumpUntilReport(1);
  ASSERT_TRUE(app.has_value());
  EXPECT_TRUE(app->ok()) << app->unpack_message;
  EXPECT_TRUE(app->unpacked_ok);
  EXPECT_EQ(app->unpacked, app_);
  EXPECT_LT(app->image.size(), app_.size() * 3 / 4);
  ASSERT_TRUE(app->matches_expected.value_or(false));
  EXPECT_TRUE(boxes_.empty()) << boxes_.front();

  view_->Disconnect();
  EXPECT_EQ(view_->line_pane(), "OFF Line");
}

}  // namespace
}  // namespace tarvek
