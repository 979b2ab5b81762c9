// The start-up splash and the About box.
//
// Threads: user-interface thread only.
#pragma once

#include <QObject>
#include <QWidget>

#include "client/shell/skinned_widgets.h"

class QTimer;

namespace shell {

// A borderless picture in the middle of the screen for three seconds, or
// until the first mouse press or key press anywhere in the program.
class CSplashScreen : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kShowMs = 3000;

  CSplashScreen();
  ~CSplashScreen() override;
  void Start();
  // Closes the splash (the timer, or input).
  void Finish();
  bool finished() const { return finished_; }

 signals:
  void Finished();

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QTimer* timer_;
  bool finished_ = false;
};

class CAboutBox : public CSkinnedDialog {
 public:
  explicit CAboutBox(QWidget* parent);
  // "Ver. <product version> (<private build>)", empty when either is missing.
  static QString VersionLine();
};

}  // namespace shell
