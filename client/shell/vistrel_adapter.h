// CVistrelAdapter: the Vistrel control as the live mode hosts it. The control
// is made through its class factory by class identifier, as the window's
// template named it; its events, with their session index, go to the live
// viewer while the live mode is active.
//
// Threads: user-interface thread only (the control's and the viewer's).
// Lifetime: the control is a child of the window; the adapter must end
// before the window does.
#pragma once

#include <QObject>

#include "client/sessions/live_viewer.h"
#include "viewer_control/engine/vistrel_control.h"
#include "viewer_control/engine/vistrel_events.h"

class QWidget;

namespace vistrel {
class VistrelCtl;
}

namespace shell {

class CVistrelAdapter : public QObject, private vistrel::IVistrelEvents {
  Q_OBJECT

 public:
  // Creates the control as a child of `parent`; control() is null when the
  // factory does not know the class.
  explicit CVistrelAdapter(QWidget* parent);
  ~CVistrelAdapter() override;

  vistrel::VistrelCtl* control() const { return control_; }
  // The control as the viewers call it; null without a control.
  vistrel::IVistrelControl* methods() const;
  QWidget* widget() const;
  void AttachViewer(sessions::CLiveViewer* viewer) { viewer_ = viewer; }
  // Whether the events go to the live viewer (live mode) or nowhere.
  void SetLiveMode(bool live) { live_ = live; }

 signals:
  // The control's video-card analysis: (performance, result).
  void VideoCardAnalysed(int performance);

 private:
  // The control's events (user-interface thread).
  void Connect(int nSessionOfNum, int nResult) override;
  void Close(int nSessionOfNum, int nResult) override;
  void AuthenticationResult(int nSessionOfNum, int nResult) override;
  void RecordingFailed(int nSessionOfNum, int nResult) override;
  sessions::CLiveViewer* LiveViewer() const { return live_ ? viewer_ : nullptr; }

  vistrel::VistrelCtl* control_ = nullptr;  // child of the parent widget
  sessions::CLiveViewer* viewer_ = nullptr;
  bool live_ = false;
};

}  // namespace shell
