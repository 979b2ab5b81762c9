// CAddressEntryDialog: adds an entry to one address-book list, or modifies
// one (possibly under a new alias). Every check runs before anything is
// written, so a refused entry leaves the store as it was.
//
// Threads: user-interface thread only.
#pragma once

#include "client/shell/address_book_store.h"
#include "client/shell/operator_dialogs.h"
#include "client/shell/skinned_widgets.h"

class QCheckBox;
class QLineEdit;

namespace shell {

class CHoverButton;

class CAddressEntryDialog : public CSkinnedDialog {
 public:
  // An empty `alias` adds; otherwise the entry of that alias is modified.
  CAddressEntryDialog(QWidget* parent, COperatorDialogs& dialogs, ListKind kind, const std::string& alias = {});

  ListKind kind() const { return kind_; }
  bool modifying() const { return !old_alias_.empty(); }

  // The string ID of the first check that fails, or 0.
  int Validate() const;
  // OK: checks, then writes and closes; a failure shows its message.
  void OnOk();

  // The IP field's text as four numbers ("0.0.0.0" when empty).
  std::string IpText() const;

  QLineEdit* alias_edit() const { return alias_; }
  QLineEdit* ip_edit() const { return ip_; }
  QLineEdit* host_edit() const { return host_; }
  QLineEdit* port_edit() const { return port_; }
  QLineEdit* country_edit() const { return country_; }
  QLineEdit* area_edit() const { return area_; }
  QLineEdit* major_edit() const { return major_; }
  QLineEdit* minor_edit() const { return minor_; }
  QCheckBox* local_check() const { return local_; }
  QLineEdit* user_edit() const { return user_; }
  QLineEdit* password_edit() const { return password_; }
  QLineEdit* confirm_edit() const { return confirm_; }
  QCheckBox* reconnect_check() const { return reconnect_; }
  CHoverButton* ok_button() const { return ok_; }

 private:
  QLineEdit* AddEdit(const QString& caption, int row, int width, bool hidden = false);
  void Load(const AddressEntry& entry);
  void OnLocalToggled(bool checked);
  bool IpInRange() const;

  COperatorDialogs& dialogs_;
  const ListKind kind_;
  const std::string old_alias_;
  QLineEdit* alias_ = nullptr;
  QLineEdit* ip_ = nullptr;
  QLineEdit* host_ = nullptr;
  QLineEdit* port_ = nullptr;
  QLineEdit* country_ = nullptr;
  QLineEdit* area_ = nullptr;
  QLineEdit* major_ = nullptr;
  QLineEdit* minor_ = nullptr;
  QCheckBox* local_ = nullptr;
  QLineEdit* user_ = nullptr;
  QLineEdit* password_ = nullptr;
  QLineEdit* confirm_ = nullptr;
  QCheckBox* reconnect_ = nullptr;
  CHoverButton* ok_ = nullptr;
  CHoverButton* cancel_ = nullptr;
};

}  // namespace shell
