// The tool's command-line modes for build pipelines, without any window:
//   tarvek --pack INPUT OUTPUT     packs an application image
//   tarvek --unpack INPUT OUTPUT   checks a packed image and unpacks it
// Single-threaded; called from main before any GUI exists.
#pragma once

#include <cstdio>

namespace tarvek {

enum CommandLineExit : int {
  kExitOk = 0,
  kExitUsage = 1,
  kExitInputNotFound = 2,
  kExitOutputNotCreated = 3,
  kExitWriteFailed = 4,
  kExitDamagedImage = 5,
  kExitInputRefused = 6,  // not a regular file, or too large for an image
};

// True when the arguments ask for a command-line mode.
bool IsCommandLineMode(int argc, char** argv);

// Runs the mode; reports go to `out`, errors to `err`.
int RunCommandLine(int argc, char** argv, std::FILE* out, std::FILE* err);

}  // namespace tarvek
