// The emulator's settings, from the command line or set directly by tests.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace dvremu {

struct EmulatorOptions {
  std::string bind_address = "127.0.0.1";
  uint16_t port = 4000;  // command port; stream +1, file +2; 0 = three ephemeral ports
  int channels = 4;      // 4 or 8 as a real DVR; 16 for load tests of the stream port
  int width = 352;
  int height = 240;
  int fps = 30;
  bool unpaced = false;
  uint8_t pantilt_mask = 0x05;
  uint8_t lights = 0xF5;
  uint32_t seed = 1;
  int recorded_days = 90;
  std::map<std::string, std::string> users{{"admin", "1234"}};  // name -> password
  std::string script_file;
  bool read_stdin = true;
  bool verbose = false;
  // File port, for tests of a client's edge cases (in-process only): replies
  // sent instead of the emulator's own, by code (every time that code is
  // answered), and whether a FILE_DATA of length 0 goes before the data.
  std::map<uint32_t, std::vector<uint8_t>> file_replies;
  bool empty_file_data = false;
  // FILE_DATA packets sent before the data holds, as from a DVR that stopped
  // sending (-1: never holds), so a test can cancel or drop mid-way.
  int file_data_hold_after = -1;
  // Write a DVR disk image of the recordings to this file and exit.
  std::string write_disk;
  // Write a backup CD image of the first recording to this file and exit.
  std::string write_cd;
  bool days_given = false;
  bool modem = false;  // a modem on a pseudo-terminal as well
  std::string modem_answer = "connect";
};

// Parses the command line; false with a message for bad arguments.
// `--help` sets *help and succeeds.
bool ParseCommandLine(const std::vector<std::string>& args, EmulatorOptions* options, bool* help, std::string* error);
// Reads "name password" lines (blank lines and '#' comments skipped).
bool LoadUsersFile(const std::string& path, std::map<std::string, std::string>* users, std::string* error);

// A decimal or 0x-prefixed hexadecimal number within [min, max].
bool ParseNumber(const std::string& text, long min, long max, long* value);

extern const char kUsageText[];

}  // namespace dvremu
