#include "client/kaviroctl/download_finder.h"

#include <cstdio>

#include "protocol/payload.h"

namespace kaviroctl {
namespace {

int Number(uint8_t bcd) { return (bcd >> 4) * 10 + (bcd & 0x0F); }

}  // namespace

bool ParseMinuteSecond(const std::string& text, int* seconds) {
  int minute = 0;
  int second = 0;
  char tail = 0;
  if (text.size() != 5 || text[2] != ':' || std::sscanf(text.c_str(), "%2d:%2d%c", &minute, &second, &tail) != 2) {
    return false;
  }
  if (minute < 0 || minute > 59 || second < 0 || second > 59) return false;
  *seconds = minute * 60 + second;
  return true;
}

Outcome FindDownloadRecord(SearchLink& link, const LinkTarget& target, const DownloadRow& row,
                           std::chrono::seconds timeout, sessions::FileDownloadRecord* record, std::ostream& err) {
  const Outcome connected = link.Connect(target, row.date, timeout);
  if (connected != Outcome::kOk) return connected;
  const auto& files = link.viewer().files();
  for (size_t i = 0; i < files.size(); ++i) {
    if (files[i].index == row.file_index) link.ui().selected_row = static_cast<int>(i);
  }
  if (link.ui().selected_row) link.viewer().DownloadSelectedFile();
  const std::optional<sessions::FileDownloadRecord> filled = link.ui().download_record;
  if (!filled) return Outcome::kNoSuchFile;

  *record = *filled;
  // Narrowed within the row's own range; outside it there is nothing to copy.
  const int first = Number(record->start_minute) * 60 + Number(record->start_second);
  const int last = Number(record->end_minute) * 60 + Number(record->end_second);
  const int from = row.from_s.value_or(first);
  const int to = row.to_s.value_or(last);
  if (from < first || to > last || from >= to) {
    char range[64];
    std::snprintf(range, sizeof range, "%02d:%02d to %02d:%02d", first / 60, first % 60, last / 60, last % 60);
    err << "kaviroctl: the file runs from " << range << "\n";
    return Outcome::kNoSuchFile;
  }
  record->start_minute = protocol::BcdFromNumber(from / 60);
  record->start_second = protocol::BcdFromNumber(from % 60);
  record->end_minute = protocol::BcdFromNumber(to / 60);
  record->end_second = protocol::BcdFromNumber(to % 60);
  return Outcome::kOk;
}

}  // namespace kaviroctl
