// Test support: runs a piece of code in a child process that cannot create
// threads, to show that a failed thread start is handled where it happens
// instead of ending the process.
//
// The child asks for thread stacks larger than any the C library keeps for
// reuse, and its address space may grow by little more than it already
// uses, so every new thread fails with EAGAIN, as under a thread flood.
#pragma once

#include <pthread.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

namespace testing_support {

// True when `body` ran in the starved child and returned true; false when it
// returned false or the child ended abnormally (an uncaught exception).
inline bool RunsWithoutNewThreads(const std::function<bool()>& body) {
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    pthread_attr_t huge;
    pthread_attr_init(&huge);
    pthread_attr_setstacksize(&huge, size_t{256} << 20);
    pthread_setattr_default_np(&huge);
    long pages = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
      if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
      std::fclose(statm);
    }
    const rlim_t limit = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + (rlim_t{16} << 20);
    const rlimit address_space{limit, limit};
    if (pages == 0 || setrlimit(RLIMIT_AS, &address_space) != 0) _exit(3);
    // The starvation must hold, or the body would prove nothing.
    pthread_t probe;
    if (pthread_create(
            &probe, nullptr, [](void*) -> void* { return nullptr; }, nullptr) == 0)
      _exit(4);
    _exit(body() ? 0 : 1);
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace testing_support
