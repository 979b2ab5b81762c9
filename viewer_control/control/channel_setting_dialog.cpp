#include "viewer_control/control/channel_setting_dialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "viewer_control/engine/decoder_channel.h"

namespace vistrel {

ChannelSettingDialog::ChannelSettingDialog(DecoderChannel& channel, QWidget* parent)
    : QDialog(parent), channel_(channel) {
  setWindowTitle(QStringLiteral("Channel %1 Setting...").arg(channel.slot() + 1));
  // 154 x 111 dialog units.
  setFixedSize(231, 180);
  auto* label = new QLabel(QStringLiteral("Resolution :"), this);
  label->setGeometry(12, 12, 80, 18);
  resolution_ = new QLabel(QStringLiteral("%1 x %2").arg(channel.width()).arg(channel.height()), this);
  resolution_->setGeometry(96, 12, 120, 18);
  auto* group = new QGroupBox(QStringLiteral(" Post Processing "), this);
  group->setGeometry(12, 38, 207, 92);
  const char* names[4] = {"Deblock Y", "Deblock UV", "Dering Y", "Dering UV"};
  const int flags = channel.post_processing();
  for (int bit = 0; bit < 4; ++bit) {
    auto* box = new QCheckBox(QString::fromLatin1(names[bit]), group);
    box->setGeometry(12 + (bit % 2) * 100, 24 + (bit / 2) * 30, 92, 22);
    box->setChecked(flags & (1 << bit));
    boxes_[static_cast<size_t>(bit)] = box;
  }
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setGeometry(36, 142, 75, 26);
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setGeometry(120, 142, 75, 26);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

int ChannelSettingDialog::checked_flags() const {
  int flags = 0;
  for (int bit = 0; bit < 4; ++bit) {
    if (boxes_[static_cast<size_t>(bit)]->isChecked()) flags |= 1 << bit;
  }
  return flags;
}

QString ChannelSettingDialog::resolution_text() const { return resolution_->text(); }

void ChannelSettingDialog::accept() {
  channel_.SetPostProcessing(checked_flags());
  QDialog::accept();
}

}  // namespace vistrel
