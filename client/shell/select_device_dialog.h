// CSelectDeviceDialog: the removable player's choice between a DVR hard
// disk attached to the PC and a backup CD.
//
// Threads: user-interface thread only.
#pragma once

#include "client/shell/skinned_widgets.h"

namespace shell {

class CSelectDeviceDialog : public CSkinnedDialog {
 public:
  // The dialog's results besides Rejected.
  static constexpr int kHardDisk = 1078;
  static constexpr int kCompactDisk = 1250;

  explicit CSelectDeviceDialog(QWidget* parent);
};

}  // namespace shell
