#include "viewer_control/control/vistrel_ctl.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMetaObject>
#include <QMouseEvent>

#include "platform/result_codes.h"
#include "viewer_control/control/adjust_color_dialog.h"
#include "viewer_control/control/channel_setting_dialog.h"
#include "viewer_control/control/video_view.h"

namespace vistrel {

namespace {

void SetOut(short* pVal, short value) {
  if (pVal != nullptr) *pVal = value;
}

// A typed result as automation hosts see it.
int32_t Automation(ControlResult result, short* pVal) {
  switch (result) {
    case ControlResult::kDone:
      SetOut(pVal, 1);
      return S_OK;
    case ControlResult::kNotConnected:
      return S_OK;
    case ControlResult::kRefused:
    case ControlResult::kFailed:
      break;
  }
  SetOut(pVal, 0);
  return E_FAIL;
}

}  // namespace

// The engine's events, handed to the project's host with their session index
// and then emitted as the automation signals, which pass the index of Close
// and AuthenticationResult as 0.
class EventRelay : public IVistrelEvents {
 public:
  explicit EventRelay(VistrelCtl* control) : control_(control) {}
  void Connect(int nSessionOfNum, int nResult) override {
    if (control_->host_ != nullptr) control_->host_->Connect(nSessionOfNum, nResult);
    emit control_->Connect(nSessionOfNum, nResult);
  }
  void Close(int nSessionOfNum, int nResult) override {
    if (control_->host_ != nullptr) control_->host_->Close(nSessionOfNum, nResult);
    emit control_->Close(0, 0);
  }
  void AuthenticationResult(int nSessionOfNum, int nResult) override {
    if (control_->host_ != nullptr) control_->host_->AuthenticationResult(nSessionOfNum, nResult);
    emit control_->AuthenticationResult(0, 0);
  }
  void RecordingFailed(int nSessionOfNum, int nResult) override {
    if (control_->host_ != nullptr) control_->host_->RecordingFailed(nSessionOfNum, nResult);
    emit control_->RecordingFailed(nSessionOfNum, nResult);
  }

