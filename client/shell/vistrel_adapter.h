// CVistrelAdapter: the Vistrel control as the remote modes host it. The
// control is made through its class factory by class identifier, as the
// window's template named it; its events, with their session index, go to
// the viewer of the remote mode that is active (live or search), else nowhere.
//
// Threads: user-interface thread only (the control's and the viewer's).
// Lifetime: the control is a child of the window; the adapter must end
// before the window does.
#pragma once

#include <QObject>

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
  // The viewer the events go to (the active remote mode's), or none.
  void SetEventTarget(vistrel::IVistrelEvents* target) { target_ = target; }
  vistrel::IVistrelEvents* event_target() const { return target_; }

 signals:
  // The control's video-card analysis: (performance, result).
  void VideoCardAnalysed(int performance);

 private:
  // The control's events (user-interface thread).
  void Connect(int nSessionOfNum, int nResult) override;
  void Close(int nSessionOfNum, int nResult) override;
  void AuthenticationResult(int nSessionOfNum, int nResult) override;
  void RecordingFailed(int nSessionOfNum, int nResult) override;

  vistrel::VistrelCtl* control_ = nullptr;  // child of the parent widget
  vistrel::IVistrelEvents* target_ = nullptr;
};

}  // namespace shell
