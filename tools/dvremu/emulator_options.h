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
