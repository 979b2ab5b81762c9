#include "client/shell/skinned_widgets.h"

#include <QPainter>
#include <QScreen>

#include "client/shell/screen_placement.h"
#include "client/shell/skin_artwork.h"

namespace shell {

QColor FromColorRef(unsigned colour) {
  return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                static_cast<int>((colour >> 16) & 0xFF));
}

CColourLabel::CColourLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent), colour_(palette().color(QPalette::Button)) {
  setAutoFillBackground(true);
  Paint();
}

void CColourLabel::SetColour(unsigned colour_ref) {
  colour_ = FromColorRef(colour_ref);
  Paint();
  repaint();
}

void CColourLabel::Paint() {
  QPalette colours = palette();
  colours.setColor(QPalette::WindowText, Qt::black);
  colours.setColor(QPalette::Window, colour_);
  setPalette(colours);
  // A skinned parent's style sheet colours every label; this one keeps its own.
  setStyleSheet(QString("QLabel { color: black; background: %1; }").arg(colour_.name()));
}

const char* SkinStyleSheet() {
  return "QLineEdit, QComboBox, QSpinBox { background: #0d1117; color: #e4eaf1; border: 1px solid #33404f;"
         " border-radius: 3px; padding: 1px 4px; selection-background-color: #1d70b4; }"
         "QLineEdit:disabled, QComboBox:disabled { color: #5a6472; background: #141920; border-color: #252d37; }"
         "QLineEdit:focus, QComboBox:focus { border-color: #3db2ff; }"
         "QComboBox QAbstractItemView { background: #0d1117; color: #e4eaf1; selection-background-color: #1d70b4; }"
         "QTreeWidget, QListWidget, QTableWidget { background: #0d1117; color: #e4eaf1; border: 1px solid #33404f;"
         " alternate-background-color: #111821; selection-background-color: #1d70b4; }"
         "QTreeWidget:disabled { color: #5a6472; background: #12161c; }"
         "QHeaderView::section { background: #1f2732; color: #aab6c6; border: 0; border-right: 1px solid #2b3543;"
         " padding: 3px; font-weight: bold; }"
         "QCheckBox, QLabel { color: #c9d3df; }"
         "QProgressBar { background: #0d1117; border: 1px solid #33404f; border-radius: 3px; }"
         "QProgressBar::chunk { background: #3db2ff; }"
         "QToolTip { background: #1f2732; color: #e4eaf1; border: 1px solid #3db2ff; }";
}

CSkinnedDialog::CSkinnedDialog(QWidget* parent, int background_id, QSize size, const QString& title)
    : QDialog(parent), background_(skin::Pixmap(background_id)) {
  setWindowTitle(title);
  setFixedSize(size);
  // The picture is the whole look: no erasing underneath it.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setStyleSheet(SkinStyleSheet());
}

void CSkinnedDialog::SkinChild(QWidget* child) { child->setStyleSheet(SkinStyleSheet()); }

QLabel* CSkinnedDialog::AddCaption(const QString& text, int x, int y, int width) {
  auto* label = new QLabel(text, this);
  label->setStyleSheet("color: #8b97a8; font-weight: bold; font-size: 11px;");
  label->setGeometry(x, y, width, 18);
  return label;
}

void CSkinnedDialog::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (background_.isNull()) {
    painter.fillRect(rect(), QColor(0x16, 0x1b, 0x22));
    return;
  }
  painter.drawPixmap(0, 0, background_);
}

void CSkinnedDialog::showEvent(QShowEvent* event) {
  QWidget* anchor = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
  const QRect area =
      anchor != nullptr ? anchor->frameGeometry() : (screen() != nullptr ? screen()->availableGeometry() : QRect());
  if (area.isValid()) {
    QPoint place = area.center() - QPoint(width() / 2, height() / 2);
    if (const QScreen* holder = ScreenOf(anchor != nullptr ? *anchor : *this)) {
      place = ClampedInto(holder->availableGeometry(), size(), place);
    }
    move(place);
  }
  QDialog::showEvent(event);
}

}  // namespace shell
