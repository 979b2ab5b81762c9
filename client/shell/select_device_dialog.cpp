#include "client/shell/select_device_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "client/shell/skin_artwork.h"

namespace shell {

CSelectDeviceDialog::CSelectDeviceDialog(QWidget* parent)
    : CSkinnedDialog(parent, skin::res::kSelectDeviceBackground, QSize(420, 230), "Select removable device") {
  auto* prompt = new QLabel("Which removable device holds the recordings?", this);
  prompt->setGeometry(24, 64, 372, 30);
  prompt->setStyleSheet("color: #e4eaf1; font-size: 13px;");
  const char* style =
      "QPushButton { background: #232b36; color: #e4eaf1; border: 1px solid #3a4657; border-radius: 5px;"
      " font-weight: bold; } QPushButton:hover { border-color: #3db2ff; background: #1f364d; }";
  auto* disk = new QPushButton("Hard Disk", this);
  disk->setGeometry(40, 120, 160, 44);
  disk->setStyleSheet(style);
  auto* cd = new QPushButton("Compact Disk", this);
  cd->setGeometry(220, 120, 160, 44);
  cd->setStyleSheet(style);
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setGeometry(300, 186, 96, 28);
  cancel->setStyleSheet(style);
  connect(disk, &QPushButton::clicked, this, [this] { done(kHardDisk); });
  connect(cd, &QPushButton::clicked, this, [this] { done(kCompactDisk); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

}  // namespace shell
