// CEventLog: the main window's coloured, scrolling log of what the operator
// did and what the DVRs reported. Alerts are drawn larger than notices, and
// notices larger than events, all bold.
//
// Each line shows its local time (HH:MM:SS) before its text, unless the
// "EventLogTime" value of "Local Setting" is 0; alert lines keep their time
// even then, as an alarm is always read with when it came. The log keeps
// what it shows with full dates, and its context menu saves it to a text
// file ("Save log...").
//
// Threads: user-interface thread only; other threads reach it through the
// main window's blocking hand-over.
#pragma once

#include <QDateTime>
#include <QTextEdit>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QMenu;

namespace shell {

class COperatorDialogs;

class CEventLog : public QTextEdit {
 public:
  // The text limit; past it the log starts afresh rather than growing.
  static constexpr int kTextLimit = 0x100000;

  struct Line {
    QString text;  // without the time
    QColor colour;
    double point_size;
    bool bold;
    QString family;
    QString time;  // "HH:MM:SS" shown before the text; empty when hidden
  };
  // One line as it was added.
  struct Entry {
    QDateTime when;  // local time
    unsigned colour_ref;
    QString text;
  };

  explicit CEventLog(QWidget* parent = nullptr);

  // Appends a line in the colour given (COLORREF) and scrolls it into view.
  void AddLine(unsigned colour_ref, const QString& text);
  void ClearLog();

  // Shows or hides the times of the lines other than alerts.
  void ShowTimes(bool shown);
  bool times_shown() const { return times_shown_; }
  // The stored choice; absent means shown.
  static bool TimesShownSetting();

  // The door for "Save log...": its file chooser and its failure box.
  void SetDialogs(COperatorDialogs* dialogs) { dialogs_ = dialogs; }
  // Asks for a file and writes the log to it; a failure is told in a box.
  void SaveWithDialog();
  // Writes the log, one line per text line, each after its ISO 8601 local
  // time with its offset. Returns the reason of a failure.
  std::optional<QString> SaveTo(const QString& path) const;
  // The menu of the log's context menu.
  std::unique_ptr<QMenu> ContextMenu();

  // The clock of the lines' times (tests set one).
  void SetClock(std::function<QDateTime()> clock) { clock_ = std::move(clock); }

  // The character height of a colour's lines, in points.
  static double PointSizeOf(unsigned colour_ref);
  // What the log shows, one entry per line (for tests).
  std::vector<Line> Lines() const;
  const std::vector<Entry>& entries() const { return entries_; }

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void Render(const Entry& entry);

  std::vector<Entry> entries_;
  bool times_shown_ = true;
  COperatorDialogs* dialogs_ = nullptr;
  std::function<QDateTime()> clock_;
};

}  // namespace shell
