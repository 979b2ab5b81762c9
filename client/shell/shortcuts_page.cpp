#include "client/shell/shortcuts_page.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

#include "client/shell/keyboard_shortcuts.h"
#include "client/shell/skinned_widgets.h"

namespace shell {

CShortcutsPage::CShortcutsPage(QWidget* parent) : QDialog(parent), table_(new QTableWidget(this)) {
  setWindowTitle("Keyboard shortcuts");
  setStyleSheet(SkinStyleSheet());
  const auto entries = ShortcutTable();
  table_->setColumnCount(2);
  table_->setRowCount(static_cast<int>(entries.size()));
  table_->setHorizontalHeaderLabels({"Action", "Key"});
  for (int row = 0; row < table_->rowCount(); ++row) {
    table_->setItem(row, 0, new QTableWidgetItem(QString::fromUtf8(entries[row].action)));
    table_->setItem(row, 1, new QTableWidgetItem(KeyText(entries[row])));
  }
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_);
  layout->addWidget(buttons);
  resize(420, 560);
}

}  // namespace shell
