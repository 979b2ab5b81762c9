// kaviroctl download: one recorded stretch copied from the DVR's file
// download port by the client's own download session, with its progress on
// standard error.
//
// Threads: called on the main thread, which has a QCoreApplication; the
// session's worker hands its calls to that thread, which pumps events.
#pragma once

#include <chrono>
#include <ostream>
#include <string>

#include "client/kaviroctl/ctl_report.h"
#include "client/sessions/file_download_record.h"

namespace kaviroctl {

struct DownloadOptions {
  std::string out;                   // the folder; empty: the video storage folder
  std::chrono::seconds timeout{10};  // allowed without a byte coming
  bool terminal = false;             // standard error is a terminal: draw a bar
};

// Downloads `record`'s stretch under the name rules; prints "saved: PATH"
// when complete, and with --json a line per progress step. Returns the exit
// code.
int DownloadRecord(sessions::FileDownloadRecord record, const DownloadOptions& options, CtlReport& report,
                   std::ostream& err);

}  // namespace kaviroctl
