#include "client/shell/address_entry_dialog.h"

#include <QCheckBox>
#include <QIntValidator>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include <algorithm>

#include "client/shell/hover_button.h"
#include "client/shell/operator_dialogs.h"
#include "platform/string_table.h"

namespace shell {
namespace {

constexpr int kCaptionX = 48;
constexpr int kFieldX = 220;
constexpr int kFirstRowY = 64;
constexpr int kRowHeight = 30;

int BackgroundOf(ListKind kind) {
  switch (kind) {
    case ListKind::kEthernet:
      return skin::res::kEthernetEntryBackground;
    case ListKind::kTelephone:
      return skin::res::kTelephoneEntryBackground;
    case ListKind::kDomainName:
      return skin::res::kDomainEntryBackground;
  }
  return skin::res::kEthernetEntryBackground;
}

}  // namespace

CAddressEntryDialog::CAddressEntryDialog(QWidget* parent, COperatorDialogs& dialogs, ListKind kind,
                                         const std::string& alias)
    : CSkinnedDialog(parent, BackgroundOf(kind), QSize(600, 420),
                     QString::fromUtf8(platform::LoadString(alias.empty() ? 158 : 157))),
      dialogs_(dialogs),
      kind_(kind),
      old_alias_(alias) {
  int row = 0;
  alias_ = AddEdit("Alias Name", row++, 200);
  if (kind == ListKind::kEthernet) {
    ip_ = AddEdit("IP Address", row++, 200);
    // Four numbers of at most three digits, as the address control allows.
    ip_->setValidator(new QRegularExpressionValidator(QRegularExpression(R"(^(\d{0,3})(\.\d{0,3}){0,3}$)"), ip_));
  }
  if (kind == ListKind::kDomainName) host_ = AddEdit("Host Name", row++, 300);
  if (kind != ListKind::kTelephone) {
    port_ = AddEdit("Port", row++, 80);
    port_->setText("2000");
    port_->setValidator(new QIntValidator(0, 65535, port_));
  } else {
    country_ = AddEdit("Country Code", row++, 80);
    area_ = AddEdit("Area Code", row++, 80);
    major_ = AddEdit("Major Number", row++, 100);
    minor_ = AddEdit("Minor Number", row++, 100);
    local_ = new QCheckBox("Number without country and area code", this);
    local_->setGeometry(kFieldX, kFirstRowY + row++ * kRowHeight, 320, 22);
    connect(local_, &QCheckBox::toggled, this, &CAddressEntryDialog::OnLocalToggled);
  }
  user_ = AddEdit("User Name", row++, 200);
  password_ = AddEdit("Password", row++, 200, true);
  confirm_ = AddEdit("Confirm Password", row++, 200, true);
  reconnect_ = new QCheckBox("Reconnect automatically", this);
  reconnect_->setGeometry(kFieldX, kFirstRowY + row++ * kRowHeight, 320, 22);

  ok_ = new CHoverButton(this, 1154);
  ok_->SetBitmaps(207, 209, 208, 482);
  ok_->Place(429, 377);
  cancel_ = new CHoverButton(this, 1153);
  cancel_->SetBitmaps(421, 423, 422, 483);
  cancel_->Place(507, 377);
  connect(ok_, &QAbstractButton::clicked, this, &CAddressEntryDialog::OnOk);
  connect(cancel_, &QAbstractButton::clicked, this, &QDialog::reject);

  if (modifying()) {
    if (const auto entry = AddressBookStore::Read(kind, alias)) Load(*entry);
    alias_->setText(QString::fromStdString(alias));
  }
  alias_->setFocus();
}

QLineEdit* CAddressEntryDialog::AddEdit(const QString& caption, int row, int width, bool hidden) {
  const int y = kFirstRowY + row * kRowHeight;
  AddCaption(caption, kCaptionX, y + 1, 160);
  auto* edit = new QLineEdit(this);
  edit->setGeometry(kFieldX, y, width, 22);
  // The store reads strings into 256-byte buffers.
  edit->setMaxLength(255);
  if (hidden) edit->setEchoMode(QLineEdit::Password);
  return edit;
}

void CAddressEntryDialog::Load(const AddressEntry& entry) {
  user_->setText(QString::fromStdString(entry.user_name));
  password_->setText(QString::fromStdString(entry.password));
  confirm_->setText(QString::fromStdString(entry.password));
  reconnect_->setChecked(entry.auto_reconnect);
  if (port_ != nullptr) port_->setText(QString::number(entry.port & 0xFFFF));
  if (ip_ != nullptr) ip_->setText(QString::fromStdString(entry.ip));
  if (host_ != nullptr) host_->setText(QString::fromStdString(entry.ip));
  if (kind_ == ListKind::kTelephone) {
    const TelephoneParts parts = SplitTelephone(entry.ip);
    country_->setText(QString::fromStdString(parts.country));
    area_->setText(QString::fromStdString(parts.area));
    major_->setText(QString::fromStdString(parts.major));
    minor_->setText(QString::fromStdString(parts.minor));
    local_->setChecked(parts.local);
  }
}

void CAddressEntryDialog::OnLocalToggled(bool checked) {
  country_->setEnabled(!checked);
  area_->setEnabled(!checked);
}

std::string CAddressEntryDialog::IpText() const {
  if (ip_ == nullptr) return {};
  const QStringList parts = ip_->text().split('.');
  QStringList numbers;
  for (int i = 0; i < 4; ++i) numbers << QString::number(i < parts.size() ? parts[i].toInt() : 0);
  return numbers.join('.').toStdString();
}

// Each of the four numbers fits a byte; a larger one must be refused, not
// stored as some other address.
bool CAddressEntryDialog::IpInRange() const {
  const QStringList parts = ip_->text().split('.');
  return std::all_of(parts.begin(), parts.end(), [](const QString& part) { return part.toInt() <= 255; });
}

int CAddressEntryDialog::Validate() const {
  auto length_in = [](const QLineEdit* edit, int low, int high) {
    const int length = static_cast<int>(edit->text().size());
    return length >= low && length <= high;
  };
  // The field lets a number past 65535 stand while typing; the store would
  // keep only its low 16 bits, another port.
  const int port = port_ != nullptr ? port_->text().toInt() : 0;
  const bool port_usable = port > 0 && port <= 65535;
  if (kind_ == ListKind::kEthernet && (IpText() == "0.0.0.0" || !IpInRange() || !port_usable)) return 130;
  if (kind_ == ListKind::kDomainName && (host_->text().isEmpty() || !port_usable)) return 130;
  if (kind_ == ListKind::kTelephone) {
    if (!local_->isChecked()) {
      if (!length_in(country_, 1, 5)) return 132;
      if (!length_in(area_, 1, 5)) return 133;
    }
    if (!length_in(major_, 1, 6)) return 134;
    if (!length_in(minor_, 1, 5)) return 135;
  }
  // A backslash would make the alias a path of keys in the store.
  if (alias_->text().isEmpty() || alias_->text().contains('\\')) return 126;
  if (user_->text().isEmpty()) return 127;
  if (password_->text().isEmpty()) return 128;
  if (password_->text() != confirm_->text()) return 131;
  return 0;
}

void CAddressEntryDialog::OnOk() {
  if (port_ != nullptr) {
    // The field's own integer check comes before every other.
    bool whole = false;
    const int port = port_->text().toInt(&whole);
    if (!whole || port < 0) {
      dialogs_.ShowMessageBox(this, "Please enter an integer.", BoxIcon::kError);
      return;
    }
  }
  if (const int failure = Validate(); failure != 0) {
    dialogs_.ShowMessageBox(this, platform::LoadString(failure), BoxIcon::kError);
    return;
  }
  AddressEntry entry;
  entry.alias = alias_->text().toStdString();
  entry.user_name = user_->text().toStdString();
  entry.password = password_->text().toStdString();
  entry.auto_reconnect = reconnect_->isChecked();
  switch (kind_) {
    case ListKind::kEthernet:
      entry.ip = IpText();
      break;
    case ListKind::kDomainName:
      entry.ip = host_->text().toStdString();
      break;
    case ListKind::kTelephone:
      entry.ip = local_->isChecked() ? JoinTelephone("", "", major_->text().toStdString(), minor_->text().toStdString())
                                     : JoinTelephone(country_->text().toStdString(), area_->text().toStdString(),
                                                     major_->text().toStdString(), minor_->text().toStdString());
      break;
  }
  if (port_ != nullptr) entry.port = static_cast<uint32_t>(port_->text().toInt());
  // A new alias replaces the old entry rather than adding a second one. The
  // new entry is written first, so that a failed write loses nothing.
  if (AddressBookStore::Write(kind_, entry) == 0 && modifying() && old_alias_ != entry.alias) {
    AddressBookStore::Delete(kind_, old_alias_);
  }
  accept();
}

}  // namespace shell
