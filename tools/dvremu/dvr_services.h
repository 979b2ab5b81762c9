// Payloads of the DVR's service replies: the status block, the pages of a
// day's event log, and the e-mail and call service setting the status block
// reports back.
//
// Plain values and functions; the emulator guards the shared setting.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace dvremu {

struct ServiceSetting {
  std::array<uint8_t, 4> address{192, 168, 0, 200};  // most significant byte first
  std::string email = "dvr@example.com";
  std::string dvr_id = "DVR-01";
  std::string call_number = "0123456789";
};

// The setting block of a BYPASS 0x62 (after "t" "b"): address, a zero byte,
// three zero-terminated texts. Nothing for a malformed block.
std::optional<ServiceSetting> ParseServiceSetting(std::span<const uint8_t> block);

// The status block (after the result byte of RESP_DVR_STATUS).
std::vector<uint8_t> BuildStatusBlock(const ServiceSetting& setting, const std::string& address, int channels);

struct LogRecord {
  int hour = 0;
  int minute = 0;
  int second = 0;
  uint16_t code = 0;
  std::array<uint8_t, 4> address{255, 0, 0, 0};  // wire order: byte 6 .. byte 9
};

inline constexpr int kLogRecordsPerPage = 20;

// The event log of one day, generated from the seed and the date; a day
// after `today_key` (yyyymmdd) has none.
std::vector<LogRecord> DayLog(uint32_t seed, int year, int month, int day, int today_key);

// The payload of RESP_LOGFILE_BY_DATE for a 1-based page: result, page
// count, record count, records. A day without records gets one page with
// the "no log" record; a page beyond the count is a failure.
std::vector<uint8_t> BuildLogPage(const std::vector<LogRecord>& log, uint32_t page);

}  // namespace dvremu
