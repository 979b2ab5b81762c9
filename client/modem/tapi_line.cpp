#include "client/modem/tapi_line.h"

#include <fcntl.h>
#include <glob.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <QObject>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "platform/owner_thread_call.h"
#include "platform/serial_port.h"
#include "platform/trace.h"

namespace modem {
namespace {

constexpr auto kJoinTimeout = std::chrono::milliseconds(1000);
constexpr int kLineBaud = 57600;

std::vector<std::string> Glob(const char* pattern) {
  std::vector<std::string> paths;
  glob_t found{};
  if (::glob(pattern, 0, nullptr, &found) == 0) {
    for (size_t i = 0; i < found.gl_pathc; ++i) paths.emplace_back(found.gl_pathv[i]);
  }
  ::globfree(&found);
  return paths;
}

// A built-in serial port exists for every name; only one with a UART behind
// it can carry a modem.
bool HasUart(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  serial_struct info{};
  const bool uart = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
  ::close(fd);
  return uart;
}

DialResult Classify(const std::string& line) {
  if (line.rfind("CONNECT", 0) == 0) return DialResult::kConnect;
  if (line == "BUSY") return DialResult::kBusy;
  if (line == "NO CARRIER") return DialResult::kNoCarrier;
  if (line == "NO DIALTONE" || line == "NO DIAL TONE") return DialResult::kNoDialTone;
  if (line == "NO ANSWER") return DialResult::kNoAnswer;
  if (line == "ERROR") return DialResult::kError;
  return DialResult::kNone;
}

}  // namespace

std::vector<std::string> FindDataModems() {
  std::vector<std::string> modems;
  if (const char* listed = std::getenv("KAVIRO_MODEMS")) {
    std::stringstream paths(listed);
    for (std::string path; std::getline(paths, path, ':');) {
      if (!path.empty()) modems.push_back(path);
    }
  }
  for (const std::string& path : Glob("/dev/ttyS*")) {
    if (HasUart(path)) modems.push_back(path);
  }
  for (const char* pattern : {"/dev/ttyUSB*", "/dev/ttyACM*"}) {
    for (const std::string& path : Glob(pattern)) modems.push_back(path);
  }
  return modems;
}

// The command dialogue's own block: a duplicate of the line and the cancel
// event, so that a worker given up touches nothing of the dialer's.
struct CTapiLine::Dialogue {
  ~Dialogue() {
    if (fd >= 0) ::close(fd);
  }
  int fd = -1;
  platform::CloseEvent cancel;
  std::atomic<bool> cancelled{false};

  // Waits for a whole line of the modem's answer; empty at the bound.
  std::string ReadLine(std::chrono::steady_clock::time_point deadline) {
    std::string line;
    while (!cancelled) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return {};
      pollfd fds[2] = {{cancel.fd(), POLLIN, 0}, {fd, POLLIN, 0}};
      if (::poll(fds, 2, static_cast<int>(left.count())) <= 0) continue;
      if (fds[0].revents) return {};
      char c = 0;
      const ssize_t n = ::read(fd, &c, 1);
      if (n == 0 || (n < 0 && errno == EAGAIN)) continue;
      if (n < 0) return {};
      if (c == '\r' || c == '\n') {
        if (!line.empty()) return line;
        continue;
      }
      line += c;
    }
    return {};
  }
  bool Send(const std::string& command) {
    const std::string text = command + "\r";
    return ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  }
  // A command that must be answered "OK" within `wait`.
  bool Command(const std::string& command, std::chrono::milliseconds wait) {
    if (!Send(command)) return false;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (std::string line = ReadLine(deadline); !line.empty(); line = ReadLine(deadline)) {
      if (line == "OK") return true;
      if (line == "ERROR") return false;
    }
    return false;
  }
};

CTapiLine::CTapiLine(QObject& owner, Timing timing) : owner_(owner), timing_(timing), transport_(owner) {}

CTapiLine::~CTapiLine() {
  sink_ = nullptr;
  StopCall();
}

bool CTapiLine::Initialise(ICommPortSink* sink, std::vector<std::string> modems) {
  sink_ = sink;
  modems_ = std::move(modems);
  cursor_ = 0;
  if (modems_.empty()) {
    Trace("[TAPI] There are no telephony devices installed.");
    return false;
  }
  for (const std::string& name : modems_) Trace("[TAPI] Name of device is: %s", name.c_str());
  Trace("[TAPI] Tapi initialized.");
  return true;
}

std::string CTapiLine::NextModemName() {
  if (modems_.empty()) return {};
  if (cursor_ >= modems_.size()) cursor_ = 0;
  return modems_[cursor_++];
}

