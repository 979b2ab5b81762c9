// An emulated DVR boot monitor on a pseudo-terminal, for Tarvek to download
// into. It prints a banner and the prompt ">", takes a command letter (A:
// application, S: boot code, T: boot code after a question) and answers with
// the load command ("$", "#" or "%"), then asks for the length ("g"), the
// image ("r") and the checksum ("@"), and reports what it got: whether the
// length and checksum are right and, for an application, whether it unpacks
// (and matches the expected file when one is given).
//
// Threads: Open and Start/Stop on the owner's thread; the dialogue runs on the
// monitor's own thread (Start) or the caller's (Run). Reports are guarded by
// `lock_`.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/close_event.h"

namespace bootmon {

struct DownloadReport {
  char command = 0;       // 'A', 'S' or 'T'
  bool complete = false;  // every step answered in time
  uint32_t announced_length = 0;
  uint32_t received_length = 0;
  uint32_t received_checksum = 0;
  uint32_t computed_checksum = 0;
  bool length_ok = false;
  bool checksum_ok = false;
  bool unpacked_ok = false;  // application only
  std::string unpack_message;
  std::optional<bool> matches_expected;
  std::vector<uint8_t> image;     // as received
  std::vector<uint8_t> unpacked;  // application only

  bool ok() const {
    return complete && length_ok && checksum_ok && (command != 'A' || unpacked_ok) && matches_expected.value_or(true);
  }
};

struct MonitorOptions {
  std::string expected_application;  // compared with the unpacked bytes
  std::string expected_boot;         // compared with the boot code
  std::string save_dir;              // received images are saved here
  std::chrono::milliseconds step_timeout{5000};
  uint32_t max_image = 64u << 20;
  bool log_to_stdout = false;
};

class BootMonitor {
 public:
  explicit BootMonitor(MonitorOptions options = {});
  ~BootMonitor();
  BootMonitor(const BootMonitor&) = delete;
  BootMonitor& operator=(const BootMonitor&) = delete;

  // Creates the pseudo-terminal; its device path is what Tarvek opens.
  bool Open();
  const std::string& slave_path() const { return slave_path_; }

  // Runs the dialogue on its own thread until Stop.
  void Start();
  void Stop();
  // Runs the dialogue on this thread until Stop (from another thread) or,
  // with `once`, until one download has been reported.
  void Run(bool once = false);

  // Waits for the next report after `count` reports so far.
  std::optional<DownloadReport> WaitForReport(size_t count, std::chrono::milliseconds timeout);
  size_t report_count() const;

 private:
  enum class Read { kByte, kTimeout, kStopped };
  Read ReadByte(uint8_t* byte, std::chrono::milliseconds timeout);
  bool ReadExactly(uint8_t* out, size_t count);
  void Print(const std::string& text);
  void Log(const std::string& text);
  void Prompt();
  DownloadReport Download(char command);
  void Conclude(DownloadReport& report);
  void Publish(DownloadReport report);

  MonitorOptions options_;
  int master_ = -1;
  int slave_ = -1;  // held open so that the line survives Tarvek's disconnects
  std::string slave_path_;
  platform::CloseEvent stop_;
  std::atomic<bool> running_{false};
  std::thread thread_;

  mutable std::mutex lock_;
  std::condition_variable reported_;
  std::vector<DownloadReport> reports_;  // guarded by lock_
};

}  // namespace bootmon
