#include "client/shell/save_file_list_dialog.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>

#include "client/shell/skin_artwork.h"

namespace shell {
namespace {

struct Column {
  const char* heading;
  int width;
};
constexpr Column kColumns[] = {{"Name", 116}, {"Date", 90}, {"Time", 80}, {"Size", 89}};

}  // namespace

CSaveFileListDialog::CSaveFileListDialog(QWidget* parent, std::string folder, Preview preview)
    : CSkinnedDialog(parent, skin::res::kSaveFileListBackground, QSize(597, 430), "Kaviro - Save file list"),
      folder_(std::move(folder)),
      preview_(std::move(preview)),
      images_(media::ListSavedImages(folder_)) {
  list_ = new QTreeWidget(this);
  list_->setGeometry(24, 56, 379, 352);  // as wide as its four columns
  list_->setRootIsDecorated(false);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setColumnCount(4);
  list_->header()->setStretchLastSection(false);
  QStringList headings;
  for (const Column& column : kColumns) headings << column.heading;
  list_->setHeaderLabels(headings);
  for (int i = 0; i < 4; ++i) {
    list_->setColumnWidth(i, kColumns[i].width);
    list_->headerItem()->setTextAlignment(i, Qt::AlignCenter);
  }
  SkinChild(list_);
  for (const auto& image : images_) {
    auto* item =
        new QTreeWidgetItem(QStringList{QString::fromStdString(image.name), QString::fromStdString(image.date),
                                        QString::fromStdString(image.time), QString::fromStdString(image.size)});
    for (int i = 0; i < 4; ++i) item->setTextAlignment(i, Qt::AlignCenter);
    list_->addTopLevelItem(item);
  }
  const char* style =
      "QPushButton { background: #232b36; color: #e4eaf1; border: 1px solid #3a4657; border-radius: 5px;"
      " font-weight: bold; } QPushButton:hover { border-color: #3db2ff; background: #1f364d; }";
  auto* preview_button = new QPushButton("Preview", this);
  preview_button->setGeometry(433, 56, 140, 32);
  preview_button->setStyleSheet(style);
  auto* close = new QPushButton("Close", this);
  close->setGeometry(433, 100, 140, 32);
  close->setStyleSheet(style);
  connect(preview_button, &QPushButton::clicked, this, &CSaveFileListDialog::PreviewChosen);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, &CSaveFileListDialog::PreviewChosen);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

void CSaveFileListDialog::PreviewChosen() {
  QTreeWidgetItem* item = list_->currentItem();
  if (item == nullptr || !item->isSelected() || !preview_) return;
  const int row = list_->indexOfTopLevelItem(item);
  if (row < 0 || row >= static_cast<int>(images_.size())) return;
  const auto& image = images_[static_cast<size_t>(row)];
  preview_(folder_ + image.name, image);
}

}  // namespace shell
