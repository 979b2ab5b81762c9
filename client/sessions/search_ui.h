// What the search session and the search viewer need of the user interface
// on top of ISessionUi: the month calendar, the file list, the playback
// controls, the position slider and the status bar under it, the speed
// picture, the channel buttons, and the two dialogs the search mode opens.
//
// Threads: the search viewer calls these on its owner thread (the
// user-interface thread in Kaviro); the session's worker reaches them only
// through the viewer, which hands its replies to the owner thread and waits,
// as a synchronous window message would. As with ISessionUi, an
// implementation may still be called from another thread and must then hand
// the call to its own thread.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "client/sessions/file_download_record.h"
#include "client/sessions/session_ui.h"
#include "viewer_control/engine/play_direction.h"

namespace sessions {

// A date of the month calendar (year in four digits, month 1-12, day 1-31).
struct CalendarDate {
  int year = 0;
  int month = 0;
  int day = 0;
  friend bool operator==(const CalendarDate&, const CalendarDate&) = default;
};

// One row of the file list, its four columns as shown: "Time-Time",
// "Event", "File Size", "File Index".
struct FileListRow {
  std::string time;        // "10:15:00/10:20:00" or "10:15:00/Recording"
  std::string events;      // four event letters
  std::string size;        // "12MB"
  std::string file_index;  // decimal
};

// The bar under the position slider: from x_begin to x_end, in the main
// window's client pixels, kStatusBarHeight high at kStatusBarTop.
struct StatusBarSpan {
  int x_begin = 0;
  int x_end = 0;
  friend bool operator==(const StatusBarSpan&, const StatusBarSpan&) = default;
};
inline constexpr int kStatusBarLeft = 116;
inline constexpr int kStatusBarWidth = 688;
inline constexpr int kStatusBarTop = 562;
inline constexpr int kStatusBarHeight = 5;

using PlaybackDirection = vistrel::PlayDirection;

// The views of the playback grid: 0-7 one channel, then the two quads and
// all channels.
inline constexpr int kViewQuad1to4 = 8;
inline constexpr int kViewQuad5to8 = 9;
inline constexpr int kViewAll = 10;

// The eight BCD bytes of a file's range as the DVR takes them: month, day,
// year (last two digits), hour, start minute, start second, end minute, end
// second.
using PlaybackRange = std::array<uint8_t, 8>;

class ISearchUi : public ISessionUi {
 public:
  // The month calendar: bold days of the shown month (bit i is day i + 1),
  // and the date it shows.
  virtual void SetBoldDays(uint32_t day_mask) = 0;
  virtual void ClearBoldDays() = 0;
  virtual CalendarDate CalendarCurrentDate() = 0;

  // The file list. SelectedFileRow is the selected row's number (from 0) or
  // nothing when no row is selected.
  virtual void ClearFileList() = 0;
  virtual void SetFileListRows(const std::vector<FileListRow>& rows) = 0;
  virtual std::optional<int> SelectedFileRow() = 0;

  // The position slider, in seconds within the hour (0-3599).
  virtual void SetPlaybackPosition(int seconds) = 0;
  virtual void EnablePlaybackPosition(bool enabled) = 0;
  // The bar under the slider; nothing empties it.
  virtual void ShowStatusBar(std::optional<StatusBarSpan> span) = 0;
  // The speed picture: 0-4 for x1, x2, x4, x8, x16.
  virtual void ShowPlaybackSpeed(int speed_index) = 0;
  // Which playback button is down (radio behaviour); kStopped for stop.
  virtual void ShowPlaybackDirection(PlaybackDirection /*direction*/) {}

  // The channel buttons 1..count take clicks (0: none), the quad and all
  // buttons with them; the playback buttons take clicks or not.
  virtual void EnableChannelButtons(int count) = 0;
  virtual void EnablePlaybackButtons(bool enabled) = 0;
  // The shown view (0-10) is highlighted among the channel buttons.
  virtual void ShowSelectedView(int /*view*/) {}

  // ShowRotation, ShowRecording and ResetConnectionControls of ISessionUi
  // serve the search mode as well: its reset empties the connection fields
  // and puts "2000" in the port field.

  // "Kaviro - Time to time playback" on the range of a row; returns the
  // start minute the user chose (0-59) or nothing when cancelled. Modal:
  // returns once the dialog is closed.
  virtual std::optional<int> RunTimeToTimeDialog(const PlaybackRange& range) = 0;
  // "Kaviro - File Download" for the record; the dialog takes a copy.
  virtual void OpenFileDownloadDialog(const FileDownloadRecord& record) = 0;
};

}  // namespace sessions
