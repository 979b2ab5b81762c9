#include "client/shell/event_log.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

#include "client/shell/skinned_widgets.h"

namespace shell {

CEventLog::CEventLog(QWidget* parent) : QTextEdit(parent) {
  setReadOnly(true);
  setUndoRedoEnabled(false);
  setFrameShape(QFrame::NoFrame);
  setFocusPolicy(Qt::NoFocus);
  setTextInteractionFlags(Qt::NoTextInteraction);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // A deep navy rather than the old bright blue: red, yellow and white lines
  // all stay legible on it in a dimmed control room.
  setStyleSheet(
      "QTextEdit { background: #0a1b2e; border: 1px solid #22405f; border-radius: 4px; }"
      "QScrollBar:vertical { background: #0a1b2e; width: 8px; }"
      "QScrollBar::handle:vertical { background: #2c5478; border-radius: 4px; min-height: 20px; }"
      "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }");
  document()->setDocumentMargin(4);
}

double CEventLog::PointSizeOf(unsigned colour_ref) {
  if (colour_ref == 0x0000FF) return 9.0;
  if (colour_ref == 0x00FFFF) return 8.5;
  return 8.0;
}

void CEventLog::AddLine(unsigned colour_ref, const QString& text) {
  if (document()->characterCount() + text.size() > kTextLimit) ClearLog();
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  QTextCharFormat format;
  format.setFontWeight(QFont::Bold);
  format.setFontFamilies({"MS Sans Serif", "DejaVu Sans"});
  format.setFontPointSize(PointSizeOf(colour_ref));
  format.setForeground(FromColorRef(colour_ref));
  // Each line ends with a line break, so the next one starts on its own line.
  QString line = text;
  line.replace("\r\n", "\n");
  line.replace('\r', '\n');
  if (!document()->isEmpty()) cursor.insertBlock();
  cursor.setCharFormat(format);
  cursor.insertText(line, format);
  setTextCursor(cursor);
  ensureCursorVisible();
  verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void CEventLog::ClearLog() {
  selectAll();
  clear();
}

std::vector<CEventLog::Line> CEventLog::Lines() const {
  std::vector<Line> lines;
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
    if (block.text().isEmpty()) continue;
    const QTextCharFormat format = block.begin().fragment().charFormat();
    const QStringList families = format.fontFamilies().toStringList();
    lines.push_back({block.text(), format.foreground().color(), format.fontPointSize(),
                     format.fontWeight() >= QFont::Bold, families.isEmpty() ? QString() : families.front()});
  }
  return lines;
}

}  // namespace shell
