// Recording in Kaviro against the emulated DVR, through the window: a video
// folder that cannot be made and a disk that fills during the recording
// both reach the operator, and the Record button never shows a recording
// that is not being written.
#include <QLineEdit>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "client/shell/connect_panel.h"
#include "client/shell/event_log.h"
#include "client/shell/hover_button.h"
#include "client/shell/live_mode.h"
#include "client/shell/lower_panels.h"
#include "client/shell/main_window.h"
#include "client/shell/settings_keys.h"
#include "client/shell/testing/shell_test_support.h"
#include "client/shell/testing/window_fixture.h"
#include "platform/registry.h"
#include "tools/dvremu/dvr_emulator.h"
#include "viewer_control/control/vistrel_ctl.h"
#include "viewer_control/engine/testing/engine_test_support.h"

namespace shell {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr ControlId kRecordButton = ControlId::kRecord;

class RecordingEndToEndTest : public testing::WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    dir_ = fs::temp_directory_path() / ("kaviro-recording-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    live_ = std::make_unique<CLiveMode>(*window_, [](const std::string&, int, int, int) { return 1; });
    window_->SetViewer(ViewerMode::kRemoteLive, live_.get());
  }
  void TearDown() override {
    window_->SetViewer(ViewerMode::kRemoteLive, nullptr);
    live_.reset();
    WindowFixture::TearDown();
    if (dvr_) dvr_->Stop();
    fs::remove_all(dir_);
  }

  void UseVideoFolder(const fs::path& folder) {
    auto key = platform::RegistryKey::Create(kVideoPathKey);
    ASSERT_TRUE(key);
    ASSERT_EQ(key->WriteString(kSavePathValue, folder.string() + "/"), 0);
  }

  // A manual logon to a 4-channel DVR, until its video shows.
  void ConnectDvr() {
    dvremu::EmulatorOptions options;
    options.read_stdin = false;
    options.channels = 4;
    options.bind_address = "127.0.0.2";  // 127.0.0.1 asks for an address-book entry
    dvr_ = dvremu::DvrEmulator::StartOnFreePorts(options);
    ASSERT_TRUE(dvr_);
    window_->OnCommand(ControlId::kLiveMode);
    ASSERT_EQ(window_->mode(), ViewerMode::kRemoteLive);
    CConnectPanel* panel = window_->connect_panel();
    panel->FillCombos();
    panel->ip_edit()->setText("127.0.0.2");
    panel->port_edit()->setText(QString::number(dvr_->command_port()));
    panel->ethernet_connect()->click();
    ASSERT_TRUE(testing::PumpUntil([&] { return window_->panel() == LowerPanel::kLogonPrompt; }, 5s));
    window_->logon_prompt()->user_edit()->setText("admin");
    window_->logon_prompt()->password_edit()->setText("1234");
    window_->button(ControlId::kLogonOk)->click();
    ASSERT_TRUE(testing::PumpUntil([&] { return engine().decoder(0).pictures_drawn() > 0; }, 8s));
  }

  vistrel::VistrelEngine& engine() { return live_->vistrel().control()->engine(); }
  bool RecordButtonLatched() { return window_->button(kRecordButton)->latched(); }
  std::optional<QString> LogLineStartingWith(const QString& start) const {
    for (const auto& line : window_->event_log()->Lines()) {
      if (line.text.startsWith(start)) return line.text;
    }
    return std::nullopt;
  }

  fs::path dir_;
  std::unique_ptr<dvremu::DvrEmulator> dvr_;
  std::unique_ptr<CLiveMode> live_;
};

TEST_F(RecordingEndToEndTest, AFolderThatCannotBeMadeLeavesTheButtonOffAndSaysWhy) {
  std::ofstream(dir_ / "video") << "a file where the folder should be";
  UseVideoFolder(dir_ / "video");
  ASSERT_NO_FATAL_FAILURE(ConnectDvr());
  const size_t boxes_before = boxes_.count();

  window_->OnCommand(kRecordButton);
  EXPECT_FALSE(RecordButtonLatched());
  EXPECT_FALSE(live_->viewer().IsRecording(0));
  ASSERT_EQ(boxes_.count(), boxes_before + 1);
  const BoxRequest box = boxes_.boxes().back();
  EXPECT_EQ(box.icon, BoxIcon::kError);
  EXPECT_EQ(box.text, "DVR 1, Recording failed.\n" + (dir_ / "video").string() + "/: Not a directory");

  // With a folder that can be made the same button records.
  UseVideoFolder(dir_ / "videos");
  window_->OnCommand(kRecordButton);
  EXPECT_TRUE(RecordButtonLatched());
  EXPECT_TRUE(live_->viewer().IsRecording(0));
  window_->OnCommand(kRecordButton);
  EXPECT_FALSE(RecordButtonLatched());
}

TEST_F(RecordingEndToEndTest, AWriteThatFailsLaterTurnsTheButtonOffAndLogsWhy) {
  UseVideoFolder(dir_ / "videos");
  ASSERT_NO_FATAL_FAILURE(ConnectDvr());
  window_->OnCommand(kRecordButton);
  ASSERT_TRUE(RecordButtonLatched());
  const std::string rmp = engine().session(0).recorder_path(0);
  ASSERT_FALSE(rmp.empty());
  ASSERT_TRUE(testing::PumpUntil([&] { return fs::file_size(rmp) > 24; }, 8s));

  {
    // The disk is full from here on: no file of the recording can grow.
    vistrel::test::FileSizeLimit full(static_cast<long long>(fs::file_size(rmp)));
    ASSERT_TRUE(testing::PumpUntil([&] { return !live_->viewer().IsRecording(0); }, 8s));
  }
  EXPECT_FALSE(RecordButtonLatched());
  const auto line = LogLineStartingWith("[ALERT] DVR1, Recording stopped: ");
  ASSERT_TRUE(line) << "no log line";
  EXPECT_TRUE(line->endsWith(".rmp: File too large")) << line->toStdString();
  EXPECT_FALSE(engine().session(0).recording());
}

}  // namespace
}  // namespace shell
