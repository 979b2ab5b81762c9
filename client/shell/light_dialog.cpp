#include "client/shell/light_dialog.h"

#include <QCheckBox>
#include <QGroupBox>

#include "client/sessions/dvr_status_block.h"
#include "client/shell/hover_button.h"
#include "platform/string_table.h"

namespace shell {

CLightDialog::CLightDialog(QWidget* parent, LightLink link)
    : CSkinnedDialog(parent, skin::res::kLightBackground, QSize(440, 200),
                     QString::fromUtf8(platform::LoadString(kTitleId))),
      link_(std::move(link)) {
  auto* group = new QGroupBox(" Light On/Off Control ", this);
  group->setGeometry(16, 52, 408, 96);
  group->setStyleSheet(
      "QGroupBox { color: #c9d3df; border: 1px solid #33404f; border-radius: 4px; margin-top: 8px; }"
      "QGroupBox::title { subcontrol-origin: margin; left: 10px; }");
  // The boxes sit on the button-face colour, as the system drew them.
  const QString face = palette().color(QPalette::Button).name();
  for (int light = 1; light <= 4; ++light) {
    auto* box = new QCheckBox(QString("Light #%1").arg(light), group);
    box->setObjectName(QString::number(kFirstBoxId + light - 1));
    box->setGeometry(10 + 99 * (light - 1), 26, 92, 58);
    box->setIconSize(QSize(32, 32));
    box->setAutoFillBackground(true);
    // The icon is the box's check mark, as on an icon check box.
    box->setStyleSheet(QString("QCheckBox { background: %1; color: black; font-size: 11px; border-radius: 3px;"
                               " padding-left: 2px; }"
                               "QCheckBox::indicator { width: 0; height: 0; }"
                               "QCheckBox:disabled { color: #808080; }")
                           .arg(face));
    box->setEnabled(false);
    connect(box, &QCheckBox::toggled, this, [this, light] { ShowIcon(light); });
    connect(box, &QCheckBox::clicked, this, [this, light](bool checked) { OnLightClicked(light, checked); });
    boxes_[static_cast<size_t>(light - 1)] = box;
    ShowIcon(light);
  }
  auto* close = new CHoverButton(this, 2);
  close->SetBitmaps(476, 478, 477, 0);
  close->Place(356, 166);
  connect(close, &QAbstractButton::clicked, this, &QDialog::reject);
}

void CLightDialog::showEvent(QShowEvent* event) {
  CSkinnedDialog::showEvent(event);
  // Asked once the window can be found by its title, so the answer lands.
  if (requested_) return;
  requested_ = true;
  if (link_.request_status) link_.request_status();
}

void CLightDialog::ShowIcon(int light) {
  QCheckBox* box = boxes_[static_cast<size_t>(light - 1)];
  box->setIcon(skin::Pixmap(box->isChecked() ? skin::res::kLightOn : skin::res::kLightOff));
}

void CLightDialog::ShowState(uint8_t status) {
  status_ = status;
  for (int light = 1; light <= 4; ++light) {
    QCheckBox* box = boxes_[static_cast<size_t>(light - 1)];
    box->setEnabled(sessions::LightExists(status, light));
    box->setChecked(sessions::LightShownOn(status, light));
  }
}

void CLightDialog::OnLightClicked(int light, bool checked) {
  // The presence bits go back as the DVR reported them.
  status_ = sessions::SwitchLight(status_, light, checked);
  if (link_.set_lights) link_.set_lights(status_);
}

}  // namespace shell
