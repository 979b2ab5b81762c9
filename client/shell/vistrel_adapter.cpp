#include "client/shell/vistrel_adapter.h"

#include <QWidget>

#include <span>

#include "viewer_control/control/vistrel_ctl.h"
#include "viewer_control/control/vistrel_factory.h"

namespace shell {
namespace {

constexpr int32_t kFail = static_cast<int32_t>(0x80004005u);

int32_t Fail(short* pVal) {
  if (pVal != nullptr) *pVal = 0;
  return kFail;
}

}  // namespace

CVistrelAdapter::CVistrelAdapter(QWidget* parent)
    : control_(vistrel::CreateControl(vistrel::kVistrelClsid, parent)) {
  if (control_ == nullptr) return;
  connect(control_, &vistrel::VistrelCtl::Connect, this, &CVistrelAdapter::OnConnect);
  connect(control_, &vistrel::VistrelCtl::Close, this, &CVistrelAdapter::OnClose);
  connect(control_, &vistrel::VistrelCtl::AuthenticationResult, this, &CVistrelAdapter::OnAuthenticationResult);
  connect(control_, &vistrel::VistrelCtl::RecordingFailed, this, &CVistrelAdapter::OnRecordingFailed);
  connect(control_, &vistrel::VistrelCtl::AnalysisVideoDeviceCard, this,
          [this](int performance, int) { emit VideoCardAnalysed(performance); });
}

QWidget* CVistrelAdapter::widget() const { return control_; }

int32_t CVistrelAdapter::ConnectStreamPort(int nSessionOfNum, const std::string& bstrIPAddress, short nPort,
                                           const std::string& bstrUserName, const std::string& bstrPassword,
                                           short* pVal) {
  if (control_ == nullptr) return Fail(pVal);
  return control_->ConnectStreamPort(nSessionOfNum, QString::fromStdString(bstrIPAddress), nPort,
                                     QString::fromStdString(bstrUserName), QString::fromStdString(bstrPassword),
                                     pVal);
}

int32_t CVistrelAdapter::DisconnectStreamPort(int nSessionOfNum, short* pVal) {
  return control_ != nullptr ? control_->DisconnectStreamPort(nSessionOfNum, pVal) : Fail(pVal);
}

int32_t CVistrelAdapter::DisconnectAllStreamPort(short* pVal) {
  return control_ != nullptr ? control_->DisconnectAllStreamPort(pVal) : Fail(pVal);
}

int32_t CVistrelAdapter::SetStreamSessionInfo(int nSessionOfNum, const uint8_t* varDstChannel, int nChannelOfNum,
                                              int nVideoStreamMode, short* pVal) {
  if (control_ == nullptr || varDstChannel == nullptr) return Fail(pVal);
  return control_->SetStreamSessionInfo(nSessionOfNum, std::span(varDstChannel, vistrel::kDisplaySlots),
                                        nChannelOfNum, nVideoStreamMode, pVal);
}

int32_t CVistrelAdapter::SetAlignChannelMode(int nDstChannel, int nChannelPerRow, short* pVal) {
  return control_ != nullptr ? control_->SetAlignChannelMode(nDstChannel, nChannelPerRow, pVal) : Fail(pVal);
}

int32_t CVistrelAdapter::SetRecordEventType(int nSessionOfNum, const uint8_t* varRecType, short* pVal) {
  if (control_ == nullptr || varRecType == nullptr || nSessionOfNum < 0 || nSessionOfNum >= vistrel::kSessionCount) {
    return Fail(pVal);
  }
  // The array holds one byte per channel of the session, as its map says.
  const int count = control_->engine().channel_list(nSessionOfNum).count;
  return control_->SetRecordEventType(nSessionOfNum, std::span(varRecType, count > 0 ? size_t(count) : 0), pVal);
}

int32_t CVistrelAdapter::SetMpeg4Recording(int nSessionOfIndex, int nRecording, short* pVal) {
  return control_ != nullptr ? control_->SetMpeg4Recording(nSessionOfIndex, nRecording, pVal) : Fail(pVal);
}

std::string CVistrelAdapter::RecordingFailureText(int nSessionOfIndex) {
  return control_ != nullptr ? control_->engine().RecordingFailureText(nSessionOfIndex) : std::string();
}

void CVistrelAdapter::OnConnect(int session, int result) {
  if (live_ && viewer_ != nullptr) viewer_->OnControlConnect(session, result);
}

// The control passes 0, 0 whichever session closed; the viewer asks which
// sessions still hold their stream connection.
void CVistrelAdapter::OnClose(int, int result) {
  if (!live_ || viewer_ == nullptr) return;
  viewer_->OnControlClose([this](int slot) { return control_->engine().session(slot).connected(); },
                          result);
}

void CVistrelAdapter::OnAuthenticationResult(int, int result) {
  if (live_ && viewer_ != nullptr) viewer_->OnControlAuthenticationResult(result);
}

void CVistrelAdapter::OnRecordingFailed(int session, int result) {
  if (live_ && viewer_ != nullptr) viewer_->OnControlRecordingFailed(session, result);
}

}  // namespace shell
