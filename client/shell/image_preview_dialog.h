// CImagePreviewDialog: a captured bitmap on a printable page with a title
// and a comment; Print draws the same page on the printer chosen in the
// print dialog.
//
// Threads: user-interface thread only.
#pragma once

#include <QImage>
#include <QString>

#include "client/shell/skinned_widgets.h"

class QPlainTextEdit;
class QPrinter;

namespace shell {

class COperatorDialogs;

// The page's texts and picture as the printer lays them out.
struct PrintedPage {
  QImage picture;  // null: the page without it
  QString file_name;
  QString date;
  QString time;
  QString title;
  QString comment;
};

// Draws `page` on `printer` as the document "Capture BMP Document"; false
// with its trace when the printer cannot start the document or the page.
bool PrintPage(QPrinter& printer, const PrintedPage& page);

// The picture of a bitmap file; null, with its trace, when it cannot be read.
QImage LoadPicture(const QString& path);

class CImagePreviewDialog : public CSkinnedDialog {
 public:
  CImagePreviewDialog(QWidget* parent, COperatorDialogs& dialogs, const QString& path, const QString& date,
                      const QString& time);

  QPlainTextEdit* title_edit() const { return title_; }
  QPlainTextEdit* comment_edit() const { return comment_; }
  bool has_picture() const { return !picture_.isNull(); }
  // The print dialog through the operator's door, then the page.
  bool Print();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  COperatorDialogs& dialogs_;
  QString file_name_;
  QString date_;
  QString time_;
  QImage picture_;
  QPlainTextEdit* title_ = nullptr;
  QPlainTextEdit* comment_ = nullptr;
};

}  // namespace shell
