// CAddressBookDialog: the three address-book lists with Add, Modify and
// Delete. One list is active at a time; the pictures above the lists switch
// between them. Every list is read afresh from the store after each change.
//
// Threads: user-interface thread only.
#pragma once

#include <array>

#include "client/shell/address_book_store.h"
#include "client/shell/operator_dialogs.h"
#include "client/shell/skinned_widgets.h"

class QTreeWidget;

namespace shell {

class CHoverButton;

class CAddressBookDialog : public CSkinnedDialog {
 public:
  CAddressBookDialog(QWidget* parent, COperatorDialogs& dialogs, ListKind active);

  ListKind active() const { return active_; }
  void SetActive(ListKind kind);
  QTreeWidget* list(ListKind kind) const { return lists_[static_cast<int>(kind)]; }
  void Refill(ListKind kind);

  // The buttons' handlers. Add and Modify run the entry dialog modally,
  // through the dialogs' door so that a test can drive it.
  void OnAdd();
  void OnModify();
  void OnDelete();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The alias of the active list's selected row, or empty.
  std::string SelectedAlias() const;

  COperatorDialogs& dialogs_;
  ListKind active_;
  std::array<QTreeWidget*, 3> lists_{};
  std::array<QLabel*, 3> selectors_{};
};

}  // namespace shell
