// The file list's texts and the ranges built from a day list's records: what
// the search viewer shows for a file and what it sends to play it.
#pragma once

#include <optional>
#include <string>

#include "client/sessions/search_ui.h"
#include "protocol/search_replies.h"

namespace sessions {

inline constexpr const char* kRecordingText = "Recording";

// "10:15:00" of the record's hour and start time, and of its end time.
std::string StartTimeText(const protocol::FileRecord& file);
std::string EndTimeText(const protocol::FileRecord& file);
// Still being written: start and end read the same.
bool IsStillRecording(const protocol::FileRecord& file);
FileListRow MakeFileListRow(const protocol::FileRecord& file);

// Seconds within the hour of the start and of the end.
int StartSeconds(const protocol::FileRecord& file);
int EndSeconds(const protocol::FileRecord& file);

// Month, day, year, hour, start minute and second from the date and the
// record; with `with_end` the record's end minute and second follow, else two
// zero bytes (play to the end).
PlaybackRange MakePlaybackRange(const CalendarDate& date, const protocol::FileRecord& file, bool with_end);

// The bar of a file under the position slider; nothing for 0 to 0.
std::optional<StatusBarSpan> StatusBarOf(int start_seconds, int end_seconds);

}  // namespace sessions
