// kaviroctl's commands: probe, snapshot and record, on the client's own live
// session and viewer engine.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kaviroctl {

extern const char kUsageText[];

// Runs one command line (without the program name); returns the exit code.
// Must be called on a thread with a QCoreApplication.
int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kaviroctl
