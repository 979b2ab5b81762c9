// CEventLog: the main window's coloured, scrolling log of what the operator
// did and what the DVRs reported. Alerts are drawn larger than notices, and
// notices larger than events, all bold.
//
// Threads: user-interface thread only; other threads reach it through the
// main window's blocking hand-over.
#pragma once

#include <QTextEdit>

#include <vector>

namespace shell {

class CEventLog : public QTextEdit {
 public:
  // The text limit; past it the log starts afresh rather than growing.
  static constexpr int kTextLimit = 0x100000;

  struct Line {
    QString text;
    QColor colour;
    double point_size;
    bool bold;
    QString family;
  };

  explicit CEventLog(QWidget* parent = nullptr);

  // Appends a line in the colour given (COLORREF) and scrolls it into view.
  void AddLine(unsigned colour_ref, const QString& text);
  void ClearLog();

  // The character height of a colour's lines, in points.
  static double PointSizeOf(unsigned colour_ref);
  // What the log shows, one entry per line (for tests).
  std::vector<Line> Lines() const;
};

}  // namespace shell
