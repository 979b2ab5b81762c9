// "Adjust Color": five trackbars (gamma, brightness, contrast, saturation,
// tint, positions -128 to 127) that act on a display slot's decoder channel
// as they move; Reset returns all five to 0 (gamma 1.00), Cancel restores
// the values the dialog opened with.
//
// Threads: user-interface thread; the decoder channel's setter locks it.
#pragma once

#include <array>

#include <QDialog>

#include "viewer_control/engine/planar_picture.h"

class QLabel;
class QSlider;

namespace vistrel {

class DecoderChannel;

// Gamma = 10^(position / 127), and back (integer part of 127 log10(g) + 0.5).
double GammaFromPosition(int position);
int PositionFromGamma(double gamma);

class AdjustColorDialog : public QDialog {
  Q_OBJECT

 public:
  enum Bar { kGamma = 0, kBrightness, kContrast, kSaturation, kTint };

  AdjustColorDialog(DecoderChannel& channel, QWidget* parent);

  QSlider* bar(Bar which) const { return bars_[which]; }
  QLabel* value_label(Bar which) const { return labels_[which]; }
  // Every position back to 0 and applied.
  void Reset();

  void reject() override;

 private:
  // Reads all five positions, applies them at once and refreshes the labels.
  void Apply();
  void ShowValues(const ColourSettings& colour);

  DecoderChannel& channel_;
  ColourSettings initial_;
  std::array<QSlider*, 5> bars_{};
  std::array<QLabel*, 5> labels_{};
  bool resetting_ = false;
};

}  // namespace vistrel
