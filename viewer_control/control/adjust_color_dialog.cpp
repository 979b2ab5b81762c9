#include "viewer_control/control/adjust_color_dialog.h"

#include <algorithm>
#include <cmath>

#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include "viewer_control/engine/decoder_channel.h"

namespace vistrel {

double GammaFromPosition(int position) { return std::pow(10.0, position / 127.0); }

int PositionFromGamma(double gamma) {
  if (!(gamma > 0.0)) return 0;
  return std::clamp(static_cast<int>(127.0 * std::log10(gamma) + 0.5), -128, 127);
}

AdjustColorDialog::AdjustColorDialog(DecoderChannel& channel, QWidget* parent)
    : QDialog(parent), channel_(channel), initial_(channel.colour()) {
  setWindowTitle(QStringLiteral("Adjust Color"));
  // 182 x 175 dialog units.
  setFixedSize(273, 284);
  const char* names[5] = {"Gamma :", "Brightness :", "Contrast :", "Saturation :", "Tint :"};
  const char* placeholders[5] = {"G Val", "B Val", "C Val", "S Val", "T Val"};
  const int positions[5] = {PositionFromGamma(initial_.gamma), initial_.brightness, initial_.contrast,
                            initial_.saturation, initial_.tint};
  for (int i = 0; i < 5; ++i) {
    const int top = 10 + i * 46;
    auto* name = new QLabel(QString::fromLatin1(names[i]), this);
    name->setGeometry(12, top, 120, 16);
    auto* slider = new QSlider(Qt::Horizontal, this);
    slider->setGeometry(12, top + 18, 190, 24);
    slider->setRange(-128, 127);
    slider->setValue(std::clamp(positions[i], -128, 127));
    auto* value = new QLabel(QString::fromLatin1(placeholders[i]), this);
    value->setGeometry(210, top + 20, 56, 18);
    bars_[static_cast<size_t>(i)] = slider;
    labels_[static_cast<size_t>(i)] = value;
    connect(slider, &QSlider::valueChanged, this, [this] {
      if (!resetting_) Apply();
    });
  }
  ShowValues(initial_);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setGeometry(12, 248, 75, 26);
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setGeometry(99, 248, 75, 26);
  auto* reset = new QPushButton(QStringLiteral("Reset"), this);
  reset->setGeometry(186, 248, 75, 26);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(reset, &QPushButton::clicked, this, &AdjustColorDialog::Reset);
}

void AdjustColorDialog::Apply() {
  ColourSettings colour;
  colour.gamma = GammaFromPosition(bars_[kGamma]->value());
  colour.brightness = bars_[kBrightness]->value();
  colour.contrast = bars_[kContrast]->value();
  colour.saturation = bars_[kSaturation]->value();
  colour.tint = bars_[kTint]->value();
  channel_.SetColour(colour);
  ShowValues(colour);
}

void AdjustColorDialog::ShowValues(const ColourSettings& colour) {
  labels_[kGamma]->setText(QString::asprintf("%3.2f", colour.gamma));
  labels_[kBrightness]->setText(QString::asprintf("%d", colour.brightness));
  labels_[kContrast]->setText(QString::asprintf("%d", colour.contrast));
  labels_[kSaturation]->setText(QString::asprintf("%d", colour.saturation));
  labels_[kTint]->setText(QString::asprintf("%d", colour.tint));
}

void AdjustColorDialog::Reset() {
  // One application for all five, not one per trackbar.
  resetting_ = true;
  for (QSlider* slider : bars_) slider->setValue(0);
  resetting_ = false;
  Apply();
}

void AdjustColorDialog::reject() {
  channel_.SetColour(initial_);
  QDialog::reject();
}

}  // namespace vistrel
