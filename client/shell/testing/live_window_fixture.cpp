#include "client/shell/testing/live_window_fixture.h"

#include <QComboBox>

#include "client/shell/address_book_store.h"
#include "client/shell/buzzer.h"
#include "client/shell/connect_panel.h"
#include "client/shell/event_log.h"
#include "client/shell/hover_button.h"

namespace shell::testing {

using namespace std::chrono_literals;

void LiveWindowTest::SetUp() {
  App();
  SetAudioOutputOverride(false);
  SetToneHook([](int, int) {});
  window_ = std::make_unique<CMainWindow>();
  boxes_.Answer(window_->dialogs());
  live_ = std::make_unique<CLiveMode>(
      *window_, [this](const std::string&, int, int, int) { return dvr_answers_ping_.load() ? 1 : 0; });
  window_->SetViewer(ViewerMode::kRemoteLive, live_.get());
  window_->show();
}

void LiveWindowTest::TearDown() {
  window_->alarms().DismissAll();
  window_->SetViewer(ViewerMode::kRemoteLive, nullptr);
  live_.reset();
  window_.reset();
  JoinBeepThreads();
  SetToneHook({});
  SetAudioOutputOverride(std::nullopt);
}

std::unique_ptr<dvremu::DvrEmulator> LiveWindowTest::StartDvr(dvremu::EmulatorOptions options) {
  options.read_stdin = false;
  return dvremu::DvrEmulator::StartOnFreePorts(options);
}

std::unique_ptr<dvremu::DvrEmulator> LiveWindowTest::StartDvr(int channels) {
  dvremu::EmulatorOptions options;
  options.channels = channels;
  options.users = {{"admin", "1234"}, {"user2", "1234"}, {"user3", "1234"}};
  return StartDvr(options);
}

void LiveWindowTest::Connect(int slot, const std::string& ip, uint16_t port, const std::string& user,
                             const std::string& password) {
  const std::string alias = "dvr" + std::to_string(++entries_);
  AddressBookStore::Write(ListKind::kEthernet, {alias, ip, port, user, password});
  window_->OnCommand(DvrButton(slot));
  CConnectPanel* panel = window_->connect_panel();
  panel->FillCombos();
  const int index = panel->ethernet_combo()->findText(QString::fromStdString(alias));
  ASSERT_GT(index, 0);
  panel->ethernet_combo()->setCurrentIndex(index);
  panel->OnEthernetCombo(index);
  panel->ethernet_connect()->click();
}

void LiveWindowTest::ConnectLive(int slot, dvremu::DvrEmulator& dvr, const std::string& user) {
  Connect(slot, dvr.bound_address(), dvr.command_port(), user, "1234");
  ASSERT_TRUE(PumpUntil([&] { return live_->viewer().IsActive(slot); }, 8s)) << "slot " << slot;
}

bool LiveWindowTest::HasLogLine(const std::string& text) const {
  std::string log = "\n";
  for (const auto& line : window_->event_log()->Lines()) log += line.text.toStdString() + "\n";
  return log.find("\n" + text + "\n") != std::string::npos;
}

std::optional<BoxRequest> LiveWindowTest::BoxWith(const std::string& part, size_t from) const {
  const auto boxes = boxes_.boxes();
  for (size_t i = from; i < boxes.size(); ++i) {
    if (boxes[i].text.find(part) != std::string::npos) return boxes[i];
  }
  return std::nullopt;
}

}  // namespace shell::testing
