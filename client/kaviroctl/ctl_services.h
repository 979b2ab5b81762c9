// kaviroctl's service commands over a logged-on live link: status, log,
// light, ptz and watch. Each prints what the matching dialog or panel of
// the client would show.
//
// Threads: the caller's, which runs the event loop through the link.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "client/kaviroctl/ctl_report.h"
#include "client/kaviroctl/live_link.h"
#include "client/sessions/log_page.h"

namespace kaviroctl {

struct ServiceOptions {
  std::chrono::seconds timeout{10};
  // status: the calling service setting to change; what is not given stays
  // as the DVR reports it, as in the status dialog.
  std::optional<std::array<uint8_t, 4>> set_service_address;
  std::optional<std::string> set_email;
  std::optional<std::string> set_dvr_id;
  std::optional<std::string> set_call_number;
  // log
  int year = 0, month = 0, day = 0;
  int page = 1;
  // light
  std::optional<uint8_t> light_set;
  // ptz
  int channel = 0;  // 0: the lowest pan/tilt channel
  std::string action;
  int ms = 500;
  int preset = 0;
  bool store = false;
  // watch
  int seconds = 3;
  bool acknowledge = false;
};

// Whether the text names a ptz action.
bool IsPtzAction(const std::string& action);
// "YYYY-MM-DD" into the options; false when it is no date.
bool ParseDate(const std::string& text, ServiceOptions* options);
// A dotted IPv4 address "A.B.C.D", each number 0-255.
std::optional<std::array<uint8_t, 4>> ParseAddress(const std::string& text);

// A record of the log of `date` as a JSON object: its time with the date
// (null when the DVR sent no valid time), the viewer's texts and the code.
QJsonObject LogRecordJson(int year, int month, int day, const sessions::DvrLogRecord& record);

// Prints the status; with a setting given, sends it first (the user must be
// "admin") and prints the status the DVR reports afterwards.
int RunStatus(LiveLink& link, const ServiceOptions& options, CtlReport& report, std::ostream& err);
int RunLog(LiveLink& link, const ServiceOptions& options, CtlReport& report, std::ostream& err);
int RunLight(LiveLink& link, const ServiceOptions& options, CtlReport& report, std::ostream& err);
int RunPtz(LiveLink& link, const ServiceOptions& options, CtlReport& report, std::ostream& err);
// Ends early, with the reason, when the connection goes.
int RunWatch(LiveLink& link, const ServiceOptions& options, CtlReport& report, std::ostream& err);

// One DVR of a watch: its logged-on link and the tag of its lines and
// messages (HOST:PORT; empty for a DVR watched alone).
struct WatchedDvr {
  LiveLink* link = nullptr;
  std::string tag;
};
// Watches every DVR for --seconds, each on its own session and back-off; a
// DVR lost for good says why at once while the others go on. Ends when none
// is left; the code is that of the first DVR lost, 0 when none was.
int RunWatch(const std::vector<WatchedDvr>& dvrs, const ServiceOptions& options, CtlReport& report, std::ostream& err);

}  // namespace kaviroctl
