#include "platform/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/trace.h"

namespace platform {
namespace {

constexpr int kJoinTimeoutMs = 1000;
constexpr unsigned char kXon = 17;
constexpr unsigned char kXoff = 19;

}  // namespace

unsigned SpeedForBaud(int baud) {
  switch (baud) {
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    default:
      return 0;
  }
}

bool ConfigureRawLine(int fd, int baud, FlowControl flow) {
  const unsigned speed = SpeedForBaud(baud);
  termios tio{};
  if (speed == 0 || ::tcgetattr(fd, &tio) != 0) return false;
  ::cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
  tio.c_cflag = (tio.c_cflag & ~CSIZE) | CS8;
  if (flow == FlowControl::kXonXoff) {
    tio.c_iflag |= IXON | IXOFF;
    tio.c_cc[VSTART] = kXon;
    tio.c_cc[VSTOP] = kXoff;
  } else {
    tio.c_cflag |= CRTSCTS;
  }
  // Reads return at once with whatever is there.
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  ::cfsetispeed(&tio, speed);
  ::cfsetospeed(&tio, speed);
  return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

bool CaptureSink::Start(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  std::lock_guard lock(lock_);
  if (file_) std::fclose(file_);
  file_ = file;
  return true;
}

void CaptureSink::Stop() {
  std::lock_guard lock(lock_);
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

bool CaptureSink::active() const {
  std::lock_guard lock(lock_);
  return file_ != nullptr;
}

void CaptureSink::Write(const uint8_t* bytes, size_t count) {
  std::lock_guard lock(lock_);
  if (file_) {
    std::fwrite(bytes, 1, count, file_);
    std::fflush(file_);
  }
}

SerialPort::Shared::~Shared() {
  if (fd >= 0) ::close(fd);
}

SerialPort::~SerialPort() { Close(); }

bool SerialPort::Open(const std::string& device, int baud, int port_number, Notify notify, std::string* error) {
  Close();
  auto fail = [&](const char* why) {
    Trace("%s open %s (%s) failed: %s", trace_tag_.c_str(), device.c_str(), name_.c_str(), why);
    if (error) *error = why;
    return false;
  };
  name_ = "COM" + std::to_string(port_number);
  baud_ = baud;
  const unsigned speed = SpeedForBaud(baud);
  if (device.empty()) return fail("no device for this port");
  if (speed == 0) return fail("unsupported baud rate");

  auto state = std::make_shared<Shared>();
  state->fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (state->fd < 0) return fail(std::strerror(errno));
  // The port is not shared with other programs while it is open.
  ::ioctl(state->fd, TIOCEXCL);
  ::tcflush(state->fd, TCIOFLUSH);

  if (!ConfigureRawLine(state->fd, baud, FlowControl::kXonXoff)) return fail(std::strerror(errno));
  if (!state->wake.valid()) return fail("thread");

  state->notify = std::move(notify);
  state->port_index = port_number - 1;
  state->name = name_;
  state->capture = capture_;
  state->connected = true;
  if (!thread_.Start([state] { ThreadWatchComm(state); })) {
    return fail("thread");  // closing the state closes the device again
  }
  state_ = std::move(state);
  Trace("%s %s open on %s at %d baud", trace_tag_.c_str(), name_.c_str(), device.c_str(), baud);
  return true;
}

void SerialPort::Close() {
  if (!state_) return;
  state_->connected = false;
  state_->wake.Set();
  // Given up, it co-owns the state, so it may finish on its own later.
  const bool ended = thread_.JoinWithin(std::chrono::milliseconds(kJoinTimeoutMs));
  if (!ended) Trace("%s ThreadWatchComm of %s did not end in time", trace_tag_.c_str(), name_.c_str());
  if (ended) {
    ::tcflush(state_->fd, TCIOFLUSH);
    ::close(state_->fd);
    state_->fd = -1;
  }
  state_.reset();
  Trace("%s %s closed", trace_tag_.c_str(), name_.c_str());
}

size_t SerialPort::Write(const uint8_t* bytes, size_t count) {
  if (!IsConnected() || count == 0) return 0;
  const int fd = state_->fd;
  // The write time-out of the line: 230,400 / baud ms per byte.
  const auto budget =
      std::chrono::milliseconds(static_cast<long long>(count) * 230400 / (baud_ > 0 ? baud_ : 115200) + 1);
  const auto deadline = std::chrono::steady_clock::now() + budget;
  size_t written = 0;
  while (written < count) {
    const ssize_t n = ::write(fd, bytes + written, count - written);
    if (n > 0) {
      written += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) {
      Trace("%s write on %s failed: %s", trace_tag_.c_str(), name_.c_str(), std::strerror(errno));
      ::tcflush(fd, TCOFLUSH);  // clear the error state for the next write
      return 0;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      Trace("%s write on %s timed out after %zu of %zu bytes", trace_tag_.c_str(), name_.c_str(), written, count);
      break;
    }
    pollfd pfd{fd, POLLOUT, 0};
    ::poll(&pfd, 1, static_cast<int>(left.count()));
  }
  return written;
}

size_t SerialPort::DrainReceived(std::vector<uint8_t>& out) {
  if (!state_) return 0;
  // Re-arm first: bytes that arrive after the drain post a new notification.
  state_->notify_pending = false;
  return state_->ring.Drain(out);
}

void SerialPort::ThreadWatchComm(std::shared_ptr<Shared> state) {
  uint8_t chunk[256];
  bool hung_up = false;
  while (state->connected.load()) {
    pollfd fds[2] = {{state->fd, POLLIN, 0}, {state->wake.fd(), POLLIN, 0}};
    // A hung-up line reports itself at once on every poll, so after a hang-up
    // only the close event is watched, with a periodic look at the line.
    const int ready = hung_up ? ::poll(&fds[1], 1, 100) : ::poll(fds, 2, -1);
    if (ready < 0 && errno != EINTR) break;
    if (!state->connected.load()) break;
    if (hung_up) {
      hung_up = false;
      continue;
    }
    if (fds[0].revents == 0) continue;
    size_t received = 0;
    for (;;) {
      const ssize_t n = ::read(state->fd, chunk, sizeof chunk);
      if (n <= 0) {
        if (n < 0 && errno != EAGAIN && errno != EINTR && received == 0) hung_up = true;
        if (n == 0 && received == 0 && (fds[0].revents & (POLLHUP | POLLERR))) hung_up = true;
        break;
      }
      for (ssize_t i = 0; i < n; ++i) state->ring.Push(chunk[i]);
      if (state->capture) state->capture->Write(chunk, static_cast<size_t>(n));
      received += static_cast<size_t>(n);
    }
    if (received > 0 && state->notify && !state->notify_pending.exchange(true)) state->notify(state->port_index);
  }
}

}  // namespace platform
