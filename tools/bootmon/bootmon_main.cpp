// bootmon: an emulated DVR boot monitor on a pseudo-terminal for Tarvek.
//
//   bootmon [--expect-app FILE] [--expect-boot FILE] [--save DIR] [--once]
//
// It prints the pseudo-terminal's path; list it as COM1 in Tarvek's
// tarvek.ports to download into it. With --once it ends after one download,
// with exit code 0 when the download was right and 1 when it was not.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "build_version.h"
#include "tools/bootmon/boot_monitor.h"

namespace {

bootmon::BootMonitor* g_monitor = nullptr;

void OnSignal(int) {
  // Stop only sets the close event and a flag; the join happens in main.
  if (g_monitor) g_monitor->Stop();
}

void Usage(std::FILE* to) {
  std::fprintf(to,
               "Usage: bootmon [--expect-app FILE] [--expect-boot FILE] [--save DIR] [--once]\n"
               "An emulated DVR boot monitor on a pseudo-terminal, for Tarvek to download into.\n"
               "  --expect-app FILE   the application image the download must deliver\n"
               "  --expect-boot FILE  the boot image the download must deliver\n"
               "  --save DIR          keep the received images in DIR\n"
               "  --once              end after one download; exit code 0 when it was right\n"
               "  --version           print the version and the commit it was built from\n"
               "  --help              print this help\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (kaviro_build::AnswerVersion(argc, argv, "bootmon")) return 0;
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    Usage(stdout);
    return 0;
  }
  bootmon::MonitorOptions options;
  options.log_to_stdout = true;
  bool once = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--expect-app" && has_value)
      options.expected_application = argv[++i];
    else if (arg == "--expect-boot" && has_value)
      options.expected_boot = argv[++i];
    else if (arg == "--save" && has_value)
      options.save_dir = argv[++i];
    else if (arg == "--once")
      once = true;
    else {
      Usage(stderr);
      return 2;
    }
  }
  bootmon::BootMonitor monitor(options);
  if (!monitor.Open()) {
    std::fprintf(stderr, "bootmon: cannot create a pseudo-terminal: %s\n", std::strerror(errno));
    return 3;
  }
  std::printf("bootmon: pseudo-terminal %s\n", monitor.slave_path().c_str());
  std::printf("bootmon: for Tarvek: echo %s > \"$TARVEK_HOME/tarvek.ports\" and connect COM1\n",
              monitor.slave_path().c_str());
  std::fflush(stdout);

  g_monitor = &monitor;
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  monitor.Run(once);
  g_monitor = nullptr;
  if (once) {
    const auto report = monitor.WaitForReport(0, std::chrono::milliseconds(0));
    return report && report->ok() ? 0 : 1;
  }
  return 0;
}
