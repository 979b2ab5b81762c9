#include "client/sessions/testing/session_test_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QThread>
#include <thread>

#include "client/sessions/owner_call.h"

namespace sessions::testing {
namespace {

// The shell's hand-over: the call runs on the application's thread, and a
// command socket's worker whose socket is stopping gives it up, so what
// the operator would not see is not recorded either.
bool OnUiThread(const std::function<void()>& work) { return CallOnOwnerThread(&Application(), work); }

}  // namespace

QCoreApplication& Application() {
  static int argc = 1;
  static char name[] = "sessions_test";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app = new QCoreApplication(argc, argv);
  return *app;
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  Application();
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

void RecordingUi::ReportConnectionState(int slot, ConnectionState state) {
  OnUiThread([&] {
    std::lock_guard guard(lock_);
    if (slot >= 0 && slot < 4) states_[slot] = state;
  });
}

void RecordingUi::ShowSlotStatus(int slot, const SlotStatus& status) {
  std::lock_guard guard(lock_);
  if (slot >= 0 && slot < 4) slot_states_[slot].push_back(status.state);
}

std::vector<SlotState> RecordingUi::slot_states(int slot) const {
  std::lock_guard guard(lock_);
  return slot_states_[slot];
}

void RecordingUi::AddEventLog(uint32_t colour, const std::string& text) {
  OnUiThread([&] {
    std::lock_guard guard(lock_);
    log_.push_back({colour, text});
  });
}

void RecordingUi::ShowMessage(const std::string& text, MessageIcon) {
  OnUiThread([&] {
    std::lock_guard guard(lock_);
    messages_.push_back(text);
  });
}

void RecordingUi::ShowBusy(int) {
  OnUiThread([&] {
    std::lock_guard guard(lock_);
    busy_ = true;
  });
}

void RecordingUi::HideBusy() {
  OnUiThread([&] {
    std::lock_guard guard(lock_);
    busy_ = false;
  });
}

LogonFields RecordingUi::ReadLogonFields() {
  LogonFields fields;
  OnUiThread([&] {
    std::lock_guard guard(lock_);
    fields = fields_;
  });
  return fields;
}

void RecordingUi::ClearPasswordField() {
  OnUiThread([&] {
    std::lock_guard guard(lock_);
    fields_.password.clear();
  });
}

void RecordingUi::PlayWarningBeeps() {
  OnUiThread([&] {
    std::lock_guard guard(lock_);
    ++beeps_;
  });
}

bool RecordingUi::ShowAlarm(const AlarmBox& alarm) {
  // The operator's OK, as the tests answer for it; a box given up never was.
  return OnUiThread([&] {
    std::lock_guard guard(lock_);
    alarms_.push_back(alarm);
  });
}

void RecordingUi::StartBuzzer(int) {
  OnUiThread([&] {
    std::lock_guard guard(lock_);
    ++buzzers_running_;
    ++buzzer_starts_;
  });
}

void RecordingUi::StopBuzzer(int) {
  OnUiThread([&] {
    std::lock_guard guard(lock_);
    --buzzers_running_;
  });
}

bool RecordingUi::DeliverDvrStatus(const DvrStatusBlock& status) {
  bool delivered = false;
  OnUiThread([&] {
    std::lock_guard guard(lock_);
    if (status_open_) statuses_.push_back(status);
    delivered = status_open_;
  });
  return delivered;
}

bool RecordingUi::DeliverLogPage(const DvrLogPage& page) {
  bool delivered = false;
  OnUiThread([&] {
    std::lock_guard guard(lock_);
    if (log_open_) log_pages_.push_back(page);
    delivered = log_open_;
  });
  return delivered;
}

bool RecordingUi::DeliverLightState(uint8_t status) {
  bool delivered = false;
  OnUiThread([&] {
    std::lock_guard guard(lock_);
    if (light_open_) light_states_.push_back(status);
    delivered = light_open_;
  });
  return delivered;
}

void RecordingUi::CloseLightDialog() {
  OnUiThread([&] {
    std::lock_guard guard(lock_);
    if (light_open_) ++light_closes_;
    light_open_ = false;
  });
}

void RecordingUi::SetDialogsOpen(bool status, bool log, bool light) {
  std::lock_guard guard(lock_);
  status_open_ = status;
  log_open_ = log;
  light_open_ = light;
}

std::vector<AlarmBox> RecordingUi::alarms() const {
  std::lock_guard guard(lock_);
  return alarms_;
}

int RecordingUi::buzzers_running() const {
  std::lock_guard guard(lock_);
  return buzzers_running_;
}

int RecordingUi::buzzer_starts() const {
  std::lock_guard guard(lock_);
  return buzzer_starts_;
}

std::vector<DvrStatusBlock> RecordingUi::statuses() const {
  std::lock_guard guard(lock_);
  return statuses_;
}

std::vector<DvrLogPage> RecordingUi::log_pages() const {
  std::lock_guard guard(lock_);
  return log_pages_;
}

std::vector<uint8_t> RecordingUi::light_states() const {
  std::lock_guard guard(lock_);
  return light_states_;
}

int RecordingUi::light_dialog_closes() const {
  std::lock_guard guard(lock_);
  return light_closes_;
}

void RecordingUi::SetLogonFields(const std::string& user, const std::string& password) {
  std::lock_guard guard(lock_);
  fields_ = {user, password};
}

std::vector<LoggedLine> RecordingUi::log() const {
  std::lock_guard guard(lock_);
  return log_;
}

std::vector<std::string> RecordingUi::messages() const {
  std::lock_guard guard(lock_);
  return messages_;
}

ConnectionState RecordingUi::last_state(int slot) const {
  std::lock_guard guard(lock_);
  return states_[slot];
}

bool RecordingUi::HasLog(const std::string& text) const {
  std::lock_guard guard(lock_);
  for (const auto& line : log_) {
    if (line.text == text) return true;
  }
  return false;
}

bool RecordingUi::HasMessageContaining(const std::string& text) const {
  std::lock_guard guard(lock_);
  for (const auto& message : messages_) {
    if (message.find(text) != std::string::npos) return true;
  }
  return false;
}

int RecordingUi::beeps() const {
  std::lock_guard guard(lock_);
  return beeps_;
}

bool RecordingUi::busy() const {
  std::lock_guard guard(lock_);
  return busy_;
}

vistrel::ControlResult RecordingControl::ConnectStreamPort(int, const std::string&, uint16_t, const std::string&,
                                                           const std::string&) {
  std::lock_guard guard(lock_);
  ++connects_;
  return Result::kDone;
}

vistrel::ControlResult RecordingControl::SetAlignChannelMode(int start_cell, int layout) {
  std::lock_guard guard(lock_);
  aligns_.emplace_back(start_cell, layout);
  return Result::kDone;
}

vistrel::ControlResult RecordingControl::SetMpeg4Recording(int session, int recording) {
  std::lock_guard guard(lock_);
  recordings_.emplace_back(session, recording);
  return Result::kDone;
}

std::vector<std::pair<int, int>> RecordingControl::aligns() const {
  std::lock_guard guard(lock_);
  return aligns_;
}

std::vector<std::pair<int, int>> RecordingControl::recordings() const {
  std::lock_guard guard(lock_);
  return recordings_;
}

int RecordingControl::connects() const {
  std::lock_guard guard(lock_);
  return connects_;
}

std::vector<std::vector<uint8_t>> Received(dvremu::DvrEmulator& dvr, const std::string& user, uint32_t code) {
  std::vector<std::vector<uint8_t>> payloads;
  for (const auto& command : dvr.ReceivedCommands()) {
    if (command.user == user && command.code == code) payloads.push_back(command.payload);
  }
  return payloads;
}

std::unique_ptr<dvremu::DvrEmulator> StartEmulator(dvremu::EmulatorOptions options) {
  options.read_stdin = false;
  return dvremu::DvrEmulator::StartOnFreePorts(options);
}

uint16_t ClosedPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

}  // namespace sessions::testing
