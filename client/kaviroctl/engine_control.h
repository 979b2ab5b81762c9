// The viewer engine as the live viewer sees the control: its seven methods,
// and its events routed to the live viewer's slots.
//
// Threads: everything on the engine's owner thread, which is also the live
// viewer's. The engine's Close and AuthenticationResult carry no session
// index; the slot they concern is worked out here (see the .cpp).
#pragma once

#include "client/sessions/live_viewer.h"
#include "client/sessions/vistrel_control.h"
#include "viewer_control/engine/vistrel_engine.h"

namespace kaviroctl {

class EngineControl : public sessions::IVistrelControl, public vistrel::IVistrelEvents {
 public:
  explicit EngineControl(vistrel::VistrelEngine& engine);

  void AttachViewer(sessions::CLiveViewer* viewer) { viewer_ = viewer; }

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

  void Connect(int nSessionOfNum, int nResult) override;
  void Close(int nSessionOfNum, int nResult) override;
  void AuthenticationResult(int nSessionOfNum, int nResult) override;
  void RecordingFailed(int nSessionOfNum, int nResult) override;

 private:
  vistrel::VistrelEngine& engine_;
  sessions::CLiveViewer* viewer_ = nullptr;
};

}  // namespace kaviroctl
