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

std::string EngineControl::RecordingFailureText(int nSessionOfIndex) {
  return engine_.RecordingFailureText(nSessionOfIndex);
}

void EngineControl::Connect(int nSessionOfNum, int nResult) {
  if (viewer_ != nullptr) viewer_->OnControlConnect(nSessionOfNum, nResult);
}

void EngineControl::Close(int, int nResult) {
  if (viewer_ == nullptr) return;
  viewer_->OnControlClose([this](int slot) { return engine_.session(slot).connected(); }, nResult);
}

void EngineControl::AuthenticationResult(int, int nResult) {
  if (viewer_ != nullptr) viewer_->OnControlAuthenticationResult(nResult);
}

void EngineControl::RecordingFailed(int nSessionOfNum, int nResult) {
  if (viewer_ != nullptr) viewer_->OnControlRecordingFailed(nSessionOfNum, nResult);
}

}  // namespace kaviroctl
