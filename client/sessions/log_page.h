// One page of a DVR's own event log: the page request, the texts of the log
// viewer's two columns, and the viewer's paging rule. The answer is decoded
// in protocol/service_replies.h.
//
// Plain values and functions, usable from any thread; LogPager belongs to
// the dialog's thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "protocol/service_replies.h"

namespace sessions {

using DvrLogRecord = protocol::DvrLogRecord;
using DvrLogPage = protocol::DvrLogPage;

// The payload of REQ_LOGFILE_BY_DATE: 0x13, year % 100, month, day as BCD,
// the 1-based page as u32 little-endian.
std::vector<uint8_t> BuildLogRequest(int year, int month, int day, uint32_t page);

// "09 : 05 : 30" from the two BCD digits of each field.
std::string LogTimeText(const DvrLogRecord& record);
// The event text of the code ("Login:192.168.0.5 (user)", "Power on", ...);
// empty for a code neither table knows.
std::string LogEventText(const DvrLogRecord& record);

// The log viewer's current page and page count, and when Next and Back act.
class LogPager {
 public:
  int current_page() const { return current_page_; }
  uint32_t page_count() const { return page_count_; }
  // A new day starts at page 1.
  void SelectDay() { current_page_ = 1; }
  // Move and return true when a request should follow, else change nothing.
  bool Next();
  bool Back();
  // Takes the page count of an arrived page; false (nothing changes) for 0.
  bool Accept(const DvrLogPage& page);
  // The day's pages are unknown again (its answer failed): Next and Back rest.
  void ForgetPages() { page_count_ = 0; }
  // "%d / %d", current page and page count.
  std::string IndicatorText() const;

 private:
  int current_page_ = 1;
  uint32_t page_count_ = 0;
};

}  // namespace sessions
