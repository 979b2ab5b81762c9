#include "flash_tool/lenk_view.h"

#include <QKeyEvent>
#include <QScrollBar>
#include <QTextCursor>

#include "flash_tool/lenk_view_logic.h"

namespace tarvek {

LenkView::LenkView(QWidget* parent) : QPlainTextEdit(parent) {
  // The operator types to the port, not into the text.
  setReadOnly(true);
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  setFocusPolicy(Qt::StrongFocus);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  QFont font("MS Gothic");
  font.setStyleHint(QFont::Monospace);
  setFont(font);
}

void LenkView::Insert(const std::string& text) {
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
  verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void LenkView::SetTextColor(const QColor& color) {
  QPalette palette = this->palette();
  palette.setColor(QPalette::Text, color);
  setPalette(palette);
}

void LenkView::keyPressEvent(QKeyEvent* event) {
  if (!logic_ || (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
    QPlainTextEdit::keyPressEvent(event);  // accelerators and selection copy
    return;
  }
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    logic_->KeyTyped("\n");
    return;
  }
  const QByteArray bytes = event->text().toLatin1();
  if (bytes.isEmpty()) {
    QPlainTextEdit::keyPressEvent(event);  // arrows and paging scroll the text
    return;
  }
  logic_->KeyTyped(std::string(bytes.constData(), static_cast<size_t>(bytes.size())));
}

}  // namespace tarvek
