#include "client/shell/image_preview_dialog.h"

#include <QFileInfo>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

#include "client/shell/operator_dialogs.h"
#include "client/shell/skin_artwork.h"
#include "platform/trace.h"

namespace shell {
namespace {

constexpr QRect kPage(QPoint(104, 125), QPoint(529, 705));
constexpr QRect kPicture(QPoint(105, 258), QPoint(528, 573));
constexpr int kTitleLine = 187;
constexpr int kCommentLine = 645;

QFont SansSerif(double points, int weight) {
  QFont font("MS Sans Serif");
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(points);
  font.setWeight(static_cast<QFont::Weight>(weight));
  return font;
}

// A point size on the printer: scaled by its vertical pixels per inch / 72.
QFont PrinterFont(const QPrinter& printer, double points, int weight) {
  QFont font = SansSerif(points, weight);
  font.setPixelSize(std::max(1, static_cast<int>(points * printer.logicalDpiY() / 72.0)));
  return font;
}

}  // namespace

QImage LoadPicture(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    Trace("[PICTURE] File open error !!!");
    return {};
  }
  const QByteArray bytes = file.readAll();
  if (bytes.isEmpty() && file.size() > 0) {
    Trace("[PICTURE] Can not allocate enough memory !!!");
    return {};
  }
  QImage image;
  if (!image.loadFromData(bytes)) {
    Trace("[PICTURE] IPicture interface is not supported !!!");
    return {};
  }
  return image;
}

bool PrintPage(QPrinter& printer, const PrintedPage& page) {
  printer.setDocName("Capture BMP Document");
  QPainter painter;
  if (!painter.begin(&printer)) {
    Trace("[] Printer would not initalize !!!");
    return false;
  }
  // W and H: one hundredth of the page's width and height in printer pixels.
  const QRect area = printer.pageLayout().paintRectPixels(printer.resolution());
  const int w = area.width() / 100;
  const int h = area.height() / 100;
  if (w <= 0 || h <= 0) {
    Trace("[] Could not start page !!!");
    printer.abort();
    return false;
  }
  if (!page.picture.isNull()) painter.drawImage(QRect(11 * w, 30 * h + 100, 80 * w, 40 * h), page.picture);
  painter.setFont(PrinterFont(printer, 15, 200));
  painter.drawText(QPoint(40 * w, 27 * h + 100), page.file_name);
  painter.drawText(QPoint(15 * w, 71 * h + 100), page.date);
  painter.drawText(QPoint(65 * w, 71 * h + 100), page.time);
  painter.setFont(PrinterFont(printer, 18, 700));
  painter.drawText(QRect(QPoint(10 * w, 10 * h + 300), QPoint(90 * w, 20 * h + 300)), Qt::TextWordWrap, page.title);
  painter.drawText(QRect(QPoint(10 * w, 82 * h), QPoint(90 * w, 92 * h)), Qt::TextWordWrap, page.comment);
  return painter.end();
}

CImagePreviewDialog::CImagePreviewDialog(QWidget* parent, COperatorDialogs& dialogs, const QString& path,
                                         const QString& date, const QString& time)
    : CSkinnedDialog(parent, skin::res::kPreviewBackground, QSize(634, 780), "Preview"),
      dialogs_(dialogs),
      file_name_(QFileInfo(path).fileName()),
      date_(date),
      time_(time),
      picture_(LoadPicture(path)) {
  const QFont edit_font = SansSerif(11.5, QFont::Bold);  // 230 twips
  title_ = new QPlainTextEdit(this);
  title_->setGeometry(105, 128, 422, 58);
  comment_ = new QPlainTextEdit(this);
  comment_->setGeometry(105, 646, 422, 58);
  for (QPlainTextEdit* edit : {title_, comment_}) {
    edit->setFont(edit_font);
    edit->setFrameShape(QFrame::NoFrame);
    edit->setStyleSheet("background: white; color: black;");
  }
  const char* style =
      "QPushButton { background: #232b36; color: #e4eaf1; border: 1px solid #3a4657; border-radius: 5px;"
      " font-weight: bold; } QPushButton:hover { border-color: #3db2ff; background: #1f364d; }";
  auto* print = new QPushButton("Print", this);
  print->setGeometry(394, 724, 100, 32);
  print->setStyleSheet(style);
  auto* close = new QPushButton("Close", this);
  close->setGeometry(504, 724, 100, 32);
  close->setStyleSheet(style);
  connect(print, &QPushButton::clicked, this, [this] { Print(); });
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

bool CImagePreviewDialog::Print() {
  QPrinter printer(QPrinter::HighResolution);
  QPrintDialog dialog(&printer, this);
  if (dialogs_.RunModal(dialog) != QDialog::Accepted) return false;
  if (!printer.isValid()) {
    Trace("[] Buy a Printer !!!");
    return false;
  }
  return PrintPage(printer, {picture_, "File Name : " + file_name_, "File Date : " + date_, "File Time : " + time_,
                             title_->toPlainText(), comment_->toPlainText()});
}

void CImagePreviewDialog::paintEvent(QPaintEvent* event) {
  CSkinnedDialog::paintEvent(event);
  QPainter painter(this);
  painter.fillRect(kPage, Qt::white);
  painter.setPen(Qt::black);
  painter.drawRect(kPage);
  painter.drawLine(kPage.left(), kTitleLine, kPage.right(), kTitleLine);
  painter.drawLine(kPage.left(), kCommentLine, kPage.right(), kCommentLine);
  if (!picture_.isNull()) painter.drawImage(kPicture, picture_);
  painter.setFont(SansSerif(9, QFont::Normal));
  painter.drawText(QRect(110, 200, 412, 50), Qt::AlignLeft | Qt::AlignVCenter, "File Name : " + file_name_);
  painter.drawText(QRect(110, 585, 200, 50), Qt::AlignLeft | Qt::AlignVCenter, "File Date : " + date_);
  painter.drawText(QRect(320, 585, 200, 50), Qt::AlignLeft | Qt::AlignVCenter, "File Time : " + time_);
}

}  // namespace shell