bool CTapiLine::MakeCall(const std::string& modem, const std::string& number) {
  if (call_in_progress_) {
    Trace("[TAPI] A call is already being handled.");
    return false;
  }
  if (modems_.empty()) {
    Trace("[TAPI] There are no telephony devices installed.");
    return false;
  }
  if (number.size() > kPhoneNumberLimit) return false;
  call_in_progress_ = true;
  number_ = number;
  // "NoModem", or a name that matches none, takes the first modem.
  device_ = modems_.front();
  for (const std::string& name : modems_) {
    Trace("[TAPI] Name of device is: %s", name.c_str());
    if (name == modem) {
      device_ = name;
      break;
    }
  }
  fd_ = ::open(device_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0 || !platform::ConfigureRawLine(fd_, kLineBaud, platform::FlowControl::kHardware)) {
    Trace("[TAPI] Unable to Use Line.");
    StopCall();
    return false;
  }
  // What a previous call left in the line is no answer to this one.
  ::tcflush(fd_, TCIOFLUSH);
  auto dialogue = std::make_shared<Dialogue>();
  dialogue->fd = ::dup(fd_);
  dialogue_ = dialogue;
  std::weak_ptr<int> alive = alive_;
  const Timing timing = timing_;
  QObject* owner = &owner_;
  const bool started = worker_.Start([dialogue, alive, timing, owner, number, this] {
    DialResult result = DialResult::kNoModem;
    if (dialogue->Command("ATZ", timing.command_wait) && dialogue->Command("AT&F E0 V1 Q0 X4", timing.command_wait) &&
        dialogue->Send("ATDT" + number)) {
      result = DialResult::kNone;
      const auto deadline = std::chrono::steady_clock::now() + timing.dial_wait;
      for (std::string line = dialogue->ReadLine(deadline); !line.empty(); line = dialogue->ReadLine(deadline)) {
        result = Classify(line);
        if (result != DialResult::kNone) break;
      }
    }
    if (dialogue->cancelled) return;
    platform::PostToOwnerThread(owner, [alive, dialogue, result, this] {
      if (!alive.expired() && dialogue_ == dialogue) OnDialResult(result);
    });
  });
  if (!started) {
    Trace("[TAPI] Dial failed.");
    StopCall();
    return false;
  }
  Trace("[TAPI] lineMakeCall succeeded.");
  return true;
}

void CTapiLine::OnDialResult(DialResult result) {
  const char* mode = nullptr;
  switch (result) {
    case DialResult::kConnect:
      Trace("[TAPI] LINE_CALLSTATE: Connected!");
      if (comms_started_) return;
      comms_started_ = true;
      {
        const int line = ::dup(fd_);
        if (line >= 0 && transport_.Start(line, sink_)) {
          Trace("[TAPI] Connected !!, Starting communications !!");
          // The modem may report the connection again; the transport reads on.
          return;
        }
        if (line >= 0) ::close(line);
      }
      Trace("[TAPI] lineGetID unhandled error.");
      break;
    case DialResult::kBusy:
      mode = "[TAPI] LINE_DISCONNECTMODE: Disconnected: Busy";
      break;
    case DialResult::kNoCarrier:
      mode = "[TAPI] LINE_DISCONNECTMODE: Disconnected: Unavaile";
      break;
    case DialResult::kNoDialTone:
      mode = "[TAPI] LINE_DISCONNECTMODE: Disconnected: No Dial Tone";
      break;
    case DialResult::kNoAnswer:
    case DialResult::kNone:
      mode = "[TAPI] LINE_DISCONNECTMODE: Disconnected: No Answer";
      break;
    case DialResult::kError:
      mode = "[TAPI] LINE_DISCONNECTMODE: Disconnected: Bad Address";
      break;
    case DialResult::kNoModem:
      Trace("[TAPI] Unable to Use Line.");
      break;
  }
  if (mode) Trace("%s", mode);
  // Every call that ends before its transport ran is a lost link for the
  // bridge, so that the sessions behind it do not wait for a DVR that
  // will never speak.
  if (sink_) sink_->OnLinkLost();
  StopCall();
}

void CTapiLine::HangUp() {
  int lines = TIOCM_DTR;
  if (::ioctl(fd_, TIOCMBIC, &lines) == 0) {
    std::this_thread::sleep_for(timing_.dtr_drop);
    ::ioctl(fd_, TIOCMBIS, &lines);
  } else {
    // No DTR to drop (a pseudo-terminal): the escape and the hang-up command.
    std::this_thread::sleep_for(timing_.guard);
    (void)!::write(fd_, "+++", 3);
    std::this_thread::sleep_for(timing_.guard);
    (void)!::write(fd_, "ATH0\r", 5);
    ::tcdrain(fd_);
  }
  Trace("[TAPI] Call Dropped.");
}

void CTapiLine::StopCall() {
  if (!call_in_progress_ || stopping_) return;
  stopping_ = true;
  Trace("[TAPI] Stopping Call in progress.");
  if (dialogue_) {
    dialogue_->cancelled = true;
    dialogue_->cancel.Set();
    worker_.JoinWithin(kJoinTimeout);
    dialogue_.reset();
  }
  transport_.Stop();
  if (fd_ >= 0) {
    HangUp();
    ::close(fd_);
    fd_ = -1;
    Trace("[TAPI] Line Closed.");
  }
  call_in_progress_ = false;
  comms_started_ = false;
  stopping_ = false;
  Trace("[TAPI] Call stopped.");
}

}  // namespace modem
