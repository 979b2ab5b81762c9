#include "client/shell/event_log.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QMenu>
#include <QSaveFile>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

#include "client/shell/operator_dialogs.h"
#include "client/shell/settings_keys.h"
#include "client/shell/skinned_widgets.h"
#include "platform/registry.h"

namespace shell {
namespace {

constexpr unsigned kAlertColourRef = 0x0000FF;
// Marks the time fragment of a line, so that the line's text reads without it.
constexpr int kTimeProperty = QTextFormat::UserProperty + 1;
// The times are dimmer than the texts they stand before.
const QColor kTimeColour(150, 170, 195);

// "2026-12-09T22:41:03+01:00": the local time with its offset from UTC.
QString IsoLocal(const QDateTime& when) {
  const int offset = when.offsetFromUtc();
  const int minutes = (offset < 0 ? -offset : offset) / 60;
  return when.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + (offset < 0 ? '-' : '+') +
         QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QChar('0')).arg(minutes % 60, 2, 10, QChar('0'));
}

}  // namespace

CEventLog::CEventLog(QWidget* parent) : QTextEdit(parent), times_shown_(TimesShownSetting()) {
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

bool CEventLog::TimesShownSetting() {
  const auto key = platform::RegistryKey::Open(kLocalSettingKey);
  if (!key) return true;
  return key->ReadNumber(kEventLogTimeValue).value_or(1) != 0;
}

void CEventLog::AddLine(unsigned colour_ref, const QString& text) {
  if (document()->characterCount() + text.size() > kTextLimit) ClearLog();
  QString line = text;
  line.replace("\r\n", "\n");
  line.replace('\r', '\n');
  entries_.push_back({clock_ ? clock_() : QDateTime::currentDateTime(), colour_ref, line});
  Render(entries_.back());
  ensureCursorVisible();
  verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void CEventLog::Render(const Entry& entry) {
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  QTextCharFormat format;
  format.setFontWeight(QFont::Bold);
  format.setFontFamilies({"MS Sans Serif", "DejaVu Sans"});
  format.setFontPointSize(PointSizeOf(entry.colour_ref));
  format.setForeground(FromColorRef(entry.colour_ref));
  // Each line ends with a line break, so the next one starts on its own line.
  if (!document()->isEmpty()) cursor.insertBlock();
  if (times_shown_ || entry.colour_ref == kAlertColourRef) {
    QTextCharFormat time = format;
    time.setForeground(kTimeColour);
    time.setProperty(kTimeProperty, true);
    cursor.insertText(entry.when.toString(QStringLiteral("HH:mm:ss")) + ' ', time);
  }
  cursor.setCharFormat(format);
  cursor.insertText(entry.text, format);
  setTextCursor(cursor);
}

void CEventLog::ShowTimes(bool shown) {
  if (shown == times_shown_) return;
  times_shown_ = shown;
  // Drawn afresh from what was added, so every line follows the choice.
  clear();
  for (const Entry& entry : entries_) Render(entry);
  verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void CEventLog::ClearLog() {
  selectAll();
  clear();
  entries_.clear();
}

std::optional<QString> CEventLog::SaveTo(const QString& path) const {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return file.errorString();
  QByteArray text;
  for (const Entry& entry : entries_) {
    const QString stamp = IsoLocal(entry.when);
    // The later lines of a text of several lines carry its time too, so that
    // every line of the file can be read, sorted or searched on its own.
    for (const QString& part : entry.text.split('\n')) text += (stamp + ' ' + part + '\n').toUtf8();
  }
  if (file.write(text) != text.size()) return file.errorString();
  if (!file.commit()) return file.errorString();
  return std::nullopt;
}

void CEventLog::SaveWithDialog() {
  if (dialogs_ == nullptr) return;
  const QString initial =
      QDir::home().filePath(QStringLiteral("kaviro-log-%1.txt")
                                .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
  const auto path =
      dialogs_->ChooseSaveFile(window(), "Save log", "Text Files (*.txt);;All Files (*)", initial.toStdString());
  if (!path) return;
  if (const auto failure = SaveTo(QString::fromStdString(*path))) {
    dialogs_->ShowMessageBox(window(), "The event log could not be saved to " + *path + ".\n" + failure->toStdString(),
                             BoxIcon::kError);
  }
}

std::unique_ptr<QMenu> CEventLog::ContextMenu() {
  auto menu = std::make_unique<QMenu>(this);
  QAction* save = menu->addAction(QStringLiteral("Save log..."));
  save->setEnabled(dialogs_ != nullptr && !entries_.empty());
  connect(save, &QAction::triggered, this, [this] { SaveWithDialog(); });
  return menu;
}

void CEventLog::contextMenuEvent(QContextMenuEvent* event) { ContextMenu()->exec(event->globalPos()); }

std::vector<CEventLog::Line> CEventLog::Lines() const {
  std::vector<Line> lines;
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
    Line line{{}, {}, 0.0, false, {}, {}};
    bool text_seen = false;
    for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
      const QTextCharFormat format = fragment.fragment().charFormat();
      if (format.boolProperty(kTimeProperty)) {
        line.time = fragment.fragment().text().trimmed();
        continue;
      }
      line.text += fragment.fragment().text();
      if (text_seen) continue;
      text_seen = true;
      const QStringList families = format.fontFamilies().toStringList();
      line.colour = format.foreground().color();
      line.point_size = format.fontPointSize();
      line.bold = format.fontWeight() >= QFont::Bold;
      line.family = families.isEmpty() ? QString() : families.front();
    }
    if (line.text.isEmpty()) continue;
    lines.push_back(line);
  }
  return lines;
}

}  // namespace shell
