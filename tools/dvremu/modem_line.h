// The DVR's modem on a pseudo-terminal: answers the Hayes commands, and once
// a call is up carries the DVR's three ports over the line, each packet
// marked in header byte 5 with the port it belongs to (1 command, 2 stream,
// 3 file), as a DVR's modem side does.
//
// The stream logon never crosses the line (the client's bridge answers it),
// so this side logs its stream connection on with the credentials of the
// command logon that passed by. The file port's authentication request is
// offered again until the client speaks on that port.
//
// Threads: one worker of its own; SetAnswer and HangUp from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "platform/close_event.h"

namespace dvremu {

enum class ModemAnswer { kConnect, kBusy, kNoCarrier, kNoDialTone, kNoAnswer };
bool ParseModemAnswer(const std::string& text, ModemAnswer* answer);

class ModemLine {
 public:
  ModemLine(uint16_t command_port, ModemAnswer answer) : command_port_(command_port), answer_(answer) {}
  ~ModemLine();
  // Opens the pseudo-terminal and prints "modem: PATH".
  bool Start(std::string* error);
  void Stop();
  void SetAnswer(ModemAnswer answer) { answer_ = answer; }
  // Drops the call: the client's line sees the far end gone. A new line is
  // opened (and printed) for the next call.
  void HangUp() {
    hangup_ = true;
    wake_.Set();
  }
  // The line's path now (a new one after a hang-up).
  std::string path() const {
    std::lock_guard guard(path_lock_);
    return path_;
  }
  // Packets carried to the caller so far, over all calls.
  uint64_t packets_sent() const { return packets_sent_.load(); }

 private:
  void Run();
  bool OpenLine();

  const uint16_t command_port_;
  std::atomic<ModemAnswer> answer_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> hangup_{false};
  platform::CloseEvent wake_;
  int master_ = -1;  // worker's once started
  mutable std::mutex path_lock_;
  std::string path_;  // guarded by path_lock_
  std::atomic<uint64_t> packets_sent_{0};
  std::thread thread_;
};

}  // namespace dvremu
