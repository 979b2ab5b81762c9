#include "client/shell/live_mode.h"

#include <QTimer>

#include "client/shell/hover_button.h"
#include "client/shell/lower_panels.h"
#include "client/shell/main_window.h"
#include "client/shell/ptz_preset_panel.h"
#include "platform/string_table.h"

namespace shell {
namespace {

std::optional<sessions::Arrow> ArrowOf(int control_id) {
  switch (control_id) {
    case 1100: return sessions::Arrow::kUp;
    case 1101: return sessions::Arrow::kLeft;
    case 1102: return sessions::Arrow::kRight;
    case 1103: return sessions::Arrow::kDown;
    default: return std::nullopt;
  }
}

}  // namespace

CLiveMode::CLiveMode(CMainWindow& window, sessions::Pinger pinger)
    : window_(window), ui_(window), vistrel_(std::make_unique<CVistrelAdapter>(&window)) {
  viewer_ = std::make_unique<sessions::CLiveViewer>(ui_, vistrel_->methods(), std::move(pinger));
  vistrel_->AttachViewer(viewer_.get());
  ui_.SetSelectedSlotSource([this] { return viewer_->selected_slot(); });
  ui_.SetStateListener([this](int slot, sessions::ConnectionState state) {
    if (state == sessions::ConnectionState::kAwaitingLogon) logon_slot_ = slot;
  });
  // After the call that changed the cells has finished (cells are released
  // after the state is reported); the adapter's lifetime bounds the timer.
  ui_.SetChangeListener([this] { QTimer::singleShot(0, vistrel_.get(), [this] { RefreshCameraButtons(); }); });
  if (QWidget* video = vistrel_->widget()) window.AttachVideo(video);
  QObject::connect(vistrel_.get(), &CVistrelAdapter::VideoCardAnalysed, &window,
                   [&window](int performance) { window.OnVideoCardAnalysis(performance); });
}

CLiveMode::~CLiveMode() {
  vistrel_->SetLiveMode(false);
  viewer_->DisconnectAll();
  // The sessions end before the control they feed.
  viewer_.reset();
}

void CLiveMode::Enter() {
  vistrel_->SetLiveMode(true);
  RefreshCameraButtons();
}

void CLiveMode::Leave() {
  viewer_->DisconnectAll();
  vistrel_->SetLiveMode(false);
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
    window_.button(106 + cell)->setEnabled(owned);
  }
  const int slot = viewer_->selected_slot();
  window_.dvr_panel()->ShowChannels(viewer_->ChannelFlags(slot), viewer_->ChannelCount(slot));
}

void CLiveMode::OnCommand(int id) {
  sessions::LiveLayouts& layouts = viewer_->layouts();
  if (id >= 1040 && id <= 1043) {
    viewer_->SelectSlotButton(id - 1040);
    RefreshCameraButtons();
  } else if (id >= 106 && id <= 121) {
    layouts.Align1x1(id - 106);
  } else if (id == 1095) {
    layouts.Align1x1(layouts.layout() == sessions::Layout::k1x1 ? layouts.start_cell(sessions::Layout::k1x1)
                                                                : FirstCellOfSelected());
  } else if (id == 1096) {
    layouts.Align2x2(FirstCellOfSelected());
  } else if (id == 1097) {
    layouts.Align3x3(FirstCellOfSelected());
  } else if (id == 1098) {
    layouts.Align4x4();
  } else if (id == 1106) {
    viewer_->ptz().SetMode(sessions::PanTiltMode::kMove);
  } else if (id == 1107) {
    viewer_->ptz().SetMode(sessions::PanTiltMode::kZoom);
  } else if (id == 1108) {
    viewer_->ptz().SetMode(sessions::PanTiltMode::kFocus);
  } else if (id == 1124) {
    if (viewer_->IsActive(viewer_->selected_slot())) layouts.ToggleRotation();
  } else if (id == 1088) {
    viewer_->ToggleRecording();
  } else if (id == 1065) {
    window_.ptz_preset_panel()->show();
    window_.ptz_preset_panel()->raise();
  } else if (id == 1059) {
    const int slot = logon_slot_ >= 0 ? logon_slot_ : viewer_->selected_slot();
    viewer_->session(slot).SubmitLogon();
  } else if (id == 1066) {
    window_.AddEventLog(sessions::kEventColour, platform::LoadString(197));
    window_.OpenAddressBook(ListKind::kEthernet);
  } else if (id == 1067) {
    viewer_->DisconnectSlot(viewer_->selected_slot());
  }
}

void CLiveMode::OnButtonHeld(int id, bool down) {
  const auto arrow = ArrowOf(id);
  if (!arrow) return;
  if (CHoverButton* button = window_.button(id); button == nullptr || !button->isEnabled()) return;
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
  viewer_->session(slot).SetLogonData(request.address, request.port, request.user_name.value_or(""),
                                      request.password.value_or(""), request.network);
}

void CLiveMode::OnPtzPreset(int button_id, int action) { viewer_->ptz().OnPresetMessage(button_id, action); }

}  // namespace shell
