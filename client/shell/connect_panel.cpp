#include "client/shell/connect_panel.h"

#include <QComboBox>
#include <QEvent>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include "client/shell/control_ids.h"
#include "client/shell/hover_button.h"
#include "client/shell/operator_dialogs.h"
#include "client/shell/skinned_widgets.h"

namespace shell {
namespace {

constexpr int kEthernetEntry = 1;
constexpr int kDomainEntry = 2;
// The combos' closed height: the 12 pixels of their places leave no room
// for a line of text, so they are as high as the fields beside them.
constexpr int kComboHeight = 20;
constexpr const char* kResolveFailed = "Invalid domain name address. can't convert domain name to ip address.";

}  // namespace

template <typename T>
T* CConnectPanel::Place(T* widget, int x, int y, int w, int h) {
  widget->setGeometry(x - origin_.x(), y - origin_.y(), w, h);
  return widget;
}

CConnectPanel::CConnectPanel(QWidget* parent, COperatorDialogs& dialogs, QPoint origin)
    : QWidget(parent), dialogs_(dialogs), origin_(origin) {
  setStyleSheet(SkinStyleSheet());
  // The captions stand in for the label pictures, at their sizes.
  auto caption = [this](const char* text, int x, int y, int w, int h) {
    auto* label = Place(new QLabel(text, this), x, y, w, h);
    label->setStyleSheet("color: #8b97a8; font-weight: bold; font-size: 8px;");
  };
  tel_selector_ = Place(new QLabel(this), 190, 622, 186, 19);
  tel_combo_ = Place(new QComboBox(this), 219, 660, 120, kComboHeight);
  caption("TELEPHONE NUMBER", 390, 643, 97, 11);
  number_ = Place(new QLineEdit(this), 390, 660, 243, 20);
  tel_book_ = Place(new CHoverButton(this, ToInt(ControlId::kTelephoneBook)), 604, 622, 28, 28);
  tel_book_->SetBitmaps(201, 203, 202, 438);
  tel_book_->SetTooltip(244, true);
  tel_connect_ = Place(new CHoverButton(this, ToInt(ControlId::kTelephoneConnect)), 640, 659, 68, 22);
  tel_connect_->SetBitmaps(185, 187, 186, 437);
  tel_connect_->SetTooltip(245, true);

  eth_selector_ = Place(new QLabel(this), 190, 690, 273, 19);
  eth_combo_ = Place(new QComboBox(this), 219, 727, 120, kComboHeight);
  caption("IP ADDRESS", 390, 711, 130, 12);
  caption("PORT", 593, 711, 25, 13);
  ip_ = Place(new QLineEdit(this), 390, 727, 200, 20);
  ip_->setValidator(new QRegularExpressionValidator(QRegularExpression(R"(^(\d{0,3})(\.\d{0,3}){0,3}$)"), ip_));
  port_ = Place(new QLineEdit(this), 593, 727, 40, 20);
  port_->setValidator(new QIntValidator(0, 65535, port_));
  // Forty pixels hold five digits only without the skin's inner margin.
  port_->setStyleSheet("QLineEdit { padding: 1px 0px; }");
  port_->setText("2000");
  eth_book_ = Place(new CHoverButton(this, ToInt(ControlId::kEthernetBook)), 604, 684, 28, 28);
  eth_book_->SetBitmaps(204, 206, 205, 439);
  eth_book_->SetTooltip(244, true);
  eth_connect_ = Place(new CHoverButton(this, ToInt(ControlId::kEthernetConnect)), 640, 726, 68, 22);
  eth_connect_->SetBitmaps(185, 187, 186, 437);
  eth_connect_->SetTooltip(245, true);

  reconnect_ = Place(new CHoverButton(this, ToInt(ControlId::kReconnect)), 640, 625, 68, 22);
  reconnect_->SetBitmaps(skin::FacesOfControl(ToInt(ControlId::kReconnect)));
  reconnect_->setToolTip("Reconnect the DVR that dropped");
  reconnect_->hide();
  connect(reconnect_, &QAbstractButton::clicked, this, &CConnectPanel::ReconnectRequested);

  for (QLabel* selector : {tel_selector_, eth_selector_}) {
    selector->installEventFilter(this);
    selector->setCursor(Qt::PointingHandCursor);
  }
  tel_selector_->setPixmap(skin::Pixmap(246));
  eth_selector_->setPixmap(skin::Pixmap(243));
  EnableHalf(false, false);
  EnableHalf(true, true);

  connect(eth_combo_, qOverload<int>(&QComboBox::activated), this, &CConnectPanel::OnEthernetCombo);
  connect(tel_combo_, qOverload<int>(&QComboBox::activated), this, &CConnectPanel::OnTelephoneCombo);
  connect(eth_book_, &QAbstractButton::clicked, this, [this] { emit AddressBookRequested(ListKind::kEthernet); });
  connect(tel_book_, &QAbstractButton::clicked, this, [this] { emit AddressBookRequested(ListKind::kTelephone); });
  connect(eth_connect_, &QAbstractButton::clicked, this, [this] {
    if (auto request = EthernetRequest()) emit ConnectRequested(*request);
  });
  connect(tel_connect_, &QAbstractButton::clicked, this, [this] {
    if (auto request = TelephoneRequest()) {
      emit DialNumber(QString::fromStdString(request->address));
      emit ConnectRequested(*request);
    }
  });
  FillCombos();
}

void CConnectPanel::OfferReconnect(bool shown) { reconnect_->setVisible(shown); }

void CConnectPanel::EnableHalf(bool ethernet, bool enabled) {
  if (ethernet) {
    for (QWidget* widget : std::initializer_list<QWidget*>{eth_combo_, ip_, port_, eth_book_, eth_connect_}) {
      widget->setEnabled(enabled);
    }
  } else {
    for (QWidget* widget : std::initializer_list<QWidget*>{tel_combo_, number_, tel_book_, tel_connect_}) {
      widget->setEnabled(enabled);
    }
  }
}

void CConnectPanel::FillCombos() {
  eth_combo_->clear();
  tel_combo_->clear();
  eth_combo_->addItem("Manual Logon", 0);
  tel_combo_->addItem("Manual Logon", 0);
  for (const std::string& alias : AddressBookStore::Aliases(ListKind::kTelephone)) {
    tel_combo_->addItem(QString::fromStdString(alias), 1);
  }
  for (const std::string& alias : AddressBookStore::Aliases(ListKind::kEthernet)) {
    eth_combo_->addItem(QString::fromStdString(alias), kEthernetEntry);
  }
  for (const std::string& alias : AddressBookStore::Aliases(ListKind::kDomainName)) {
    eth_combo_->addItem(QString::fromStdString(alias), kDomainEntry);
  }
  eth_combo_->setCurrentIndex(0);
  tel_combo_->setCurrentIndex(0);
}

void CConnectPanel::Reset() {
  eth_combo_->setCurrentIndex(0);
  tel_combo_->setCurrentIndex(0);
  // Selecting "Manual Logon" frees the fields an address-book entry locked,
  // also when the Ethernet half is active already and the click does nothing.
  if (ethernet_selected_) OnEthernetCombo(0);
  ClickHalf(true);
}

void CConnectPanel::ClearFields() {
  ip_->clear();
  port_->setText("2000");
  number_->clear();
}

bool CConnectPanel::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress && (watched == eth_selector_ || watched == tel_selector_)) {
    ClickHalf(watched == eth_selector_);
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void CConnectPanel::ClickHalf(bool ethernet) {
  if (ethernet == ethernet_selected_) return;
  eth_selector_->setPixmap(skin::Pixmap(ethernet ? 243 : 244));
  tel_selector_->setPixmap(skin::Pixmap(ethernet ? 246 : 245));
  EnableHalf(!ethernet, false);
  EnableHalf(ethernet, true);
  QComboBox* combo = ethernet ? eth_combo_ : tel_combo_;
  combo->setCurrentIndex(0);
  if (ethernet) {
    OnEthernetCombo(0);
  } else {
    OnTelephoneCombo(0);
  }
  combo->setFocus();
  ethernet_selected_ = ethernet;
}

void CConnectPanel::OnEthernetCombo(int index) {
  if (index <= 0) {
    ip_->setEnabled(true);
    port_->setEnabled(true);
    ip_->setFocus();
    return;
  }
  const bool domain = eth_combo_->itemData(index).toInt() == kDomainEntry;
  const std::string alias = eth_combo_->itemText(index).toStdString();
  const auto entry = AddressBookStore::Read(domain ? ListKind::kDomainName : ListKind::kEthernet, alias);
  std::string address = entry ? entry->ip : std::string();
  if (domain) {
    if (const auto resolved = ResolveLastIpv4(address)) {
      address = *resolved;
    } else {
      dialogs_.ShowMessageBox(this, kResolveFailed, BoxIcon::kError);
    }
  }
  ip_->setText(QString::fromStdString(address));
  port_->setText(QString::number(static_cast<int32_t>(entry ? entry->port : 0)));
  ip_->setEnabled(false);
  port_->setEnabled(false);
}

void CConnectPanel::OnTelephoneCombo(int index) {
  if (index <= 0) {
    number_->setEnabled(true);
    number_->setFocus();
    return;
  }
  const auto entry = AddressBookStore::Read(ListKind::kTelephone, tel_combo_->itemText(index).toStdString());
  number_->setText(QString::fromStdString(DialString(entry ? entry->ip : std::string())));
  number_->setEnabled(false);
}

std::optional<ConnectionRequest> CConnectPanel::EthernetRequest() {
  // A disabled half cannot start a request.
  if (!ethernet_selected_ || !eth_connect_->isEnabled()) return std::nullopt;
  ConnectionRequest request;
  request.network = true;
  request.address = ip_->text().toStdString();
  const int index = eth_combo_->currentIndex();
  if (index > 0) {
    const bool domain = eth_combo_->itemData(index).toInt() == kDomainEntry;
    const auto entry = AddressBookStore::Read(domain ? ListKind::kDomainName : ListKind::kEthernet,
                                              eth_combo_->currentText().toStdString());
    if (!entry) return std::nullopt;
    request.port = static_cast<uint16_t>(entry->port & 0xFFFF);
    request.user_name = entry->user_name;
    request.password = entry->password;
    request.alias = entry->alias;
    request.auto_reconnect = entry->auto_reconnect;
  } else {
    manual_port_ = port_->text().toInt();
    request.port = static_cast<uint16_t>(manual_port_ & 0xFFFF);
  }
  return request;
}

std::optional<ConnectionRequest> CConnectPanel::TelephoneRequest() {
  if (ethernet_selected_ || !tel_connect_->isEnabled()) return std::nullopt;
  ConnectionRequest request;
  request.network = false;
  request.port = 2000;
  const int index = tel_combo_->currentIndex();
  if (index > 0) {
    const auto entry = AddressBookStore::Read(ListKind::kTelephone, tel_combo_->currentText().toStdString());
    if (!entry) return std::nullopt;
    request.address = entry->ip;
    request.user_name = entry->user_name;
    request.password = entry->password;
    request.alias = entry->alias;
    request.auto_reconnect = entry->auto_reconnect;
  } else {
    request.address = number_->text().toStdString();
  }
  return request;
}

}  // namespace shell
