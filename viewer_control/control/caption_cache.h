// The captions of the cells (the date at the top in live mode, "Ch.%d" at the
// bottom in the colour of the slot's record event type, the REC mark at the
// bottom right while the slot is recorded), each drawn into an image once per
// change (the date changes once a second) and only blended into the cell for
// each picture: a picture then costs no text layout and no allocation. The
// channels of one DVR carry the same date, so date images are shared by the
// slots whose text and cell width agree: a second's tick is drawn once per
// DVR and width, not once per slot.
//
// Not locked: each view uses its cache under the lock that guards its cells.
#pragma once

#include <array>
#include <string>

#include <QImage>
#include <QPoint>
#include <QRect>

#include "viewer_control/control/cell_layout.h"

namespace vistrel {

class CaptionCache {
 public:
  struct Piece {
    const QImage* image = nullptr;  // premultiplied ARGB
    QRect inked;                    // the part of it not clear
    QPoint at;                      // where its top-left goes
  };
  using Pieces = std::array<Piece, 3>;

  // The captions of the 1-based slot's cell, in drawing order, clipped to the
  // cell by whoever draws them; redraws the images whose text, colour or
  // width changed. Returns how many of `pieces` it filled.
  int Layout(const QRect& cell, int slot, const LayoutState& layout, const std::string& date_text, Pieces* pieces);

 private:
  struct Band {
    QImage image;
    QRect inked;
    std::string text;
    QRgb colour = 0;
    uint64_t used = 0;  // when a date band last served a slot
  };

  static void Draw(Band* band, int cell_width, QRgb colour, int flags);
  // The date band of this text and width, drawn into the one used longest ago
  // when none has them yet.
  Band& DateBand(const std::string& text, int cell_width);

  // As many as there are slots, each showing one date at a time.
  std::array<Band, 16> dates_;
  std::array<Band, 16> channels_;
  uint64_t uses_ = 0;
};

// Blends the part `inked` of the premultiplied `source`, whose top-left goes
// at `at`, into the RGB32 `destination` within `clip`: the bytes QPainter's
// drawImage of the whole image gives there, given that the rest is clear.
void BlendInto(const QImage& source, const QRect& inked, QPoint at, const QRect& clip, QImage* destination);

// The smallest rectangle of `image` (premultiplied ARGB) holding every pixel
// that is not clear.
QRect InkedRect(const QImage& image);

}  // namespace vistrel
