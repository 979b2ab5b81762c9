// CVistrelAdapter: the Vistrel control as the live viewer calls it. The
// control is made through its class factory by class identifier, as the
// window's template named it; its events are routed to the live viewer's
// slots, including the two that carry no session index.
//
// Threads: user-interface thread only (the control's and the viewer's).
// Lifetime: the control is a child of the window; the adapter must end
// before the window does.
#pragma once

#include <QObject>

#include "client/sessions/live_viewer.h"
#include "client/sessions/vistrel_control.h"

class QWidget;

namespace vistrel {
class VistrelCtl;
}

namespace shell {

class CVistrelAdapter : public QObject, public sessions::IVistrelControl {
  Q_OBJECT

 public:
  // Creates the control as a child of `parent`; control() is null when the
  // factory does not know the class.
  explicit CVistrelAdapter(QWidget* parent);

  vistrel::VistrelCtl* control() const { return control_; }
  QWidget* widget() const;
  void AttachViewer(sessions::CLiveViewer* viewer) { viewer_ = viewer; }
  // Whether the events go to the live viewer (live mode) or nowhere.
  void SetLiveMode(bool live) { live_ = live; }

  int32_t ConnectStreamPort(int nSessionOfNum, const std::string& bstrIPAddress, short nPort,
                            const std::string& bstrUserName, const std::string& bstrPassword,
                            short* pVal) override;
  int32_t DisconnectStreamPort(int nSessionOfNum, short* pVal) override;
  int32_t DisconnectAllStreamPort(short* pVal) override;
  int32_t SetStreamSessionInfo(int nSessionOfNum, const uint8_t* varDstChannel, int nChannelOfNum,
                               int nVideoStreamMode, short* pVal) override;
  int32_t SetAlignChannelMode(int nDstChannel, int nChannelPerRow, short* pVal) override;
  int32_t SetRecordEventType(int nSessionOfNum, const uint8_t* varRecType, short* pVal) override;
  int32_t SetMpeg4Recording(int nSessionOfIndex, int nRecording, short* pVal) override;
  std::string RecordingFailureText(int nSessionOfIndex) override;

 signals:
  // The control's video-card analysis: (performance, result).
  void VideoCardAnalysed(int performance);

 private:
  void OnConnect(int session, int result);
  void OnClose(int session, int result);
  void OnAuthenticationResult(int session, int result);
  void OnRecordingFailed(int session, int result);

  vistrel::VistrelCtl* control_ = nullptr;  // child of the parent widget
  sessions::CLiveViewer* viewer_ = nullptr;
  bool live_ = false;
};

}  // namespace shell
