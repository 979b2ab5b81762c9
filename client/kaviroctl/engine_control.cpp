#include "client/kaviroctl/engine_control.h"

#include <array>
#include <span>

namespace kaviroctl {

EngineControl::EngineControl(vistrel::VistrelEngine& engine) : engine_(engine) {}

int32_t EngineControl::ConnectStreamPort(int nSessionOfNum, const std::string& bstrIPAddress,
                                         short nPort, const std::string& bstrUserName,
                                         const std::string& bstrPassword, short* pVal) {
  return engine_.ConnectStreamPort(nSessionOfNum, bstrIPAddress, nPort, bstrUserName, bstrPassword,
                                   pVal);
}

int32_t EngineControl::DisconnectStreamPort(int nSessionOfNum, short* pVal) {
  return engine_.DisconnectStreamPort(nSessionOfNum, pVal);
}

int32_t EngineControl::DisconnectAllStreamPort(short* pVal) {
  return engine_.DisconnectAllStreamPort(pVal);
}

int32_t EngineControl::SetStreamSessionInfo(int nSessionOfNum, const uint8_t* varDstChannel,
                                            int nChannelOfNum, int nVideoStreamMode, short* pVal) {
  return engine_.SetStreamSessionInfo(nSessionOfNum, std::span(varDstChannel, vistrel::kDisplaySlots),
                                      nChannelOfNum, nVideoStreamMode, pVal);
}

int32_t EngineControl::SetAlignChannelMode(int nDstChannel, int nChannelPerRow, short* pVal) {
  return engine_.SetAlignChannelMode(nDstChannel, nChannelPerRow, pVal);
}

int32_t EngineControl::SetRecordEventType(int nSessionOfNum, const uint8_t* varRecType, short* pVal) {
  const int count = engine_.channel_list(nSessionOfNum).count;
  const size_t bytes = count > 0 ? static_cast<size_t>(count) : 0;
  return engine_.SetRecordEventType(nSessionOfNum, std::span(varRecType, bytes), pVal);
}

int32_t EngineControl::SetMpeg4Recording(int nSessionOfIndex, int nRecording, short* pVal) {
  return engine_.SetMpeg4Recording(nSessionOfIndex, nRecording, pVal);
}

void EngineControl::Connect(int nSessionOfNum, int nResult) {
  if (viewer_ != nullptr) viewer_->OnControlConnect(nSessionOfNum, nResult);
}

// The control passes 0, 0 whichever session closed; the slots whose stream
// the viewer still counts as connected but whose receive thread has lost its
// connection are the ones it concerns.
void EngineControl::Close(int, int nResult) {
  if (viewer_ == nullptr) return;
  for (int slot = 0; slot < vistrel::kSessionCount; ++slot) {
    if (viewer_->session(slot).stream_connected() && !engine_.session(slot).connected()) {
      viewer_->OnControlClose(slot, nResult);
    }
  }
}

// Also without an index: it goes to the slot that connected its stream and
// has not been authenticated yet.
void EngineControl::AuthenticationResult(int, int nResult) {
  if (viewer_ != nullptr) viewer_->OnControlAuthenticationResult(viewer_->NextAwaitingAuthentication(), nResult);
}

}  // namespace kaviroctl
