// CShortcutsPage: the "Keyboard shortcuts" page, every key of the main
// window's table beside the action it takes, in the table's order.
//
// Threads: user-interface thread only.
#pragma once

#include <QDialog>

class QTableWidget;

namespace shell {

class CShortcutsPage : public QDialog {
 public:
  explicit CShortcutsPage(QWidget* parent);

  QTableWidget* table() const { return table_; }

 private:
  QTableWidget* table_;
};

}  // namespace shell
