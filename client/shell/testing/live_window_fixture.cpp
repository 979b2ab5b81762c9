#include "client/shell/testing/live_window_fixture.h"

#include <QComboBox>

#include "client/shell/connect_panel.h"
#include "client/shell/hover_button.h"
#include "viewer_control/control/vistrel_ctl.h"

namespace shell::testing {

using namespace std::chrono_literals;

void LiveWindowTest::SetUp() {
  WindowFixture::SetUp();
  live_ = std::make_unique<CLiveMode>(
      *window_, [this](const std::string&, int, int, int) { return dvr_answers_ping_.load() ? 1 : 0; });
  window_->SetViewer(ViewerMode::kRemoteLive, live_.get());
}

void LiveWindowTest::TearDown() {
  window_->alarms().DismissAll();
  window_->SetViewer(ViewerMode::kRemoteLive, nullptr);
  live_.reset();
  WindowFixture::TearDown();
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
  ConnectEntry(slot, {"dvr" + std::to_string(++entries_), ip, port, user, password});
}

void LiveWindowTest::ConnectEntry(int slot, const AddressEntry& entry) {
  AddressBookStore::Write(ListKind::kEthernet, entry);
  window_->OnCommand(DvrButton(slot));
  CConnectPanel* panel = window_->connect_panel();
  panel->FillCombos();
  const int index = panel->ethernet_combo()->findText(QString::fromStdString(entry.alias));
  ASSERT_GT(index, 0);
  panel->ethernet_combo()->setCurrentIndex(index);
  panel->OnEthernetCombo(index);
  panel->ethernet_connect()->click();
}

void LiveWindowTest::ConnectLive(int slot, dvremu::DvrEmulator& dvr, const std::string& user) {
  Connect(slot, dvr.bound_address(), dvr.command_port(), user, "1234");
  ASSERT_TRUE(PumpUntil([&] { return live_->viewer().IsActive(slot); }, 8s)) << "slot " << slot;
}

bool LiveWindowTest::SlotShowsVideo(int slot) const {
  const auto& cells = live_->viewer().cells().CellsOf(slot);
  if (cells.empty()) return false;
  for (int cell : cells) {
    if (!live_->vistrel().control()->engine().decoder(cell).is_playing()) return false;
  }
  return true;
}

}  // namespace shell::testing
