#include "client/sessions/session_test_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QThread>
#include <random>
#include <thread>

namespace sessions::testing {

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
  std::lock_guard guard(lock_);
  if (slot >= 0 && slot < 4) states_[slot] = state;
}

void RecordingUi::AddEventLog(uint32_t colour, const std::string& text) {
  std::lock_guard guard(lock_);
  log_.push_back({colour, text});
}

void RecordingUi::ShowMessage(const std::string& text, MessageIcon) {
  std::lock_guard guard(lock_);
  messages_.push_back(text);
}

void RecordingUi::ShowBusy(int) {
  std::lock_guard guard(lock_);
  busy_ = true;
}

void RecordingUi::HideBusy() {
  std::lock_guard guard(lock_);
  busy_ = false;
}

LogonFields RecordingUi::ReadLogonFields() {
  std::lock_guard guard(lock_);
  return fields_;
}

void RecordingUi::ClearPasswordField() {
  std::lock_guard guard(lock_);
  fields_.password.clear();
}

void RecordingUi::PlayWarningBeeps() {
  std::lock_guard guard(lock_);
  ++beeps_;
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

std::unique_ptr<dvremu::DvrEmulator> StartEmulator(dvremu::EmulatorOptions options) {
  options.read_stdin = false;
  std::mt19937 random(static_cast<unsigned>(getpid()) ^ static_cast<unsigned>(time(nullptr)));
  for (int attempt = 0; attempt < 50; ++attempt) {
    options.port = static_cast<uint16_t>(20000 + random() % 40000);
    auto dvr = std::make_unique<dvremu::DvrEmulator>(options);
    std::string error;
    if (dvr->Start(&error)) return dvr;
  }
  return nullptr;
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
