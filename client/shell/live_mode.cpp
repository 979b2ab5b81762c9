#include "client/shell/live_mode.h"

#include <QTimer>

#include "client/shell/dvr_status_dialog.h"
#include "client/shell/light_dialog.h"
#include "client/shell/log_viewer_dialog.h"
#include "client/shell/shell_window.h"
#include "platform/string_table.h"

namespace shell {
namespace {

using enum ControlId;

std::optional<sessions::Arrow> ArrowOf(ControlId id) {
  switch (id) {
    case kArrowUp:
      return sessions::Arrow::kUp;
    case kArrowLeft:
      return sessions::Arrow::kLeft;
    case kArrowRight:
      return sessions::Arrow::kRight;
    case kArrowDown:
      return sessions::Arrow::kDown;
    default:
      return std::nullopt;
  }
}

}  // namespace

CLiveMode::CLiveMode(IShellWindow& window, sessions::Pinger pinger)
    : window_(window), ui_(window), vistrel_(std::make_unique<CVistrelAdapter>(window.host())) {
  viewer_ = std::make_unique<sessions::CLiveViewer>(ui_, vistrel_->methods(), std::move(pinger));
  ui_.SetSelectedSlotSource([this] { return viewer_->selected_slot(); });
  ui_.SetStateListener([this](int slot, sessions::ConnectionState state) {
    if (state == sessions::ConnectionState::kAwaitingLogon) logon_slot_ = slot;
  });
  // After the call that changed the cells has finished (cells are released
  // after the state is reported); the adapter's lifetime bounds the timer.
  ui_.SetChangeListener([this] { QTimer::singleShot(0, vistrel_.get(), [this] { RefreshCameraButtons(); }); });
  if (QWidget* video = vistrel_->widget()) window.AttachVideo(video);
  QObject::connect(vistrel_.get(), &CVistrelAdapter::VideoCardAnalysed, window.host(),
                   [&window](int performance) { window.OnVideoCardAnalysis(performance); });
}

CLiveMode::~CLiveMode() {
  if (vistrel_->event_target() == viewer_.get()) vistrel_->SetEventTarget(nullptr);
  viewer_->DisconnectAll();
  // The sessions end before the control they feed.
  viewer_.reset();
}

void CLiveMode::Enter() {
  vistrel_->SetEventTarget(viewer_.get());
  RefreshCameraButtons();
}

void CLiveMode::Leave() {
  viewer_->DisconnectAll();
  vistrel_->SetEventTarget(nullptr);
  logon_slot_ = -1;
}

int CLiveMode::FirstCellOfSelected() const {
  const auto& cells = viewer_->cells().CellsOf(viewer_->selected_slot());
  return cells.empty() ? 0 : cells.front();
}

void CLiveMode::RefreshCameraButtons() {
  for (int cell = 0; cell < 16; ++cell) {
    bool owned = false;
    for (int slot = 0; slot < 4 && !owned; ++slot) {
      for (int used : viewer_->cells().CellsOf(slot)) owned = owned || used == cell;
    }
    window_.EnableButton(CameraButton(cell), owned);
  }
  const int slot = viewer_->selected_slot();
  window_.ShowDvrChannels(viewer_->ChannelFlags(slot), viewer_->ChannelCount(slot));
}

void CLiveMode::OnCommand(ControlId id) {
  sessions::LiveLayouts& layouts = viewer_->layouts();
  if (const auto slot = SlotOfDvrButton(id)) {
    viewer_->SelectSlotButton(*slot);
    RefreshCameraButtons();
    return;
  }
  if (const auto cell = CellOfCamera(id)) {
    layouts.Align1x1(*cell);
    return;
  }
  switch (id) {
    case kLayout1Ch:
      layouts.Align1x1(layouts.layout() == sessions::Layout::k1x1 ? layouts.start_cell(sessions::Layout::k1x1)
                                                                  : FirstCellOfSelected());
      break;
    case kLayout4Ch:
      layouts.Align2x2(FirstCellOfSelected());
      break;
    case kLayout8Ch:
      layouts.Align3x3(FirstCellOfSelected());
      break;
    case kLayout16Ch:
      layouts.Align4x4();
      break;
    case kPanTilt:
      viewer_->ptz().SetMode(sessions::PanTiltMode::kMove);
      break;
    case kZoom:
      viewer_->ptz().SetMode(sessions::PanTiltMode::kZoom);
      break;
    case kFocus:
      viewer_->ptz().SetMode(sessions::PanTiltMode::kFocus);
      break;
    case kRotation:
      if (viewer_->IsActive(viewer_->selected_slot())) layouts.ToggleRotation();
      break;
    case kRecord:
      viewer_->ToggleRecording();
      break;
    case kPtzPreset:
      window_.ShowPtzPresets(true);
      break;
    case kDvrStatus: {
      CDvrStatusDialog dialog(window_.host(), &viewer_->services(), viewer_->selected_slot());
      window_.RunDialog(dialog);
      break;
    }
    case kLogFile: {
      CLogViewerDialog dialog(window_.host(), &viewer_->services(), viewer_->selected_slot());
      window_.RunDialog(dialog);
      break;
    }
    case kLight: {
      CLightDialog dialog(window_.host(), LightLinkOf(viewer_->selected_slot()));
      window_.RunDialog(dialog);
      break;
    }
    case kLogonOk:
      viewer_->session(logon_slot_ >= 0 ? logon_slot_ : viewer_->selected_slot()).SubmitLogon();
      break;
    case kAddressBook:
      window_.AddEventLog(sessions::kEventColour, platform::LoadString(197));
      window_.OpenAddressBook(ListKind::kEthernet);
      break;
    case kDisconnect:
      viewer_->DisconnectSlot(viewer_->selected_slot());
      break;
    case kReconnect:
      viewer_->ReconnectSlot(viewer_->selected_slot());
      break;
    default:
      break;
  }
}

LightLink CLiveMode::LightLinkOf(int slot) {
  sessions::DvrServices& services = viewer_->services();
  return {[&services, slot] { return services.RequestLightStatus(slot); },
          [&services, slot](uint8_t status) { return services.SetLights(slot, status); }};
}

void CLiveMode::OnButtonHeld(ControlId id, bool down) {
  const auto arrow = ArrowOf(id);
  if (!arrow || !window_.IsButtonEnabled(id)) return;
  if (down) {
    viewer_->ptz().ArrowDown(*arrow);
  } else {
    viewer_->ptz().ArrowUp(*arrow);
  }
}

void CLiveMode::OnConnectRequest(const ConnectionRequest& request) {
  // The request is for the DVR slot the operator selected; a slot in use
  // refuses it (its session says so in the trace).
  const int slot = viewer_->selected_slot();
  viewer_->SelectSlot(slot);
  sessions::SlotTarget target;
  target.alias = request.alias;
  target.address = request.address;
  target.port = request.port;
  target.user_name = request.user_name.value_or("");
  target.password = request.password.value_or("");
  target.network = request.network;
  target.auto_reconnect = request.auto_reconnect;
  viewer_->ConnectSlot(slot, target);
}

void CLiveMode::OnPtzPreset(int button_id, int action) { viewer_->ptz().OnPresetMessage(button_id, action); }

}  // namespace shell
