#include "client/shell/lower_panels.h"

#include <QLabel>
#include <QLineEdit>

#include "client/shell/hover_button.h"
#include "client/shell/skin_artwork.h"
#include "client/shell/skinned_widgets.h"

namespace shell {

CPanelBase::CPanelBase(QWidget* parent, QPoint origin) : QWidget(parent), origin_(origin) {
  setStyleSheet(SkinStyleSheet());
}

CHoverButton* CPanelBase::button(int control_id) const {
  const auto it = buttons_.find(control_id);
  return it == buttons_.end() ? nullptr : it->second;
}

CHoverButton* CPanelBase::AddButton(int control_id, int x, int y, int tooltip_id) {
  auto* button = new CHoverButton(this, control_id);
  button->SetBitmaps(skin::FacesOfControl(control_id));
  button->move(Local(x, y));
  button->SetTooltip(tooltip_id, true);
  connect(button, &QAbstractButton::clicked, this, [this, control_id] { emit Command(control_id); });
  connect(button, &CHoverButton::Held, this, &CPanelBase::Held);
  connect(button, &CHoverButton::Released, this, &CPanelBase::Released);
  buttons_[control_id] = button;
  return button;
}

CLogonPrompt::CLogonPrompt(QWidget* parent, QPoint origin)
    : CPanelBase(parent, origin), user_(new QLineEdit(this)), password_(new QLineEdit(this)) {
  auto caption = [this](const char* text, int x, int y) {
    auto* label = new QLabel(text, this);
    label->setStyleSheet("color: #8b97a8; font-weight: bold; font-size: 11px;");
    label->setGeometry(QRect(Local(x, y), QSize(90, 20)));
  };
  caption("USER NAME", 205, 657);
  caption("PASSWORD", 205, 705);
  auto* title = new QLabel("The DVR asks for a logon", this);
  title->setStyleSheet("color: #e4eaf1; font-weight: bold; font-size: 13px;");
  title->setGeometry(QRect(Local(205, 620), QSize(300, 22)));
  user_->setGeometry(QRect(Local(298, 657), QSize(200, 22)));
  password_->setGeometry(QRect(Local(298, 705), QSize(200, 22)));
  password_->setEchoMode(QLineEdit::Password);
  for (QLineEdit* edit : {user_, password_}) edit->setMaxLength(127);
  AddButton(1059, 570, 647, 246);
}

void CLogonPrompt::Open() {
  user_->clear();
  password_->clear();
  show();
  user_->setFocus();
}

CDvrPanel::CDvrPanel(QWidget* parent, QPoint origin) : CPanelBase(parent, origin) {
  for (int i = 0; i < 8; ++i) {
    indicators_[i] = new QLabel(this);
    indicators_[i]->setGeometry(QRect(Local(219 + 34 * i, 622), QSize(30, 30)));
    indicators_[i]->setPixmap(skin::Pixmap(skin::res::kChannelOff));
    auto* label = new QLabel(QString::number(i + 1), this);
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet("color: #8b97a8; font-size: 10px; font-weight: bold;");
    label->setGeometry(QRect(Local(219 + 34 * i, 656), QSize(30, 14)));
  }
  // The status and log viewers and the light control come with their own
  // dialogs; until then their buttons stay off.
  AddButton(1063, 209, 695, 247)->setEnabled(false);
  AddButton(1064, 261, 695, 248)->setEnabled(false);
  AddButton(1065, 313, 695, 344);
  AddButton(1066, 365, 695, 244);
  AddButton(1067, 732, 616, 249);
  AddButton(1252, 732, 677, 350)->setEnabled(false);
}

void CDvrPanel::ShowChannels(const std::array<uint8_t, 8>& pan_tilt, int channel_count) {
  for (int i = 0; i < 8; ++i) {
    ptz_[i] = pan_tilt[i] != 0;
    indicators_[i]->setPixmap(skin::Pixmap(ptz_[i] ? skin::res::kChannelOn : skin::res::kChannelOff));
    indicators_[i]->setEnabled(i < channel_count);
  }
}

CChannelPanel::CChannelPanel(QWidget* parent, QPoint origin) : CPanelBase(parent, origin) {
  AddButton(1095, 876, 540, 250);
  AddButton(1096, 826, 586, 251);
  AddButton(1097, 876, 665, 252);
  AddButton(1098, 950, 586, 253);
  AddButton(1099, 876, 586, 255);
  AddButton(1104, 876, 586, 254);
  AddButton(1100, 876, 540, 256);
  AddButton(1101, 826, 586, 259);
  AddButton(1102, 950, 586, 258);
  AddButton(1103, 876, 665, 257);
  AddButton(1106, 825, 714, 261);
  AddButton(1107, 873, 714, 262);
  AddButton(1108, 921, 714, 260);
  AddButton(1124, 969, 714, 263);
  const int block_x[] = {846, 929, 846, 929};
  const int block_y[] = {312, 312, 391, 391};
  for (int n = 0; n < 16; ++n) {
    const int block = n / 4;
    const int x = block_x[block] + (n % 2) * 37;
    const int y = block_y[block] + ((n % 4) / 2) * 37;
    CHoverButton* camera = AddButton(106 + n, x, y, 264 + n);
    camera->setEnabled(false);
  }
  SetView(kHidden, false);
}

void CChannelPanel::SetView(View view, bool live) {
  view_ = view;
  const bool ptz = view == kPtzView;
  const bool layout = view == kLayoutView;
  for (int id : {1095, 1096, 1097, 1098, 1099}) button(id)->setVisible(layout);
  for (int id : {1100, 1101, 1102, 1103, 1104}) button(id)->setVisible(ptz);
  for (int id : {1106, 1107, 1108, 1124}) button(id)->setVisible(view != kHidden);
  for (int id : {1106, 1107, 1108}) button(id)->setEnabled(ptz);
  button(1124)->setEnabled(layout);
  button(1098)->setEnabled(live);
  button(1099)->setEnabled(live);
}

void CChannelPanel::ShowCameras(bool shown) {
  for (int n = 0; n < 16; ++n) button(106 + n)->setVisible(shown);
}

void CChannelPanel::EnableArrows(uint8_t arrows) {
  button(1100)->setEnabled(arrows & 1);
  button(1103)->setEnabled(arrows & 2);
  button(1101)->setEnabled(arrows & 4);
  button(1102)->setEnabled(arrows & 8);
}

}  // namespace shell
