// The playing direction of a recorded stream, by the values the search mode
// and the players exchange with their controls (forward 256, reverse 512,
// with the low bits for fast and frame steps).
//
// Threads: a plain value, any thread.
#pragma once

namespace vistrel {

enum class PlayDirection : int {
  kStopped = 0,
  kForward = 256,
  kReverse = 512,
  kFastForward = 257,
  kFastReverse = 513,
  kFrameForward = 272,
  kFrameBack = 528,
};

}  // namespace vistrel
