// kaviroctl's search and play: the recorded days of a month, the files of a
// day, and the playback of one file, on the client's own search viewer.
#pragma once

#include <chrono>
#include <optional>
#include <ostream>
#include <string>

#include "client/kaviroctl/ctl_report.h"
#include "client/kaviroctl/live_link.h"
#include "client/sessions/search_ui.h"

namespace kaviroctl {

struct SearchOptions {
  LinkTarget target;
  std::chrono::seconds timeout{10};
  std::optional<sessions::CalendarDate> month;  // day 1 of the month asked for
  std::optional<sessions::CalendarDate> date;
  std::optional<uint32_t> file;
  std::optional<int> from_minute;
  int speed = 1;  // 1, 2, 4, 8 or 16
  bool reverse = false;
  int seconds = 3;
  std::string out;
  bool record = false;
  bool quiet = true;  // the sessions' notices stay off standard error
};

// "YYYY-MM" into day 1 of that month.
bool ParseMonth(const std::string& text, sessions::CalendarDate* month);

// The logon lines go to `preamble`.
int RunSearch(const SearchOptions& options, CtlReport& report, std::ostream& preamble, std::ostream& err);
int RunPlay(const SearchOptions& options, CtlReport& report, std::ostream& preamble, std::ostream& err);

}  // namespace kaviroctl
