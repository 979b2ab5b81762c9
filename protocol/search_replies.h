// Typed decoders for the replies of the search and playback mode. Pure
// functions: payload bytes in, the reply's fields or std::nullopt
// ("malformed") out. As for the other command replies, a refusal may end
// after its result byte; a success must carry every field it promises.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace protocol {

inline constexpr size_t kFileRecordSize = 20;

// RESP_SEARCH: the recorded days of the current month and the channel count.
struct SearchReply {
  uint8_t result = 0;
  uint32_t day_mask = 0;  // bit i: day i + 1 has recordings
  uint8_t channel_count = 0;
};

// RESP_RECMONTHINFO: the recorded days of the asked month.
struct MonthInfoReply {
  uint8_t result = 0;
  uint32_t day_mask = 0;
};

// One recorded file of a day. Times are the BCD bytes as sent; the hour is
// shared by start and end.
struct FileRecord {
  uint32_t index = 0;
  uint8_t hour = 0;
  uint8_t start_minute = 0;
  uint8_t start_second = 0;
  uint8_t end_minute = 0;
  uint8_t end_second = 0;
  std::array<char, 4> events{};  // as sent, bytes 12-15
  std::string size;              // up to four ASCII digits, megabytes
  friend bool operator==(const FileRecord&, const FileRecord&) = default;
};

// RESP_RECDAYINFO: every whole record after the result byte; a tail shorter
// than a record is ignored.
struct DayInfoReply {
  uint8_t result = 0;
  std::vector<FileRecord> files;
};

// RESP_PLAYBACK: on refusal, the reason (1 no such file, 2 the DVR's own
// playback is running); 0 when the DVR gave none.
struct PlaybackReply {
  uint8_t result = 0;
  uint8_t reason = 0;
};

// BYPASS_REPLY 0x0F: the playing position within its hour.
struct PlaybackClock {
  int minute = 0;
  int second = 0;
  int seconds() const { return minute * 60 + second; }
};

std::optional<SearchReply> DecodeSearchReply(std::span<const uint8_t> payload);
std::optional<MonthInfoReply> DecodeMonthInfoReply(std::span<const uint8_t> payload);
std::optional<DayInfoReply> DecodeDayInfoReply(std::span<const uint8_t> payload);
std::optional<PlaybackReply> DecodePlaybackReply(std::span<const uint8_t> payload);
// RESP_RECSTATUSBAR and the direction, speed, trickmode and jump replies: the
// result byte.
std::optional<uint8_t> DecodePlaybackResult(std::span<const uint8_t> payload);
// RESP_STOP_RECSTREAM: the code of the stop it answers (0x33 or 0x08).
std::optional<uint8_t> DecodeStopRecordStreamReply(std::span<const uint8_t> payload);
// The data after the bypass sub-code 0x0F: at least two bytes, the third and
// fourth of the payload, both valid BCD within 0-59.
std::optional<PlaybackClock> DecodePlaybackClock(std::span<const uint8_t> data);

}  // namespace protocol
