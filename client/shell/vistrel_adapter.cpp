#include "client/shell/vistrel_adapter.h"

#include <QWidget>

#include "viewer_control/control/vistrel_ctl.h"
#include "viewer_control/control/vistrel_factory.h"

namespace shell {

CVistrelAdapter::CVistrelAdapter(QWidget* parent) : control_(vistrel::CreateControl(vistrel::kVistrelClsid, parent)) {
  if (control_ == nullptr) return;
  control_->SetEventSink(this);
  connect(control_, &vistrel::VistrelCtl::AnalysisVideoDeviceCard, this,
          [this](int performance, int) { emit VideoCardAnalysed(performance); });
}

CVistrelAdapter::~CVistrelAdapter() {
  // The control outlives the adapter (it is the window's child).
  if (control_ != nullptr) control_->SetEventSink(nullptr);
}

vistrel::IVistrelControl* CVistrelAdapter::methods() const { return control_; }

QWidget* CVistrelAdapter::widget() const { return control_; }

void CVistrelAdapter::Connect(int nSessionOfNum, int nResult) {
  if (target_ != nullptr) target_->Connect(nSessionOfNum, nResult);
}

void CVistrelAdapter::Close(int nSessionOfNum, int nResult) {
  if (target_ != nullptr) target_->Close(nSessionOfNum, nResult);
}

void CVistrelAdapter::AuthenticationResult(int nSessionOfNum, int nResult) {
  if (target_ != nullptr) target_->AuthenticationResult(nSessionOfNum, nResult);
}

void CVistrelAdapter::RecordingFailed(int nSessionOfNum, int nResult) {
  if (target_ != nullptr) target_->RecordingFailed(nSessionOfNum, nResult);
}

}  // namespace shell
