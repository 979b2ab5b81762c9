#include "client/shell/lower_panels.h"

#include <QLabel>
#include <QLineEdit>

#include "client/shell/hover_button.h"
#include "client/shell/skin_artwork.h"
#include "client/shell/skinned_widgets.h"

namespace shell {
namespace {

using enum ControlId;

constexpr ButtonPlace kDvrPanelButtons[] = {
    {kDvrStatus, 209, 695, 247},   {kLogFile, 261, 695, 248},    {kPtzPreset, 313, 695, 344},
    {kAddressBook, 365, 695, 244}, {kDisconnect, 732, 616, 249}, {kLight, 732, 677, 350},
};

// The cross of five cells: the layout buttons and PTZ, or the arrows and CH.
constexpr ButtonPlace kChannelPanelButtons[] = {
    {kLayout1Ch, 876, 540, 250},  {kLayout4Ch, 826, 586, 251}, {kLayout8Ch, 876, 665, 252},
    {kLayout16Ch, 950, 586, 253}, {kPtz, 876, 586, 255},       {kChannels, 876, 586, 254},
    {kArrowUp, 876, 540, 256},    {kArrowLeft, 826, 586, 259}, {kArrowRight, 950, 586, 258},
    {kArrowDown, 876, 665, 257},  {kPanTilt, 825, 714, 261},   {kZoom, 873, 714, 262},
    {kFocus, 921, 714, 260},      {kRotation, 969, 714, 263},
};

constexpr ControlId kLayoutCell[] = {kLayout1Ch, kLayout4Ch, kLayout8Ch, kLayout16Ch, kPtz};
constexpr ControlId kPtzCell[] = {kArrowUp, kArrowLeft, kArrowRight, kArrowDown, kChannels};
constexpr ControlId kPtzFunctions[] = {kPanTilt, kZoom, kFocus};

}  // namespace

CPanelBase::CPanelBase(QWidget* parent, QPoint origin) : QWidget(parent), origin_(origin) {
  setStyleSheet(SkinStyleSheet());
}

CHoverButton* CPanelBase::button(ControlId id) const {
  const auto it = buttons_.find(id);
  return it == buttons_.end() ? nullptr : it->second;
}

void CPanelBase::AddButtons(std::span<const ButtonPlace> places) {
  for (const ButtonPlace& place : places) AddButton(place);
}

CHoverButton* CPanelBase::AddButton(const ButtonPlace& place) {
  const ControlId id = place.id;
  auto* button = new CHoverButton(this, ToInt(id));
  button->SetBitmaps(skin::FacesOfControl(ToInt(id)));
  button->move(Local(place.x, place.y));
  button->SetTooltip(place.tooltip_id, true);
  connect(button, &QAbstractButton::clicked, this, [this, id] { emit Command(id); });
  connect(button, &CHoverButton::Held, this, [this, id] { emit Held(id); });
  connect(button, &CHoverButton::Released, this, [this, id] { emit Released(id); });
  buttons_[id] = button;
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
  AddButton({kLogonOk, 570, 647, 246});
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
  AddButtons(kDvrPanelButtons);
}

void CDvrPanel::ShowChannels(const std::array<uint8_t, 8>& pan_tilt, int channel_count) {
  for (int i = 0; i < 8; ++i) {
    ptz_[i] = pan_tilt[i] != 0;
    indicators_[i]->setPixmap(skin::Pixmap(ptz_[i] ? skin::res::kChannelOn : skin::res::kChannelOff));
    indicators_[i]->setEnabled(i < channel_count);
  }
}

CChannelPanel::CChannelPanel(QWidget* parent, QPoint origin) : CPanelBase(parent, origin) {
  AddButtons(kChannelPanelButtons);
  const int block_x[] = {846, 929, 846, 929};
  const int block_y[] = {312, 312, 391, 391};
  for (int n = 0; n < 16; ++n) {
    const int block = n / 4;
    const int x = block_x[block] + (n % 2) * 37;
    const int y = block_y[block] + ((n % 4) / 2) * 37;
    CHoverButton* camera = AddButton({CameraButton(n), x, y, 264 + n});
    camera->setEnabled(false);
  }
  SetView(kHidden, false);
}

void CChannelPanel::SetView(View view, bool live) {
  view_ = view;
  const bool ptz = view == kPtzView;
  const bool layout = view == kLayoutView;
  for (ControlId id : kLayoutCell) button(id)->setVisible(layout);
  for (ControlId id : kPtzCell) button(id)->setVisible(ptz);
  for (ControlId id : kPtzFunctions) {
    button(id)->setVisible(view != kHidden);
    button(id)->setEnabled(ptz);
  }
  button(kRotation)->setVisible(view != kHidden);
  button(kRotation)->setEnabled(layout);
  button(kLayout16Ch)->setEnabled(live);
  button(kPtz)->setEnabled(live);
}

void CChannelPanel::ShowCameras(bool shown) {
  for (int n = 0; n < 16; ++n) button(CameraButton(n))->setVisible(shown);
}

void CChannelPanel::EnableArrows(uint8_t arrows) {
  button(kArrowUp)->setEnabled(arrows & 1);
  button(kArrowDown)->setEnabled(arrows & 2);
  button(kArrowLeft)->setEnabled(arrows & 4);
  button(kArrowRight)->setEnabled(arrows & 8);
}

}  // namespace shell
