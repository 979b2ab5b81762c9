// Typed decoders of the DVR's service replies: the status reply with its
// status block, the e-mail and call service setting block, the log page of a
// day, the light state of a BYPASS reply, and the sensor and motion alarms.
// Each takes the packet's payload and gives the typed message or, when the
// bytes are too short for their fields, nothing: a half-read reply would
// show another field's bytes, or read as a success it never was.
//
// Pure functions over untrusted bytes, usable from any thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "protocol/command_codes.h"

namespace protocol {

// A reply that opens with the DVR's result byte. The body follows only a
// success; a success whose body does not decode is malformed, a failure
// carries no body at all.
template <typename Body>
struct ResultReply {
  uint8_t result = 0;
  std::optional<Body> body;  // decoded only for a success
  size_t body_bytes = 0;     // what followed the result byte

  bool succeeded() const { return result == result::kSuccess; }
  bool malformed() const { return succeeded() && !body; }
};

// The status block, fields in wire order. Numbers are big-endian on the wire.
struct DvrStatusBlock {
  std::string version;                       // 1: control 1157
  std::string model;                         // 2: 1159
  uint16_t capacity_gb = 0;                  // 3: 1162, "%d GB"
  uint16_t first_disk_gb = 0;                // 4: first number of 1165
  uint16_t second_disk_gb = 0;               // 5: first number of 1166
  std::string text6;                         // 6: 1167
  std::string text7;                         // 7: 1168
  std::string address;                       // 8: 1047, the DVR's address as text
  std::array<uint8_t, 4> service_address{};  // 9: most significant byte first
  uint8_t unused = 0;                        // 10
  std::string email;                         // 11: edit 1163
  uint8_t flag = 0;                          // 12: 1169, "ON" / "OFF"
  std::string dvr_id;                        // 13: edit 1180
  std::string call_number;                   // 14: edit 1181
  uint16_t first_disk_total_gb = 0;          // 15: second number of 1165
  uint16_t second_disk_total_gb = 0;         // 16: second number of 1166
};

// The e-mail and call service setting: address, a zero byte, three
// zero-terminated texts.
struct ServiceSettingBlock {
  std::array<uint8_t, 4> address{};  // most significant byte first
  std::string email;
  std::string dvr_id;
  std::string call_number;
};

inline constexpr size_t kLogRecordBytes = 10;

struct DvrLogRecord {
  uint8_t hour = 0;                  // packed BCD
  uint8_t minute = 0;                // packed BCD
  uint8_t second = 0;                // packed BCD
  uint16_t code = 0;                 // high byte first on the wire
  std::array<uint8_t, 4> address{};  // record bytes 6-9, shown as 9.8.7.6
};

struct DvrLogPage {
  uint32_t page_count = 0;
  uint8_t declared_records = 0;       // the count the DVR announced
  std::vector<DvrLogRecord> records;  // the whole records present, at most the count
};

// Nothing when the block ends before its last field or a text is not
// terminated within the block.
std::optional<DvrStatusBlock> DecodeStatusBlock(std::span<const uint8_t> block);
std::optional<ServiceSettingBlock> DecodeSettingBlock(std::span<const uint8_t> block);
// The answer after its result byte: page count, record count, records. A
// page announcing more records than it carries keeps the whole ones present;
// nothing when even the page header is short.
std::optional<DvrLogPage> DecodeLogPage(std::span<const uint8_t> answer);

// RESP_DVR_STATUS and RESP_LOGFILE_BY_DATE; nothing without the result byte.
std::optional<ResultReply<DvrStatusBlock>> DecodeDvrStatusReply(std::span<const uint8_t> payload);
std::optional<ResultReply<DvrLogPage>> DecodeLogPageReply(std::span<const uint8_t> payload);
// SENSOR_ALARM and MOTION_ALARM: the body is the alarm number, as sent (the
// range it must lie in is the session's rule).
std::optional<ResultReply<uint8_t>> DecodeAlarm(std::span<const uint8_t> payload);

// The data of a BYPASS reply for the light sub-code (after result and
// sub-code): the light status byte; nothing when it is missing.
std::optional<uint8_t> DecodeLightState(std::span<const uint8_t> data);

}  // namespace protocol
