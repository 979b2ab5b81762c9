#include "client/shell/local_file_browser.h"

#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QMenu>
#include <QTreeView>

#include <cstdio>

namespace shell {
namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kSizeRole = Qt::UserRole + 1;
const char* kColours = "color: white; background: black;";

bool EndsWith(const std::string& text, const char* suffix) {
  const std::string tail = suffix;
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

std::optional<LocalFileRow> RowOfFile(const std::string& name, uint64_t bytes) {
  // The extension is compared exactly: ".AMG" is not listed.
  const bool amg = EndsWith(name, ".amg");
  if (!amg && !EndsWith(name, ".rmp")) return std::nullopt;
  LocalFileRow row;
  row.name = name;
  // A downloaded file's name begins with its date and time, YYYYMMDDhhmm.
  if (amg && name.size() >= 12 + 4) {
    row.date = name.substr(0, 4) + "-" + name.substr(4, 2) + "-" + name.substr(6, 2);
    row.time = name.substr(8, 2) + ":" + name.substr(10, 2);
  }
  char size[32];
  std::snprintf(size, sizeof size, "%dMB", static_cast<int>(bytes / 1024000));
  row.size = size;
  return row;
}

CLocalFileBrowser::CLocalFileBrowser(QWidget* parent, const QRect& tree_place, const QRect& list_place)
    : QWidget(parent) {
  setGeometry(tree_place.united(list_place));
  const QPoint origin = geometry().topLeft();
  folders_ = new QFileSystemModel(this);
  folders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
  const QString home = QDir::homePath();
  folders_->setRootPath(home);
  tree_ = new QTreeView(this);
  tree_->setModel(folders_);
  tree_->setRootIndex(folders_->index(home));
  for (int column = 1; column < folders_->columnCount(); ++column) tree_->hideColumn(column);
  tree_->setHeaderHidden(true);
  tree_->setGeometry(tree_place.translated(-origin));
  tree_->setStyleSheet(kColours);

  list_ = new QTreeWidget(this);
  list_->setGeometry(list_place.translated(-origin));
  list_->setColumnCount(4);
  list_->setHeaderLabels({"Name", "Date", "Time", "Size"});
  list_->setRootIsDecorated(false);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setStyleSheet(kColours);
  const int width = list_place.width();
  const double shares[] = {0.38, 0.25, 0.15, 0.2};
  for (int column = 0; column < 4; ++column) list_->setColumnWidth(column, static_cast<int>(width * shares[column]));
  list_->setContextMenuPolicy(Qt::CustomContextMenu);

  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { ShowFolder(folders_->filePath(current)); });
  connect(list_, &QTreeWidget::itemSelectionChanged, this, &CLocalFileBrowser::OnRowSelected);
  connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& point) {
    if (chosen_path_.isEmpty()) return;
    QMenu menu(list_);
    QAction* action = menu.addAction("Export");
    if (menu.exec(list_->viewport()->mapToGlobal(point)) == action) emit ExportRequested(chosen_path_);
  });
  ShowFolder(home);
}

void CLocalFileBrowser::ShowFolder(const QString& path) {
  list_->setUpdatesEnabled(false);
  list_->clear();
  chosen_path_.clear();
  chosen_size_ = 0;
  const QDir folder(path);
  for (const QFileInfo& info :
       folder.entryInfoList(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot, QDir::DirsFirst | QDir::Name)) {
    if (info.isDir()) {
      auto* item = new QTreeWidgetItem(list_, {info.fileName()});
      item->setData(0, kPathRole, QString());
      continue;
    }
    const auto row = RowOfFile(info.fileName().toStdString(), static_cast<uint64_t>(info.size()));
    if (!row) continue;
    auto* item = new QTreeWidgetItem(list_, {QString::fromStdString(row->name), QString::fromStdString(row->date),
                                             QString::fromStdString(row->time), QString::fromStdString(row->size)});
    item->setData(0, kPathRole, info.absoluteFilePath());
    item->setData(0, kSizeRole, info.size());
  }
  list_->setUpdatesEnabled(true);
}

void CLocalFileBrowser::OnRowSelected() {
  const auto items = list_->selectedItems();
  chosen_path_.clear();
  chosen_size_ = 0;
  if (items.isEmpty()) return;
  chosen_path_ = items.front()->data(0, kPathRole).toString();
  chosen_size_ = items.front()->data(0, kSizeRole).toLongLong();
}

}  // namespace shell
