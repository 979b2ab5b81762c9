// Arbitrary bytes from a DVR's command port, through the live session's own
// socket worker, reassembly and dispatch, with the viewer behind it and the
// hand-overs to the owner thread run by this thread's event loop. The session
// must end the connection or go on, never crash; whatever the bytes, it is
// disconnected and idle within the bound once the DVR has closed its side.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "client/sessions/live_viewer.h"
#include "platform/tcp_socket.h"

namespace {

class QuietUi : public sessions::ISessionUi {
 public:
  void ReportConnectionState(int, sessions::ConnectionState) override {}
  void AddEventLog(uint32_t, const std::string&) override {}
  void ShowMessage(const std::string&, sessions::MessageIcon) override {}
  void ShowBusy(int) override {}
  void HideBusy() override {}
  sessions::LogonFields ReadLogonFields() override { return {"admin", "1234"}; }
  void ClearPasswordField() override {}
  void PlayWarningBeeps() override {}
  bool ShowAlarm(const sessions::AlarmBox&) override { return true; }
  void StartBuzzer(int) override {}
  void StopBuzzer(int) override {}
  bool DeliverDvrStatus(const sessions::DvrStatusBlock&) override { return true; }
  bool DeliverLogPage(const sessions::DvrLogPage&) override { return true; }
  bool DeliverLightState(uint8_t) override { return true; }
  void CloseLightDialog() override {}
};

QCoreApplication& Application() {
  static int argc = 1;
  static char name[] = "fuzz_live_command_port";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app = new QCoreApplication(argc, argv);
  return *app;
}

// Reads and drops what the session sent, without waiting.
void DrainPeer(int peer) {
  uint8_t sink[4096];
  pollfd ready{peer, POLLIN, 0};
  while (poll(&ready, 1, 0) > 0 && recv(peer, sink, sizeof sink, MSG_DONTWAIT) > 0) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Application();
  static uint16_t port = 0;
  static const int listener = platform::ListenOnLoopback(0, &port);
  if (listener < 0) return 0;

  QuietUi ui;
  sessions::CLiveViewer viewer(ui, nullptr, [](const std::string&, int, int, int) { return 1; });
  sessions::CLiveSession& session = viewer.session(0);
  if (session.SetLogonData("127.0.0.1", port, "admin", "1234", true) != 0) return 0;
  const int peer = accept(listener, nullptr, nullptr);
  if (peer < 0) return 0;
  for (size_t sent = 0; sent < size;) {
    DrainPeer(peer);
    const ssize_t n = send(peer, data + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
      break;
    }
    QCoreApplication::processEvents();
  }
  shutdown(peer, SHUT_WR);
  // The close reaches the session through its worker and the owner thread.
  // The session counts as in use from the request on: "connected" alone is
  // still false while the worker has not yet taken the connection in, and
  // all bytes may be sent and shut down by then.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (session.in_use() && std::chrono::steady_clock::now() < deadline) {
    DrainPeer(peer);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  if (session.in_use()) __builtin_trap();
  close(peer);
  return 0;
}
