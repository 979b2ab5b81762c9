// The wait indicator: a small captionless window with a moving progress bar
// that the sessions show while a request is under way. It closes when hidden
// or, at the latest, after 3,000 ticks of 10 ms (30 seconds).
//
// Threads: Show and Hide may be called from any thread; the window lives on
// the user-interface thread and they reach it by a blocking hand-over.
#pragma once

#include <QDialog>
#include <QPointer>

class QLabel;
class QProgressBar;
class QTimer;

namespace shell {

class CWaitDialog : public QDialog {
 public:
  static constexpr int kTickMs = 10;
  static constexpr int kTickLimit = 3000;

  // Without `own_timer` the window ticks only when Tick is called (tests).
  explicit CWaitDialog(QWidget* parent, bool own_timer = true);
  void SetText(const QString& text) { text_ = text; }
  // One timer tick: advances the bar and closes the window at the limit.
  void Tick();
  int ticks() const { return ticks_; }
  int bar_value() const;
  QString shown_text() const;

 private:
  QLabel* label_;
  QProgressBar* bar_;
  QTimer* timer_;
  QString text_ = "Waiting.....";
  int ticks_ = 0;
};

class CWaitIndicator {
 public:
  explicit CWaitIndicator(QWidget* anchor) : anchor_(anchor) {}

  void Show(int text_id);
  void Hide();
  // Tests move the windows' time forward themselves (user-interface thread).
  void DriveTicksByHand() { ticks_by_hand_ = true; }
  // The open window, or null (user-interface thread).
  CWaitDialog* dialog() const { return dialog_.data(); }

 private:
  QWidget* anchor_;
  QPointer<CWaitDialog> dialog_;  // user-interface thread only
  bool ticks_by_hand_ = false;    // user-interface thread only
};

}  // namespace shell
