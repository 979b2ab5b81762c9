// Test support of the modem link: a pseudo-terminal pair as the line (the
// client's side on the slave, the far end played on the master) and an
// owner thread's event loop to pump.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/serial_port.h"

namespace modem::testing {

inline QCoreApplication& Application() {
  static int argc = 1;
  static char name[] = "modem_test";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

// Runs the owner's event loop until `done`, at most `bound`.
inline bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds bound = std::chrono::seconds(30)) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

class LinePair {
 public:
  LinePair() {
    char name[128];
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) return;
    path_ = name;
    platform::ConfigureRawLine(slave_, 57600, platform::FlowControl::kHardware);
    termios tio{};
    ::tcgetattr(master_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(master_, TCSANOW, &tio);
    // The client's reader hands over to this thread's event loop, which
    // Send pumps while the line is full.
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  }
  ~LinePair() {
    CloseMaster();
    if (slave_ >= 0) ::close(slave_);
  }
  // The client's side, handed over: the pair no longer closes it.
  int TakeSlave() {
    const int fd = slave_;
    slave_ = -1;
    return fd;
  }
  const std::string& path() const { return path_; }
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }
  void Send(const std::vector<uint8_t>& bytes) const {
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (n > 0) {
        done += static_cast<size_t>(n);
      } else {
        pollfd wait{master_, POLLOUT, 0};
        ::poll(&wait, 1, 100);
        QCoreApplication::processEvents();
      }
    }
  }
  void Send(const std::string& text) const { Send(std::vector<uint8_t>(text.begin(), text.end())); }
  // Reads what the client wrote until `count` bytes are in, at most 30 s.
  std::vector<uint8_t> Receive(size_t count) const {
    std::vector<uint8_t> bytes;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (bytes.size() < count && std::chrono::steady_clock::now() < deadline) {
      pollfd wait{master_, POLLIN, 0};
      if (::poll(&wait, 1, 10) == 1) {
        uint8_t chunk[4096];
        const ssize_t n = ::read(master_, chunk, std::min(sizeof chunk, count - bytes.size()));
        if (n > 0) bytes.insert(bytes.end(), chunk, chunk + n);
      }
      QCoreApplication::processEvents();
    }
    return bytes;
  }
  int master() const { return master_; }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
};

}  // namespace modem::testing
