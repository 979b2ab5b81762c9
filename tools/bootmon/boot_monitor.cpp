#include "tools/bootmon/boot_monitor.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "flash_tool/image_unpacker.h"

namespace bootmon {
namespace {

std::vector<uint8_t> ReadFile(const std::string& path, bool* ok) {
  std::ifstream in(path, std::ios::binary);
  *ok = static_cast<bool>(in);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

}  // namespace

BootMonitor::BootMonitor(MonitorOptions options) : options_(std::move(options)) {}

BootMonitor::~BootMonitor() {
  Stop();
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
}

bool BootMonitor::Open() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return false;
  char name[128];
  if (::ptsname_r(master_, name, sizeof name) != 0) return false;
  slave_path_ = name;
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) return false;
  // Raw until Tarvek sets the line up, so our own output is not echoed back.
  termios tio{};
  ::tcgetattr(slave_, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(slave_, TCSANOW, &tio);
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  return stop_.valid();
}

void BootMonitor::Start() {
  if (thread_.joinable()) return;
  running_ = true;
  thread_ = std::thread([this] { Run(false); });
}

void BootMonitor::Stop() {
  running_ = false;
  stop_.Set();
  // The dialogue polls the stop event, so the join is quick.
  if (thread_.joinable()) thread_.join();
}

BootMonitor::Read BootMonitor::ReadByte(uint8_t* byte, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const ssize_t n = ::read(master_, byte, 1);
    if (n == 1) return Read::kByte;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return Read::kTimeout;
    pollfd fds[2] = {{master_, POLLIN, 0}, {stop_.fd(), POLLIN, 0}};
    // EIO while no one holds the slave open cannot happen (we hold it), but
    // a short poll keeps a failing read from spinning.
    const int ready = ::poll(fds, 2, static_cast<int>(left.count() < 100 ? left.count() : 100));
    if (fds[1].revents & POLLIN) return Read::kStopped;
    if (ready < 0 && errno != EINTR) return Read::kStopped;
  }
}

bool BootMonitor::ReadExactly(uint8_t* out, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (ReadByte(out + i, options_.step_timeout) != Read::kByte) return false;
  }
  return true;
}

void BootMonitor::Print(const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(master_, text.data() + done, text.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
      return;
    } else {
      pollfd pfd{master_, POLLOUT, 0};
      ::poll(&pfd, 1, 100);
    }
  }
}

void BootMonitor::Log(const std::string& text) {
  if (options_.log_to_stdout) {
    std::printf("bootmon: %s\n", text.c_str());
    std::fflush(stdout);
  }
}

void BootMonitor::Prompt() { Print("\r\n>"); }

void BootMonitor::Run(bool once) {
  running_ = true;
  Print("\r\nDVR boot monitor 1.0\r\nA: load application, S: load boot code, T: boot code, asked\r\n");
  Prompt();
  const size_t reports_at_start = report_count();
  while (running_) {
    uint8_t byte = 0;
    const Read read = ReadByte(&byte, std::chrono::milliseconds(500));
    if (read == Read::kStopped) break;
    if (read == Read::kTimeout) continue;
    switch (byte) {
      case 0xEF:  // Tarvek's answer to a "(" prompt
        continue;
      case '\r':
      case '\n':
        Prompt();
        continue;
      case 'A':
      case 'a':
      case 'S':
      case 's':
      case 'T':
      case 't': {
        const char command = static_cast<char>(byte & ~0x20);
        Print(std::string(1, static_cast<char>(byte)));
        DownloadReport report = Download(command);
        Publish(std::move(report));
        Prompt();
        if (once && report_count() > reports_at_start) running_ = false;
        continue;
      }
      default:
        Print(std::string(1, static_cast<char>(byte)) + "\r\nUnknown command");
        Prompt();
    }
  }
}

