#include "client/shell/dvr_status_dialog.h"

#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QStringList>

#include "client/sessions/dvr_status_block.h"
#include "client/shell/hover_button.h"
#include "platform/string_table.h"

namespace shell {
namespace {

constexpr unsigned kLabelColour = 0xCECECE;
// As the logon fields: a setting text stays well inside one packet.
constexpr int kMaxSettingText = 127;

QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<int>(text.size())); }

// The IPv4 address field: four numbers of 0-255; an empty or missing number
// counts as 0, as in the address control.
std::array<uint8_t, 4> ParseAddress(const QString& text) {
  std::array<uint8_t, 4> address{};
  const QStringList parts = text.split('.');
  for (int i = 0; i < 4 && i < parts.size(); ++i) {
    bool ok = false;
    const int value = parts[i].trimmed().toInt(&ok);
    if (ok && value >= 0 && value <= 255) address[static_cast<size_t>(i)] = static_cast<uint8_t>(value);
  }
  return address;
}

}  // namespace

CDvrStatusDialog::CDvrStatusDialog(QWidget* parent, sessions::DvrServices* services, int slot)
    : CSkinnedDialog(parent, skin::res::kDvrStatusBackground, QSize(597, 595),
                     QString::fromUtf8(platform::LoadString(kTitleId))),
      services_(services),
      slot_(slot),
      service_address_(new QLineEdit(this)),
      email_(new QLineEdit(this)),
      dvr_id_(new QLineEdit(this)),
      call_number_(new QLineEdit(this)),
      set_email_(new CHoverButton(this, 1078)) {
  struct Field {
    int id;
    int y;
    const char* initial;
  };
  for (const Field& place :
       {Field{kVersion, 107, "0.00.00"}, Field{kModel, 130, "NONE"}, Field{kAddress, 153, "000.000.000.000"},
        Field{kCapacity, 216, "0"}, Field{kFirstDisk, 239, "0"}, Field{kSecondDisk, 262, "0"}, Field{kText6, 285, "0"},
        Field{kText7, 308, "0"}, Field{kService, 331, "0"}}) {
    auto* label = new QLabel(place.initial, this);
    label->setGeometry(395, place.y, place.id == kVersion ? 60 : 100, 13);
    label->setStyleSheet("color: #e4eaf1; font-size: 11px;");
    fields_[place.id] = label;
  }
  auto* language = new CColourLabel("(EN)", this);
  language->SetColour(kLabelColour);
  language->setGeometry(460, 107, 32, 13);
  language->setAlignment(Qt::AlignCenter);
  fields_[kLanguage] = language;

  service_address_->setGeometry(322, 432, 172, 19);
  service_address_->setText("0.0.0.0");
  service_address_->setValidator(
      new QRegularExpressionValidator(QRegularExpression(R"(^(\d{0,3})(\.\d{0,3}){0,3}$)"), service_address_));
  email_->setGeometry(322, 407, 172, 19);
  dvr_id_->setGeometry(322, 457, 172, 19);
  call_number_->setGeometry(322, 482, 172, 19);
  for (QLineEdit* edit : {email_, dvr_id_, call_number_}) edit->setMaxLength(kMaxSettingText);

  set_email_->SetBitmaps(518, 520, 519, 0);
  set_email_->Place(498, 407);
  set_email_->setToolTip(QString::fromUtf8(platform::LoadString(168)));
  connect(set_email_, &QAbstractButton::clicked, this, &CDvrStatusDialog::OnSetEmail);
  auto* close = new CHoverButton(this, 1170);
  close->SetBitmaps(476, 478, 477, 0);
  close->Place(506, 540);
  connect(close, &QAbstractButton::clicked, this, &QDialog::accept);
}

void CDvrStatusDialog::showEvent(QShowEvent* event) {
  CSkinnedDialog::showEvent(event);
  // Asked once the window can be found, so that the answer is not dropped.
  if (requested_ || services_ == nullptr) return;
  requested_ = true;
  services_->RequestDvrStatus(slot_);
}

void CDvrStatusDialog::ShowStatus(const sessions::DvrStatusBlock& status) {
  fields_[kVersion]->setText(FromUtf8(status.version));
  fields_[kModel]->setText(FromUtf8(status.model));
  fields_[kAddress]->setText(FromUtf8(status.address));
  fields_[kCapacity]->setText(FromUtf8(sessions::CapacityText(status)));
  fields_[kFirstDisk]->setText(FromUtf8(sessions::FirstDiskText(status)));
  fields_[kSecondDisk]->setText(FromUtf8(sessions::SecondDiskText(status)));
  fields_[kText6]->setText(FromUtf8(status.text6));
  fields_[kText7]->setText(FromUtf8(status.text7));
  fields_[kService]->setText(FromUtf8(sessions::FlagText(status)));
  // The DVR's current setting, for the operator to edit.
  const sessions::ServiceSettingBlock setting = sessions::SettingOf(status);
  service_address_->setText(FromUtf8(sessions::DottedAddress(setting.address)));
  email_->setText(FromUtf8(setting.email));
  dvr_id_->setText(FromUtf8(setting.dvr_id));
  call_number_->setText(FromUtf8(setting.call_number));
}

sessions::ServiceSettingBlock CDvrStatusDialog::EditedSetting() const {
  sessions::ServiceSettingBlock setting;
  setting.address = ParseAddress(service_address_->text());
  setting.email = email_->text().toStdString();
  setting.dvr_id = dvr_id_->text().toStdString();
  setting.call_number = call_number_->text().toStdString();
  return setting;
}

void CDvrStatusDialog::OnSetEmail() {
  if (services_ == nullptr) return;
  services_->SendEmailSetting(slot_, EditedSetting());
}

}  // namespace shell
