// The layouts that reach past slot 16 (first slot 9-15 with 2-4 cells per
// row), checked through a real control in whichever mode it chose: each
// slot's cell shows that slot's picture, cells past 16 stay black and can
// be neither hit nor selected. Shared by the RGB test (offscreen) and the
// YUV one (under a virtual X server).
#pragma once

namespace vistrel {

class VistrelCtl;

// Draws a flat grey picture of its own into each of the 16 slots, then
// walks the layouts; failures are gtest expectations.
void CheckLayoutsPastSlotSixteen(VistrelCtl& control);

}  // namespace vistrel
