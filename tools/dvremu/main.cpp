// dvremu: an emulated DVR on the network for trying the client and for
// end-to-end tests. Runs until SIGINT, SIGTERM or the "quit" command; the
// end of standard input only ends the reading of commands from it.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "build_version.h"
#include "tools/dvremu/disk_image.h"
#include "tools/dvremu/dvr_emulator.h"
#include "tools/dvremu/modem_line.h"
#include "tools/dvremu/script.h"

namespace {

// Reads command lines from standard input until it ends or the emulator stops.
void ReadStdin(dvremu::DvrEmulator& dvr) {
  dvremu::ScriptRunner runner(dvr);
  std::string pending;
  char buffer[1024];
  while (dvr.running() && !dvr.stop_requested()) {
    pollfd entry{STDIN_FILENO, POLLIN, 0};
    if (poll(&entry, 1, 200) <= 0) continue;
    const ssize_t count = read(STDIN_FILENO, buffer, sizeof buffer);
    if (count <= 0) return;
    pending.append(buffer, static_cast<size_t>(count));
    for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
      const std::string line = pending.substr(0, end);
      pending.erase(0, end + 1);
      std::string error;
      if (!runner.Execute(line, &error)) std::fprintf(stderr, "dvremu: %s\n", error.c_str());
    }
    if (pending.size() > 4096) pending.clear();  // no line is that long
  }
}

// --write-disk and --write-cd: the recordings as a DVR disk or backup CD
// image, without the network.
int WriteImage(const dvremu::EmulatorOptions& options) {
  const time_t now = time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  dvremu::VideoSource video;
  std::string error;
  if (!video.Encode({options.width, options.height, options.fps, options.channels}, "DISK", &error)) {
    std::fprintf(stderr, "dvremu: %s\n", error.c_str());
    return 1;
  }
  dvremu::Recordings recordings;
  recordings.Generate(options.seed, local, options.days_given ? options.recorded_days : 3, video);
  const bool cd = !options.write_cd.empty();
  const std::string& path = cd ? options.write_cd : options.write_disk;
  const bool ok = cd ? dvremu::WriteCdImage(path, video, recordings, dvremu::kDiskSecondsPerFile, &error)
                     : dvremu::WriteDiskImage(path, video, recordings, dvremu::kDiskSecondsPerFile, &error);
  if (!ok) {
    std::fprintf(stderr, "dvremu: %s\n", error.c_str());
    return 1;
  }
  std::printf("dvremu: wrote %zu files to %s\n", cd ? 1 : std::min<size_t>(recordings.files().size(), 1024),
              path.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (kaviro_build::AnswerVersion(argc, argv, "dvremu")) return 0;
  dvremu::EmulatorOptions options;
  bool help = false;
  std::string error;
  if (!dvremu::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), &options, &help, &error)) {
    std::fprintf(stderr, "dvremu: %s\n%s", error.c_str(), dvremu::kUsageText);
    return 2;
  }
  if (help) {
    std::fputs(dvremu::kUsageText, stdout);
    return 0;
  }
  if (options.verbose) setenv("KAVIRO_TRACE", "stderr", 0);
  if (!options.write_disk.empty() || !options.write_cd.empty()) return WriteImage(options);

  // Signals are taken by the main thread alone, with sigtimedwait below.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  dvremu::DvrEmulator dvr(options);
  if (!dvr.Start(&error)) {
    std::fprintf(stderr, "dvremu: %s\n", error.c_str());
    return 1;
  }
  std::printf("dvremu: %d channels %dx%d at %d fps on %s: command %u, stream %u, file %u (ready in %lld ms)\n",
              options.channels, options.width, options.height, options.fps, options.bind_address.c_str(),
              dvr.command_port(), dvr.stream_port(), dvr.file_port(),
              static_cast<long long>(dvr.startup_time().count()));
  std::fflush(stdout);
  std::unique_ptr<dvremu::ModemLine> modem;
  if (options.modem) {
    dvremu::ModemAnswer answer = dvremu::ModemAnswer::kConnect;
    dvremu::ParseModemAnswer(options.modem_answer, &answer);
    modem = std::make_unique<dvremu::ModemLine>(dvr.command_port(), answer);
    if (!modem->Start(&error)) {
      std::fprintf(stderr, "dvremu: %s\n", error.c_str());
      return 1;
    }
    dvr.set_modem(modem.get());
  }

  std::thread script_thread;
  if (!options.script_file.empty()) {
    script_thread = std::thread([&dvr, path = options.script_file]() {
      dvremu::ScriptRunner runner(dvr);
      std::string script_error;
      if (!runner.RunFile(path, &script_error)) std::fprintf(stderr, "dvremu: %s\n", script_error.c_str());
    });
  }
  std::thread stdin_thread;
  if (options.read_stdin) stdin_thread = std::thread([&dvr]() { ReadStdin(dvr); });

  const timespec tick{0, 200 * 1000 * 1000};
  while (!dvr.stop_requested()) {
    if (sigtimedwait(&signals, nullptr, &tick) > 0) break;
  }
  if (modem) modem->Stop();
  dvr.Stop();
  if (script_thread.joinable()) script_thread.join();
  if (stdin_thread.joinable()) stdin_thread.join();
  std::printf("dvremu: stopped\n");
  return 0;
}
