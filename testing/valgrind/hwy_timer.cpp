// Preloaded under valgrind only. Highway (loaded through libavcodec's JPEG XL
// decoder) measures its timer with RDTSCP when it is loaded; virtual machines
// that run RDTSCP but leave it out of CPUID make valgrind's decoder refuse the
// instruction, and the process dies before main. Nothing here uses Highway's
// timers, so its resolution is answered without measuring.
#include <cstdint>

namespace hwy::platform {

uint64_t TimerResolution() { return 1; }

}  // namespace hwy::platform
