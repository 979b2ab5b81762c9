// CConnectPanel: the lower area's connect panel, with an Ethernet half (an
// address-book combo, an IPv4 address and a port) and a telephone half (a
// combo and a number). One half is active at a time. Connect turns the
// choice into a connection request for the active viewer.
//
// Threads: user-interface thread only.
#pragma once

#include <QWidget>

#include <optional>
#include <string>

#include "client/shell/address_book_store.h"
#include "client/shell/operator_dialogs.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace shell {

class CHoverButton;

// What a Connect hands to the viewer. A manual logon carries no user name
// and password: the DVR's logon prompt asks for them.
struct ConnectionRequest {
  std::string address;  // dotted IPv4 (or an unresolved host name), or the number to dial
  uint16_t port = 2000;
  std::optional<std::string> user_name;
  std::optional<std::string> password;
  bool network = true;  // link flag: 1 Ethernet, 0 telephone
  std::string alias;    // the address-book entry, empty for a manual logon
  bool auto_reconnect = false;
};

class CConnectPanel : public QWidget {
  Q_OBJECT

 public:
  // `origin`: where the panel's top-left corner lies in the main window; the
  // children are placed by main-window coordinates.
  CConnectPanel(QWidget* parent, COperatorDialogs& dialogs, QPoint origin);

  bool ethernet_selected() const { return ethernet_selected_; }
  int manual_port() const { return manual_port_; }

  // Both combos from the address book, "Manual Logon" first and selected.
  void FillCombos();
  // What showing the panel does: the first combo entry, then the Ethernet half.
  void Reset();
  // After a connection ended: address cleared, port back to 2000.
  void ClearFields();
  // A click on a half's selector picture.
  void ClickHalf(bool ethernet);
  void OnEthernetCombo(int index);
  void OnTelephoneCombo(int index);
  // The requests of the two Connect buttons; nothing when the half is inactive.
  std::optional<ConnectionRequest> EthernetRequest();
  std::optional<ConnectionRequest> TelephoneRequest();

  QComboBox* ethernet_combo() const { return eth_combo_; }
  QComboBox* telephone_combo() const { return tel_combo_; }
  QLineEdit* ip_edit() const { return ip_; }
  QLineEdit* port_edit() const { return port_; }
  QLineEdit* number_edit() const { return number_; }
  CHoverButton* ethernet_connect() const { return eth_connect_; }
  CHoverButton* telephone_connect() const { return tel_connect_; }
  // The one-click reconnect, shown while the selected DVR slot has dropped.
  CHoverButton* reconnect_button() const { return reconnect_; }
  void OfferReconnect(bool shown);

 signals:
  void ConnectRequested(const shell::ConnectionRequest& request);
  // The number goes to the modem link before the request.
  void DialNumber(const QString& number);
  void AddressBookRequested(shell::ListKind list);
  void ReconnectRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  template <typename T>
  T* Place(T* widget, int x, int y, int w, int h);
  void EnableHalf(bool ethernet, bool enabled);

  COperatorDialogs& dialogs_;
  const QPoint origin_;
  bool ethernet_selected_ = true;
  int manual_port_ = 2000;
  QLabel* tel_selector_;
  QComboBox* tel_combo_;
  QLineEdit* number_;
  CHoverButton* tel_book_;
  CHoverButton* tel_connect_;
  QLabel* eth_selector_;
  QComboBox* eth_combo_;
  QLineEdit* ip_;
  QLineEdit* port_;
  CHoverButton* eth_book_;
  CHoverButton* eth_connect_;
  CHoverButton* reconnect_;
};

}  // namespace shell
