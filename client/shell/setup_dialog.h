// CSetupDialog: the local settings (video and image folders, the modem of
// the telephone link, the buzzer's wave file, the window's scale, whether
// the event log shows the time of its lines). OK writes the values as they
// stand; Cancel writes nothing.
//
// Threads: user-interface thread only.
#pragma once

#include <string>
#include <vector>

#include "client/shell/operator_dialogs.h"
#include "client/shell/skinned_widgets.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace shell {

class CSetupDialog : public CSkinnedDialog {
 public:
  CSetupDialog(QWidget* parent, COperatorDialogs& dialogs, const std::vector<std::string>& modems);

  void OnBrowseVideo();
  void OnBrowseImage();
  void OnBrowseWave();
  void OnOk();

  QLineEdit* video_edit() const { return video_; }
  QLineEdit* image_edit() const { return image_; }
  QLineEdit* wave_edit() const { return wave_; }
  QComboBox* modem_combo() const { return modem_; }
  QComboBox* scale_combo() const { return scale_; }
  QCheckBox* log_times_check() const { return log_times_; }

 private:
  void BrowseFolder(QLineEdit* edit, int title_id);
  void FillScales(const QWidget* parent);

  COperatorDialogs& dialogs_;
  QLineEdit* video_;
  QLineEdit* image_;
  QLineEdit* wave_;
  QComboBox* modem_;
  QComboBox* scale_;
  QCheckBox* log_times_;
};

}  // namespace shell
