// kaviroctl: the client's live session and viewer engine on the command line,
// for scripts and health checks.
#include <QCoreApplication>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "build_version.h"
#include "client/kaviroctl/ctl_commands.h"
#include "client/kaviroctl/interrupt.h"

int main(int argc, char** argv) {
  if (kaviro_build::AnswerVersion(argc, argv, "kaviroctl")) return 0;
  std::vector<std::string> args(argv + 1, argv + argc);
  for (const std::string& arg : args) {
    if (arg == "--trace") setenv("KAVIRO_TRACE", "stderr", 1);
    if (arg == "--help" || arg == "-h") {
      std::cout << kaviroctl::kUsageText;
      return 0;
    }
  }
  kaviroctl::CatchInterrupts();
  // A file grown to the size limit is a failed write, reported as one, not a kill.
  std::signal(SIGXFSZ, SIG_IGN);
  QCoreApplication app(argc, argv);
  return kaviroctl::RunCommand(args, std::cout, std::cerr);
}