 private:
  VistrelCtl* control_;
};

VistrelCtl::VistrelCtl(QWidget* parent) : QWidget(parent), relay_(std::make_unique<EventRelay>(this)) {
  view_ = CreateVideoView(this, &display_mode_);
  QWidget* window = view_->widget();
  window->move(0, 0);
  window->installEventFilter(this);
  window->setMouseTracking(false);
  resize(704, 480);
  engine_ = std::make_unique<VistrelEngine>(relay_.get(), view_);
  PushLayout();
  // The host connects to the signals after construction, so the analysis's
  // result is announced from the event loop, before any picture can arrive.
  QMetaObject::invokeMethod(
      this, [this] { emit AnalysisVideoDeviceCard(display_mode_, 0); }, Qt::QueuedConnection);
}

VistrelCtl::~VistrelCtl() {
  // Receive threads still running stop here, before the video window goes.
  engine_.reset();
}

QWidget* VistrelCtl::video_window() const { return view_->widget(); }

QImage VistrelCtl::CaptureVideo() { return view_->Capture(); }

void VistrelCtl::PushLayout() {
  LayoutState layout;
  layout.first_slot = engine_->first_slot();
  layout.per_row = engine_->channels_per_row();
  layout.selected = engine_->selected_cell();
  layout.stream_mode = engine_->video_stream_mode();
  for (int slot = 0; slot < kDisplaySlots; ++slot) layout.record_types[slot] = engine_->record_event_type(slot);
  for (int index = 0; index < kSessionCount; ++index) {
    if (!engine_->session(index).recording()) continue;
    const ChannelList& channels = engine_->channel_list(index);
    for (int k = 0; k < channels.count && k < kDisplaySlots; ++k) {
      if (channels.entries[k] < kDisplaySlots) layout.recording[channels.entries[k]] = true;
    }
  }
  view_->SetLayout(layout);
}

ControlResult VistrelCtl::ConnectStreamPort(int nSessionOfNum, const std::string& bstrIPAddress, uint16_t nPort,
                                            const std::string& bstrUserName, const std::string& bstrPassword) {
  return engine_->ConnectStreamPort(nSessionOfNum, bstrIPAddress, nPort, bstrUserName, bstrPassword);
}

ControlResult VistrelCtl::DisconnectStreamPort(int nSessionOfNum) {
  const ControlResult result = engine_->DisconnectStreamPort(nSessionOfNum);
  PushLayout();  // the caption colours of the session's slots were reset
  return result;
}

ControlResult VistrelCtl::DisconnectAllStreamPort() {
  const ControlResult result = engine_->DisconnectAllStreamPort();
  PushLayout();
  return result;
}

ControlResult VistrelCtl::SetStreamSessionInfo(int nSessionOfNum, std::span<const uint8_t> varDstChannel,
                                               int nChannelOfNum, int nVideoStreamMode) {
  const ControlResult result =
      engine_->SetStreamSessionInfo(nSessionOfNum, varDstChannel, nChannelOfNum, nVideoStreamMode);
  if (result == ControlResult::kDone) PushLayout();
  return result;
}

ControlResult VistrelCtl::SetAlignChannelMode(int nDstChannel, int nChannelPerRow) {
  const ControlResult result = engine_->SetAlignChannelMode(nDstChannel, nChannelPerRow);
  if (result == ControlResult::kDone) PushLayout();
  return result;
}

ControlResult VistrelCtl::SetRecordEventType(int nSessionOfNum, std::span<const uint8_t> varRecType) {
  const ControlResult result = engine_->SetRecordEventType(nSessionOfNum, varRecType);
  if (result == ControlResult::kDone) PushLayout();
  return result;
}

ControlResult VistrelCtl::SetMpeg4Recording(int nSessionOfIndex, int nRecording) {
  const ControlResult result = engine_->SetMpeg4Recording(nSessionOfIndex, nRecording);
  // The REC marks change with it; the pictures that follow only redraw them.
  PushLayout();
  return result;
}

std::string VistrelCtl::RecordingFailureText(int nSessionOfIndex) {
  return engine_->RecordingFailureText(nSessionOfIndex);
}

int32_t VistrelCtl::ConnectStreamPort(int nSessionOfNum, const QString& bstrIPAddress, short nPort,
                                      const QString& bstrUserName, const QString& bstrPassword, short* pVal) {
  return Automation(
      ConnectStreamPort(nSessionOfNum, bstrIPAddress.toLocal8Bit().toStdString(), static_cast<uint16_t>(nPort),
                        bstrUserName.toLocal8Bit().toStdString(), bstrPassword.toLocal8Bit().toStdString()),
      pVal);
}

int32_t VistrelCtl::DisconnectStreamPort(int nSessionOfNum, short* pVal) {
  const ControlResult result = DisconnectStreamPort(nSessionOfNum);
  if (result != ControlResult::kFailed) return Automation(result, pVal);
  // A disconnect that failed still released the session's slots.
  SetOut(pVal, 0);
  return S_OK;
}

int32_t VistrelCtl::DisconnectAllStreamPort(short* pVal) {
  (void)pVal;  // not written
  return DisconnectAllStreamPort() == ControlResult::kDone ? S_OK : E_FAIL;
}

int32_t VistrelCtl::SetStreamSessionInfo(int nSessionOfNum, std::span<const uint8_t> varDstChannel, int nChannelOfNum,
                                         int nVideoStreamMode, short* pVal) {
  return Automation(SetStreamSessionInfo(nSessionOfNum, varDstChannel, nChannelOfNum, nVideoStreamMode), pVal);
}

int32_t VistrelCtl::SetAlignChannelMode(int nDstChannel, int nChannelPerRow, short* pVal) {
  return Automation(SetAlignChannelMode(nDstChannel, nChannelPerRow), pVal);
}

int32_t VistrelCtl::SetRecordEventType(int nSessionOfNum, std::span<const uint8_t> varRecType, short* pVal) {
  return Automation(SetRecordEventType(nSessionOfNum, varRecType), pVal);
}

int32_t VistrelCtl::SetMpeg4Recording(int nSessionOfIndex, int nRecording, short* pVal) {
  return Automation(SetMpeg4Recording(nSessionOfIndex, nRecording), pVal);
}

void VistrelCtl::ToggleSelection(const QPoint& point) {
  const LayoutState layout = view_->layout();
  const QWidget* window = view_->widget();
  const int slot = HitTest(layout, window->width(), window->height(), point.x(), point.y());
  if (slot < 0) return;
  engine_->set_selected_cell(engine_->selected_cell() == -1 ? slot : -1);
  PushLayout();
}

std::unique_ptr<QMenu> VistrelCtl::ChannelMenu(const QPoint& point) {
  const LayoutState layout = view_->layout();
  int slot = layout.selected;
  if (slot == -1) {
    const QWidget* window = view_->widget();
    slot = HitTest(layout, window->width(), window->height(), point.x(), point.y());
  }
  if (slot < 1 || slot > kDisplaySlots) return nullptr;
  menu_slot_ = slot - 1;
  auto menu = std::make_unique<QMenu>(tr("Popup"), this);
  QAction* setting = menu->addAction(QStringLiteral("&Setting..."), this, &VistrelCtl::OpenChannelSetting);
  QAction* colour = menu->addAction(QStringLiteral("&Adjust Color..."), this, &VistrelCtl::OpenAdjustColor);
  const bool open = engine_->decoder(menu_slot_).is_open();
  setting->setEnabled(open);
  colour->setEnabled(open);
  return menu;
}

void VistrelCtl::OpenChannelSetting() {
  if (menu_slot_ < 0) return;
  ChannelSettingDialog dialog(engine_->decoder(menu_slot_), this);
  dialog.exec();
}

void VistrelCtl::OpenAdjustColor() {
  if (menu_slot_ < 0) return;
  AdjustColorDialog dialog(engine_->decoder(menu_slot_), this);
  dialog.exec();
}

bool VistrelCtl::eventFilter(QObject* watched, QEvent* event) {
  if (watched != view_->widget()) return QWidget::eventFilter(watched, event);
  if (event->type() == QEvent::MouseButtonDblClick) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton) {
      ToggleSelection(mouse->position().toPoint());
      return true;
    }
  } else if (event->type() == QEvent::MouseButtonRelease) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::RightButton) {
      if (std::unique_ptr<QMenu> menu = ChannelMenu(mouse->position().toPoint())) {
        menu->exec(mouse->globalPosition().toPoint());
      }
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void VistrelCtl::resizeEvent(QResizeEvent*) { view_->widget()->resize(size()); }

}  // namespace vistrel
