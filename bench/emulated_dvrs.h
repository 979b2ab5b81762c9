// The emulated DVRs a benchmark measures against: `dvremu` processes on
// ephemeral ports, on other cores than the measured one.
#pragma once

#include <sched.h>
#include <sys/types.h>

#include <cstdint>

namespace bench {

struct Dvr {
  pid_t pid = -1;
  uint16_t stream_port = 0;
};

// The measured core takes this process; the emulated DVRs run on the others,
// as real DVRs would be other machines: their sending then neither takes
// turns with the measured threads nor cools their caches.
struct Cores {
  int measured = -1;
  cpu_set_t dvrs;
};

// Pins this process to the last core it may use; DVRs started from then on
// run on the others (on it, when it is the only one).
Cores PlaceOnCores();

// Starts `dvremu` with four channels of `width` x `height` and reads its
// stream port from its banner; a port of 0 when it did not start.
Dvr SpawnDvr(int width, int height, bool unpaced);
void StopDvr(const Dvr& dvr);

}  // namespace bench
