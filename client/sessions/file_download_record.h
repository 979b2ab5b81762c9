// What the file download session is given for one recorded file: who logs
// on, where the DVR is, which file and which stretch of it. The search viewer
// fills it from the search session and the selected row; the download dialog
// may narrow the times before the session copies it. The time fields are BCD
// bytes as the DVR sends and expects them.
#pragma once

#include <cstdint>
#include <string>

namespace sessions {

struct FileDownloadRecord {
  std::string user_name;  // at most 127 characters
  std::string password;   // at most 127 characters
  uint8_t month = 0;      // BCD
  uint8_t day = 0;        // BCD
  uint8_t year = 0;       // BCD, last two digits
  uint8_t hour = 0;       // BCD
  uint8_t start_minute = 0;
  uint8_t start_second = 0;
  uint8_t end_minute = 0;
  uint8_t end_second = 0;
  std::string address;     // dotted IPv4 text, at most 23 characters
  std::string local_path;  // at most 255 characters; empty until the dialog sets it
  uint32_t file_index = 0;
  uint16_t port = 0;  // the file download port: the command port + 2
};

}  // namespace sessions
