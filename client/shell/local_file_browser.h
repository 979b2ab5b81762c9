// CLocalFileBrowser: the local player's folder tree and file list, shown in
// place of the calendar and the file list. The tree (a QFileSystemModel of
// folders, rooted at the home folder) picks the folder; the list shows its
// sub-folders and its files whose extension is exactly ".amg" or ".rmp",
// with the date and time an ".amg" name begins with and the size in MB.
//
// Threads: user-interface thread only.
#pragma once

#include <QTreeWidget>
#include <QWidget>

#include <cstdint>
#include <optional>
#include <string>

class QFileSystemModel;
class QTreeView;

namespace shell {

struct LocalFileRow {
  std::string name;
  std::string date;  // "YYYY-MM-DD" of an ".amg" name
  std::string time;  // "hh:mm"
  std::string size;  // "%dMB" of bytes / 1,024,000
};

// The list's row of a file, or nothing for a file it does not list.
std::optional<LocalFileRow> RowOfFile(const std::string& name, uint64_t bytes);

class CLocalFileBrowser : public QWidget {
  Q_OBJECT

 public:
  // `tree_place` and `list_place` in the parent's pixels.
  CLocalFileBrowser(QWidget* parent, const QRect& tree_place, const QRect& list_place);

  // Shows a folder in the list (the tree's selection does this).
  void ShowFolder(const QString& path);
  QTreeView* tree() const { return tree_; }
  QTreeWidget* list() const { return list_; }
  // The chosen file's full path, empty when a folder or nothing is chosen.
  const QString& chosen_path() const { return chosen_path_; }
  qint64 chosen_size() const { return chosen_size_; }

 signals:
  // The operator asked to export the chosen file.
  void ExportRequested(const QString& path);

 private:
  void OnRowSelected();

  QFileSystemModel* folders_;
  QTreeView* tree_;
  QTreeWidget* list_;
  QString chosen_path_;
  qint64 chosen_size_ = 0;
};

}  // namespace shell
