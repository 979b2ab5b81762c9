// "Channel %d Setting...": the picture size of a display slot's decoder and
// its four post-processing flags, which take effect from the next picture
// when the dialog is accepted.
//
// Threads: user-interface thread; the decoder channel's accessors lock it.
#pragma once

#include <array>

#include <QDialog>

class QCheckBox;
class QLabel;

namespace vistrel {

class DecoderChannel;

class ChannelSettingDialog : public QDialog {
  Q_OBJECT

 public:
  ChannelSettingDialog(DecoderChannel& channel, QWidget* parent);

  // The flags the boxes stand for (bit 0 Deblock Y ... bit 3 Dering UV).
  int checked_flags() const;
  QCheckBox* box(int bit) const { return boxes_[static_cast<size_t>(bit)]; }
  QString resolution_text() const;

  void accept() override;

 private:
  DecoderChannel& channel_;
  std::array<QCheckBox*, 4> boxes_{};
  QLabel* resolution_ = nullptr;
};

}  // namespace vistrel
