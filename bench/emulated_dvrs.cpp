#include "bench/emulated_dvrs.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace bench {
namespace {

Cores g_cores = [] {
  Cores cores;
  CPU_ZERO(&cores.dvrs);
  return cores;
}();

}  // namespace

Cores PlaceOnCores() {
  Cores cores;
  CPU_ZERO(&cores.dvrs);
  cpu_set_t allowed;
  if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return cores;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (CPU_ISSET(cpu, &allowed)) cores.measured = cpu;
  }
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  for (int cpu = 0; cpu < online && cpu < CPU_SETSIZE; ++cpu) {
    if (cpu != cores.measured) CPU_SET(cpu, &cores.dvrs);
  }
  if (CPU_COUNT(&cores.dvrs) == 0 && cores.measured >= 0) CPU_SET(cores.measured, &cores.dvrs);
  cpu_set_t measured;
  CPU_ZERO(&measured);
  CPU_SET(cores.measured, &measured);
  sched_setaffinity(0, sizeof measured, &measured);
  g_cores = cores;
  return cores;
}

Dvr SpawnDvr(int width, int height, bool unpaced) {
  int out[2];
  if (pipe(out) != 0) return {};
  const std::string size = std::to_string(width) + "x" + std::to_string(height);
  std::vector<std::string> args = {DVREMU_PATH, "--port", "0", "--channels", "4", "--size", size, "--no-stdin"};
  if (unpaced) args.push_back("--unpaced");
  const pid_t pid = fork();
  if (pid == 0) {
    if (CPU_COUNT(&g_cores.dvrs) > 0) sched_setaffinity(0, sizeof g_cores.dvrs, &g_cores.dvrs);
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  Dvr dvr{pid, 0};
  std::string banner;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (banner.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    pollfd wait{out[0], POLLIN, 0};
    if (poll(&wait, 1, 200) <= 0) continue;
    char chunk[256];
    const ssize_t n = read(out[0], chunk, sizeof chunk);
    if (n <= 0) break;
    banner.append(chunk, static_cast<size_t>(n));
  }
  close(out[0]);
  const size_t at = banner.find("stream ");
  if (at != std::string::npos) dvr.stream_port = static_cast<uint16_t>(std::stoi(banner.substr(at + 7)));
  return dvr;
}

void StopDvr(const Dvr& dvr) {
  if (dvr.pid <= 0) return;
  kill(dvr.pid, SIGTERM);
  kill(dvr.pid, SIGCONT);  // a paused DVR takes its SIGTERM only once resumed
  waitpid(dvr.pid, nullptr, 0);
}

}  // namespace bench
