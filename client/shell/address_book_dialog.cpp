#include "client/shell/address_book_dialog.h"

#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QTreeWidget>

#include "client/shell/address_entry_dialog.h"
#include "client/shell/hover_button.h"
#include "client/shell/operator_dialogs.h"
#include "platform/string_table.h"

namespace shell {
namespace {

struct ListPlace {
  int list_y;
  int selector_y;
  int selected_picture;
  int unselected_picture;
};
constexpr ListPlace kPlaces[] = {{123, 74, 460, 461}, {264, 218, 462, 463}, {405, 366, 540, 541}};

}  // namespace

CAddressBookDialog::CAddressBookDialog(QWidget* parent, COperatorDialogs& dialogs, ListKind active)
    : CSkinnedDialog(parent, skin::res::kAddressBookBackground, QSize(751, 584),
                     QString::fromUtf8(platform::LoadString(154))),
      dialogs_(dialogs),
      active_(active) {
  for (int i = 0; i < 3; ++i) {
    const auto kind = static_cast<ListKind>(i);
    auto* list = new QTreeWidget(this);
    list->setGeometry(193, kPlaces[i].list_y, 525, 74);
    list->setRootIsDecorated(false);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setAlternatingRowColors(true);
    if (AddressBookStore::HasPort(kind)) {
      list->setHeaderLabels({"Alias Name", "Address", "Port", "User Name", "Password"});
      for (int c = 0; c < 5; ++c) list->setColumnWidth(c, 103);
    } else {
      list->setHeaderLabels({"Alias Name", "Address", "User Name", "Password"});
      for (int c = 0; c < 4; ++c) list->setColumnWidth(c, 130);
    }
    list->header()->setDefaultAlignment(Qt::AlignCenter);
    lists_[i] = list;
    auto* selector = new QLabel(this);
    selector->setGeometry(348, kPlaces[i].selector_y, 220, 24);
    selector->installEventFilter(this);
    selector->setCursor(Qt::PointingHandCursor);
    selectors_[i] = selector;
    Refill(kind);
  }
  struct ButtonPlace {
    int id;
    int x;
    skin::FaceIds faces;
    void (CAddressBookDialog::*handler)();
  };
  const ButtonPlace buttons[] = {{1140, 428, {464, 466, 465, 467}, &CAddressBookDialog::OnAdd},
                                 {1138, 508, {472, 474, 473, 475}, &CAddressBookDialog::OnModify},
                                 {1139, 586, {468, 470, 469, 471}, &CAddressBookDialog::OnDelete}};
  for (const ButtonPlace& place : buttons) {
    auto* button = new CHoverButton(this, place.id);
    button->SetBitmaps(place.faces);
    button->Place(place.x, 525);
    connect(button, &QAbstractButton::clicked, this, place.handler);
  }
  auto* close = new CHoverButton(this, 1006);
  close->SetBitmaps(476, 478, 477, 479);
  close->Place(664, 525);
  connect(close, &QAbstractButton::clicked, this, &QDialog::accept);
  active_ = active == ListKind::kEthernet ? ListKind::kTelephone : ListKind::kEthernet;
  SetActive(active);
}

void CAddressBookDialog::SetActive(ListKind kind) {
  active_ = kind;
  for (int i = 0; i < 3; ++i) {
    const bool on = i == static_cast<int>(kind);
    lists_[i]->setEnabled(on);
    selectors_[i]->setPixmap(skin::Pixmap(on ? kPlaces[i].selected_picture : kPlaces[i].unselected_picture));
  }
}

bool CAddressBookDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress) {
    for (int i = 0; i < 3; ++i) {
      if (watched == selectors_[i]) {
        SetActive(static_cast<ListKind>(i));
        return true;
      }
    }
  }
  return CSkinnedDialog::eventFilter(watched, event);
}

void CAddressBookDialog::Refill(ListKind kind) {
  QTreeWidget* list = lists_[static_cast<int>(kind)];
  list->clear();
  for (const std::string& alias : AddressBookStore::Aliases(kind)) {
    const AddressEntry entry = AddressBookStore::Read(kind, alias).value_or(AddressEntry{alias, {}, 0, {}, {}});
    QStringList row{QString::fromStdString(alias), QString::fromStdString(entry.ip)};
    if (AddressBookStore::HasPort(kind)) row << QString::number(entry.port & 0xFFFF);
    row << QString::fromStdString(entry.user_name) << "*******";
    auto* item = new QTreeWidgetItem(list, row);
    for (int c = 0; c < row.size(); ++c) item->setTextAlignment(c, Qt::AlignCenter);
  }
}

std::string CAddressBookDialog::SelectedAlias() const {
  const QTreeWidget* list = lists_[static_cast<int>(active_)];
  const QList<QTreeWidgetItem*> selected = list->selectedItems();
  return selected.isEmpty() ? std::string() : selected.front()->text(0).toStdString();
}

void CAddressBookDialog::OnAdd() {
  CAddressEntryDialog dialog(this, dialogs_, active_);
  if (dialogs_.RunModal(dialog) == QDialog::Accepted) Refill(active_);
}

void CAddressBookDialog::OnModify() {
  const std::string alias = SelectedAlias();
  if (alias.empty()) {
    dialogs_.ShowMessageBox(this, platform::LoadString(136), BoxIcon::kWarning);
    return;
  }
  CAddressEntryDialog dialog(this, dialogs_, active_, alias);
  if (dialogs_.RunModal(dialog) == QDialog::Accepted) Refill(active_);
}

void CAddressBookDialog::OnDelete() {
  const std::string alias = SelectedAlias();
  if (alias.empty()) {
    dialogs_.ShowMessageBox(this, platform::LoadString(136), BoxIcon::kNone);
    return;
  }
  // No confirmation: the entry goes at once.
  AddressBookStore::Delete(active_, alias);
  Refill(active_);
}

}  // namespace shell
