// kaviroctl's local media commands: the DVR disk's index, the first
// pictures of a local recording or a disk file, and the MP4 export, on the
// players' own readers and playback. No DVR connection is made.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "client/kaviroctl/ctl_report.h"

namespace kaviroctl {

bool IsMediaCommand(const std::string& command);

// Runs disk, play-file or export (the whole command line, command first);
// returns the exit code.
int RunMediaCommand(const std::vector<std::string>& args, CtlReport& report, std::ostream& err);

}  // namespace kaviroctl