DownloadReport BootMonitor::Download(char command) {
  DownloadReport report;
  report.command = command;
  Print(command == 'A' ? "$" : command == 'S' ? "#" : "%");
  uint8_t byte = 0;
  if (ReadByte(&byte, options_.step_timeout) != Read::kByte || byte != 'L') {
    Log("no load answer");
    Print("\r\nLoad cancelled");
    return report;
  }
  Print("g");
  uint8_t length[4];
  if (!ReadExactly(length, 4)) {
    Print("\r\nNo length");
    return report;
  }
  report.announced_length = static_cast<uint32_t>(length[0]) << 24 | length[1] << 16 | length[2] << 8 | length[3];
  if (report.announced_length > options_.max_image) {
    Print("\r\nImage too large");
    return report;
  }
  Print("r");
  report.image.resize(report.announced_length);
  size_t got = 0;
  while (got < report.image.size() && ReadByte(&report.image[got], options_.step_timeout) == Read::kByte) {
    ++got;
    // Read the rest of a burst without a poll per byte.
    while (got < report.image.size()) {
      const ssize_t n = ::read(master_, report.image.data() + got, report.image.size() - got);
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
  }
  report.received_length = static_cast<uint32_t>(got);
  report.image.resize(got);
  for (uint8_t b : report.image) report.computed_checksum += b;
  report.length_ok = got == report.announced_length;
  if (!report.length_ok) {
    Print("\r\nLength error: " + std::to_string(got) + " of " + std::to_string(report.announced_length) + " bytes");
    return report;
  }
  Print("@");
  uint8_t sum[4];
  if (!ReadExactly(sum, 4)) {
    Print("\r\nNo checksum");
    return report;
  }
  report.received_checksum = static_cast<uint32_t>(sum[0]) << 24 | sum[1] << 16 | sum[2] << 8 | sum[3];
  report.checksum_ok = report.received_checksum == report.computed_checksum;
  report.complete = true;
  Conclude(report);
  return report;
}

void BootMonitor::Conclude(DownloadReport& report) {
  std::string text = "\r\nLength " + std::to_string(report.received_length) + " OK";
  text += "\r\nChecksum " + Hex(report.received_checksum) +
          (report.checksum_ok ? " OK" : " WRONG, computed " + Hex(report.computed_checksum));
  std::string expected_path = report.command == 'A' ? options_.expected_application : options_.expected_boot;
  const std::vector<uint8_t>* compare = &report.image;
  if (report.command == 'A') {
    const tarvek::UnpackResult unpacked = tarvek::UnpackImage(report.image);
    report.unpacked_ok = unpacked.ok();
    report.unpack_message = unpacked.message;
    report.unpacked = unpacked.data;
    compare = &report.unpacked;
    text += unpacked.ok() ? "\r\nUnpacked " + std::to_string(unpacked.data.size()) + " bytes OK"
                          : "\r\nUnpack failed: " + unpacked.message;
  }
  if (!expected_path.empty()) {
    bool readable = false;
    const std::vector<uint8_t> expected = ReadFile(expected_path, &readable);
    report.matches_expected = readable && expected == *compare;
    text +=
        *report.matches_expected ? "\r\nImage matches the expected file" : "\r\nImage differs from the expected file";
  }
  if (!options_.save_dir.empty()) {
    const std::string path = options_.save_dir + (report.command == 'A' ? "/received_app.bin" : "/received_boot.bin");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(compare->data()), static_cast<std::streamsize>(compare->size()));
  }
  text += report.ok() ? "\r\nDownload OK" : "\r\nDownload FAILED";
  Print(text);
}

void BootMonitor::Publish(DownloadReport report) {
  Log(std::string(1, report.command) + " download: " + (report.ok() ? "OK" : "FAILED") + ", " +
      std::to_string(report.received_length) + " of " + std::to_string(report.announced_length) + " bytes, checksum " +
      Hex(report.received_checksum) + "/" + Hex(report.computed_checksum) +
      (report.unpack_message.empty() ? "" : ", " + report.unpack_message));
  {
    std::lock_guard lock(lock_);
    reports_.push_back(std::move(report));
  }
  reported_.notify_all();
}

size_t BootMonitor::report_count() const {
  std::lock_guard lock(lock_);
  return reports_.size();
}

std::optional<DownloadReport> BootMonitor::WaitForReport(size_t count, std::chrono::milliseconds timeout) {
  std::unique_lock lock(lock_);
  if (!reported_.wait_for(lock, timeout, [&] { return reports_.size() > count; })) return std::nullopt;
  return reports_[count];
}

}  // namespace bootmon
