// The row a download starts from, found as the search mode finds it: the
// search link logs on with the calendar on the date, and the search viewer's
// own download step fills the record from the selected row. The link stays
// logged on while the download runs, as the search mode does: over a modem
// its command connection holds the call up.
//
// Threads: the main thread, with a QCoreApplication; events are pumped here.
#pragma once

#include <chrono>
#include <optional>
#include <ostream>
#include <string>

#include "client/kaviroctl/console_ui.h"
#include "client/kaviroctl/live_link.h"
#include "client/kaviroctl/search_link.h"
#include "client/sessions/file_download_record.h"
#include "client/sessions/search_ui.h"

namespace kaviroctl {

struct DownloadRow {
  sessions::CalendarDate date;
  uint32_t file_index = 0;
  // Seconds within the hour; nothing keeps the row's own.
  std::optional<int> from_s;
  std::optional<int> to_s;
};

// Parses "MM:SS" (00:00-59:59) into seconds within the hour.
bool ParseMinuteSecond(const std::string& text, int* seconds);

// The record for the row, its range narrowed, or the outcome that stopped it;
// `link` is left logged on when the row was found.
Outcome FindDownloadRecord(SearchLink& link, const LinkTarget& target, const DownloadRow& row,
                           std::chrono::seconds timeout, sessions::FileDownloadRecord* record, std::ostream& err);

}  // namespace kaviroctl
