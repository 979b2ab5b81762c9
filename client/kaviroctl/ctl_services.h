// kaviroctl's service commands over a logged-on live link: status, log,
// light, ptz and watch. Each prints what the matching dialog or panel of
// the client would show.
//
// Threads: the caller's, which runs the event loop through the link.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "client/kaviroctl/live_link.h"

namespace kaviroctl {

struct ServiceOptions {
  std::chrono::seconds timeout{10};
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

int RunStatus(LiveLink& link, const ServiceOptions& options, std::ostream& out, std::ostream& err);
int RunLog(LiveLink& link, const ServiceOptions& options, std::ostream& out, std::ostream& err);
int RunLight(LiveLink& link, const ServiceOptions& options, std::ostream& out, std::ostream& err);
int RunPtz(LiveLink& link, const ServiceOptions& options, std::ostream& out, std::ostream& err);
// Ends early, with the reason, when the connection goes.
int RunWatch(LiveLink& link, const ServiceOptions& options, std::ostream& out, std::ostream& err);

}  // namespace kaviroctl
