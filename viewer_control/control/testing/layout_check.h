// The layouts that reach past slot 16 (first slot 9-15 with 2-4 cells per
// row), checked through a real control in whichever mode it chose: each
// slot's cell shows that slot's picture, cells past 16 stay black and can
// be neither hit nor selected; and the REC marks of recorded cells. Shared by the RGB test (offscreen) and the
// YUV one (under a virtual X server).
#pragma once

class QImage;
class QRect;

namespace vistrel {

class VistrelCtl;

// Draws a flat grey picture of its own into each of the 16 slots, then
// walks the layouts; failures are gtest expectations.
void CheckLayoutsPastSlotSixteen(VistrelCtl& control);

// The REC mark: shown at the bottom right of the cells the layout marks as
// recorded, in every layout, and gone once they are not.
void CheckRecordingMarks(VistrelCtl& control);

// Red pixels of the mark in the bottom right corner of a cell of `capture`.
int RecordingMarkPixels(const QImage& capture, const QRect& cell);

}  // namespace vistrel
