#include "client/sessions/search_rows.h"

#include <cstdio>

#include "protocol/payload.h"

namespace sessions {
namespace {

constexpr int kSecondsPerHour = 3600;

// The digits of BCD bytes as the list shows them, one nibble each.
std::string TimeText(uint8_t hour, uint8_t minute, uint8_t second) {
  char text[32];
  std::snprintf(text, sizeof text, "%01d%01d:%01d%01d:%01d%01d", hour >> 4, hour & 0x0F, minute >> 4, minute & 0x0F,
                second >> 4, second & 0x0F);
  return text;
}

int Seconds(uint8_t minute, uint8_t second) {
  return ((minute >> 4) * 10 + (minute & 0x0F)) * 60 + (second >> 4) * 10 + (second & 0x0F);
}

}  // namespace

std::string StartTimeText(const protocol::FileRecord& file) {
  return TimeText(file.hour, file.start_minute, file.start_second);
}

std::string EndTimeText(const protocol::FileRecord& file) {
  return IsStillRecording(file) ? kRecordingText : TimeText(file.hour, file.end_minute, file.end_second);
}

bool IsStillRecording(const protocol::FileRecord& file) {
  return TimeText(file.hour, file.start_minute, file.start_second) ==
         TimeText(file.hour, file.end_minute, file.end_second);
}

FileListRow MakeFileListRow(const protocol::FileRecord& file) {
  FileListRow row;
  row.time = StartTimeText(file) + "/" + EndTimeText(file);
  // The DVR sends the letters in another order than the column shows them;
  // a zero byte ends the text as it would in the list.
  const char letters[4] = {file.events[0], file.events[2], file.events[1], file.events[3]};
  for (char letter : letters) {
    if (letter == '\0') break;
    row.events.push_back(letter);
  }
  row.size = file.size + "MB";
  row.file_index = std::to_string(file.index);
  return row;
}

int StartSeconds(const protocol::FileRecord& file) { return Seconds(file.start_minute, file.start_second); }

int EndSeconds(const protocol::FileRecord& file) { return Seconds(file.end_minute, file.end_second); }

PlaybackRange MakePlaybackRange(const CalendarDate& date, const protocol::FileRecord& file, bool with_end) {
  return {protocol::BcdFromNumber(date.month),
          protocol::BcdFromNumber(date.day),
          protocol::BcdFromNumber(date.year % 100),
          file.hour,
          file.start_minute,
          file.start_second,
          with_end ? file.end_minute : uint8_t{0},
          with_end ? file.end_second : uint8_t{0}};
}

std::optional<StatusBarSpan> StatusBarOf(int start_seconds, int end_seconds) {
  if (start_seconds == 0 && end_seconds == 0) return std::nullopt;
  return StatusBarSpan{kStatusBarLeft + start_seconds * kStatusBarWidth / kSecondsPerHour,
                       kStatusBarLeft + end_seconds * kStatusBarWidth / kSecondsPerHour};
}

}  // namespace sessions
