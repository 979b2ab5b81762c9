#include "client/shell/main_window.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>

#include <algorithm>

#include "client/shell/address_book_dialog.h"
#include "client/shell/bitmap_slider.h"
#include "client/shell/event_log.h"
#include "client/shell/hover_button.h"
#include "client/shell/lower_panels.h"
#include "client/shell/operator_dialogs.h"
#include "client/shell/ptz_preset_panel.h"
#include "client/shell/screen_placement.h"
#include "client/shell/select_device_dialog.h"
#include "client/shell/setup_dialog.h"
#include "client/shell/shell_viewer.h"
#include "client/shell/skin_artwork.h"
#include "client/shell/splash_screen.h"
#include "client/shell/ui_thread.h"
#include "platform/string_table.h"

namespace shell {
namespace {

constexpr QPoint kLowerOrigin(103, 604);
constexpr QSize kLowerSize(716, 158);
constexpr int kModeGroup = 1000;
constexpr int kPtzGroup = 1106;
constexpr int kLayoutGroup = 1095;
constexpr int kPlaybackGroup = 1079;
constexpr int kModeNotices[] = {214, 215, 216, 217};

bool InGroup(int id, int first, int last) { return id >= first && id <= last; }

}  // namespace

CMainWindow::CMainWindow() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), wait_(this) {
  setFixedSize(1024, 768);
  setWindowTitle("Kaviro");
  setAttribute(Qt::WA_OpaquePaintEvent);

  AddButton(1000, 8, 85, 231);
  AddButton(1001, 8, 158, 232);
  AddButton(1002, 8, 231, 233);
  AddButton(1003, 8, 304, 234);
  AddButton(1004, 847, 8, 235);
  AddButton(1005, 886, 8, 238);
  AddButton(1006, 925, 8, 236);
  AddButton(1007, 964, 8, 237);
  AddButton(1009, 57, 393, 241);
  AddButton(1008, 57, 442, 239);
  AddButton(1010, 57, 491, 240);
  const int dvr_tooltips[] = {242, 243, 330, 331};
  for (int i = 0; i < 4; ++i) AddButton(1040 + i, 115 + 61 * i, 585, dvr_tooltips[i]);
  const int playback_x[] = {450, 478, 506, 534, 562, 590, 624};
  for (int i = 0; i < 7; ++i) AddButton(1079 + i, playback_x[i], i == 5 ? 570 : 573, 280 + i);
  AddButton(1088, 652, 573, 287);
  AddButton(1087, 787, 577, 288);
  AddButton(1086, 688, 577, 289);
  // Image capture and printing come with their own viewer; until then they stay off.
  button(1009)->setEnabled(false);
  button(1008)->setEnabled(false);

  event_log_ = new CEventLog(this);
  event_log_->setGeometry(830, 62, 177, 216);

  slider_ = new CBitmapSlider(this, 1186);
  slider_->SetChannelBitmaps(skin::res::kSliderChannel, skin::res::kSliderChannelLit, false, 0, 0, 0);
  slider_->SetThumbBitmaps(skin::res::kSliderThumb, 0, true, CBitmapSlider::kKeyFromPixel, 0, 0);
  slider_->move(115, 546);
  slider_->SetRange(0, 3600, false);
  slider_->setEnabled(false);

  connect_panel_ = new CConnectPanel(this, dialogs_, kLowerOrigin);
  logon_prompt_ = new CLogonPrompt(this, kLowerOrigin);
  dvr_panel_ = new CDvrPanel(this, kLowerOrigin);
  file_panel_ = new CPanelBase(this, kLowerOrigin);
  for (QWidget* panel : std::initializer_list<QWidget*>{connect_panel_, logon_prompt_, dvr_panel_, file_panel_}) {
    panel->setGeometry(QRect(kLowerOrigin, kLowerSize));
  }
  for (int id : {1112, 1113, 1114}) {
    auto* file_button = new CHoverButton(file_panel_, id);
    file_button->SetBitmaps(skin::FacesOfControl(id));
    file_button->move(QPoint(641, id == 1112 ? 615 : (id == 1113 ? 644 : 673)) - kLowerOrigin);
    file_button->SetTooltip(290 + (id - 1112), true);
    connect(file_button, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
    buttons_[id] = file_button;
  }
  channel_panel_ = new CChannelPanel(this, QPoint(820, 300));
  channel_panel_->setGeometry(820, 300, 200, 468);
  ptz_presets_ = new CPtzPresetPanel(this);

  for (CPanelBase* panel : std::initializer_list<CPanelBase*>{logon_prompt_, dvr_panel_, channel_panel_}) Wire(panel);
  connect(connect_panel_, &CConnectPanel::ConnectRequested, this, &CMainWindow::OnConnectRequest);
  connect(connect_panel_, &CConnectPanel::AddressBookRequested, this, &CMainWindow::OpenAddressBook);
  connect(connect_panel_, &CConnectPanel::DialNumber, this, &CMainWindow::DialNumber);
  connect(ptz_presets_, &CPtzPresetPanel::Preset, this, &CMainWindow::OnPtzPreset);
  connect(slider_, &CBitmapSlider::Seek, this, [this](int, int position) {
    const int mode = mode_.load();
    if (mode != 2 && mode != 4) return;
    if (IShellViewer* viewer = Viewer(mode)) viewer->OnSliderSeek(position);
  });

  // Escape and Enter never close the window, whichever child has the focus.
  qApp->installEventFilter(this);
  SetMode(0);
}

CMainWindow::~CMainWindow() {
  qApp->removeEventFilter(this);
  alarms_.DismissAll();
  wait_.Hide();
}

CHoverButton* CMainWindow::AddButton(int control_id, int x, int y, int tooltip_id) {
  auto* created = new CHoverButton(this, control_id);
  created->SetBitmaps(skin::FacesOfControl(control_id));
  created->move(x, y);
  created->SetTooltip(tooltip_id, true);
  connect(created, &QAbstractButton::clicked, this, [this, control_id] { OnCommand(control_id); });
  connect(created, &CHoverButton::Held, this, [this](int id) {
    if (IShellViewer* viewer = Viewer(mode_.load())) viewer->OnButtonHeld(id, true);
  });
  connect(created, &CHoverButton::Released, this, [this](int id) {
    if (IShellViewer* viewer = Viewer(mode_.load())) viewer->OnButtonHeld(id, false);
  });
  buttons_[control_id] = created;
  return created;
}

void CMainWindow::Wire(CPanelBase* panel) {
  connect(panel, &CPanelBase::Command, this, &CMainWindow::OnCommand);
  connect(panel, &CPanelBase::Held, this, [this](int id) {
    if (IShellViewer* viewer = Viewer(mode_.load())) viewer->OnButtonHeld(id, true);
  });
  connect(panel, &CPanelBase::Released, this, [this](int id) {
    if (IShellViewer* viewer = Viewer(mode_.load())) viewer->OnButtonHeld(id, false);
  });
}

CHoverButton* CMainWindow::button(int control_id) const {
  if (const auto it = buttons_.find(control_id); it != buttons_.end()) return it->second;
  for (const CPanelBase* panel : {static_cast<const CPanelBase*>(logon_prompt_), static_cast<const CPanelBase*>(dvr_panel_),
                                  static_cast<const CPanelBase*>(channel_panel_)}) {
    if (CHoverButton* found = panel->button(control_id)) return found;
  }
  return nullptr;
}

void CMainWindow::SetViewer(ViewerMode mode, IShellViewer* viewer) { viewers_[static_cast<int>(mode)] = viewer; }

IShellViewer* CMainWindow::Viewer(int mode) const { return mode >= 1 && mode <= 4 ? viewers_[mode] : nullptr; }

void CMainWindow::AttachVideo(QWidget* video) {
  video_ = video;
  video_->setParent(this);
  video_->setGeometry(kVideoArea);
  video_->setVisible(mode_.load() == 1 || mode_.load() == 2);
  video_->lower();
}

int CMainWindow::latched(int group_first_id) const {
  const auto it = latched_.find(group_first_id);
  return it == latched_.end() ? 0 : it->second;
}

void CMainWindow::Latch(int group_first_id, int control_id) {
  if (const int previous = latched(group_first_id); previous != 0 && button(previous) != nullptr) {
    button(previous)->SetLatched(false);
  }
  latched_[group_first_id] = control_id;
  if (control_id != 0 && button(control_id) != nullptr) button(control_id)->SetLatched(true);
}

void CMainWindow::LatchLayoutButton(int control_id) { Latch(kLayoutGroup, control_id); }

int CMainWindow::RunDialog(QDialog& dialog) { return dialogs_.RunModal(dialog); }

void CMainWindow::OnCommand(int id) {
  if (IShellViewer* viewer = Viewer(mode_.load())) viewer->OnCommand(id);
  if (InGroup(id, 1000, 1003)) {
    OnModeButton(id);
  } else if (id == 1004) {
    OpenAbout();
  } else if (id == 1005) {
    showMinimized();
  } else if (id == 1006) {
    OnClose();
  } else if (id == 1007) {
    emit TurnedOff();
  } else if (id == 1010) {
    AddEventLog(0xFFFFFF, platform::LoadString(211));
    OpenSetup();
  } else if (id == 1008) {
    AddEventLog(0xFFFFFF, platform::LoadString(212));
  } else if (id == 1099) {
    channel_panel_->SetView(CChannelPanel::kPtzView, mode_.load() == 1);
  } else if (id == 1104) {
    channel_panel_->SetView(CChannelPanel::kLayoutView, mode_.load() == 1);
  } else if (InGroup(id, 1106, 1108)) {
    Latch(kPtzGroup, id);
  } else if (InGroup(id, 1095, 1098)) {
    Latch(kLayoutGroup, id);
  } else if (InGroup(id, 1079, 1085)) {
    Latch(kPlaybackGroup, id);
  } else if (InGroup(id, 106, 121)) {
    Latch(kLayoutGroup, 1095);
  }
}

void CMainWindow::OnModeButton(int id) {
  if (latched(kModeGroup) == id) return;
  Latch(kModeGroup, id);
  SetMode(id - 1000 + 1);
  // Mode 4 may have fallen back to Idle in its device choice.
  if (mode_.load() == id - 1000 + 1) AddEventLog(0x00FFFF, platform::LoadString(kModeNotices[id - 1000]));
}

void CMainWindow::OnClose() {
  if (mode_.load() == 0) {
    emit TurnedOff();
    return;
  }
  Latch(kModeGroup, 0);
  SetMode(0);
}

void CMainWindow::SetMode(int mode) {
  if (mode < 0 || mode > 4) return;
  event_log_->ClearLog();
  const int previous = mode_.exchange(mode);
  if (previous != mode) {
    if (IShellViewer* leaving = Viewer(previous)) leaving->Leave();
  }
  const bool idle = mode == 0;
  for (int id : {1009, 1008, 1010}) button(id)->setVisible(!idle);
  event_log_->setVisible(!idle);
  ptz_presets_->hide();
  if (video_ != nullptr) video_->setVisible(mode == 1 || mode == 2);
  switch (mode) {
    case 0:
      setWindowTitle("Kaviro");
      SetPanel(5);
      ShowDvrButtons(0);
      channel_panel_->SetView(CChannelPanel::kHidden, false);
      channel_panel_->ShowCameras(false);
      ShowPlayback(false);
      break;
    case 1:
      if (IShellViewer* viewer = Viewer(1)) viewer->Enter();
      SetPanel(1);
      ShowDvrButtons(video_card_capable_ ? 4 : 2);
      channel_panel_->SetView(CChannelPanel::kPtzView, true);
      ShowPlayback(false);
      channel_panel_->ShowCameras(true);
      break;
    case 2:
      if (IShellViewer* viewer = Viewer(2)) viewer->Enter();
      SetPanel(1);
      ShowDvrButtons(1);
      channel_panel_->SetView(CChannelPanel::kLayoutView, false);
      ShowPlayback(true);
      channel_panel_->ShowCameras(true);
      break;
    case 3:
    case 4:
      if (mode == 4 && !RunSelectDevice()) {
        OnClose();
        return;
      }
      if (IShellViewer* viewer = Viewer(mode)) viewer->Enter();
      SetPanel(4);
      ShowDvrButtons(0);
      channel_panel_->SetView(CChannelPanel::kLayoutView, false);
      ShowPlayback(true);
      channel_panel_->ShowCameras(true);
      break;
  }
  update();
}

void CMainWindow::SetPanel(int selector) {
  panel_ = selector;
  const int mode = mode_.load();
  connect_panel_->setVisible(selector == 0 || selector == 1);
  logon_prompt_->setVisible(false);
  dvr_panel_->setVisible(selector == 3);
  file_panel_->setVisible(selector == 4);
  if (selector == 0 || selector == 1) connect_panel_->Reset();
  if (selector == 2) logon_prompt_->Open();
  const bool remote = mode == 1 || mode == 2;
  dvr_panel_->button(1067)->setVisible(selector == 3 && remote);
  dvr_panel_->button(1252)->setVisible(selector == 3 && remote);
  // The record button joins the DVR panel, above it.
  button(1088)->setVisible(selector == 3 || (mode >= 2 && selector == 4));
  if (selector == 3) button(1088)->move(761, 545);
  if (selector == 4) {
    button(1112)->setVisible(true);
    button(1113)->setVisible(mode == 2 || mode == 4);
    button(1114)->setVisible(mode == 2);
  }
}

void CMainWindow::ShowDvrButtons(int count) {
  for (int i = 0; i < 4; ++i) {
    // Without a capable video card only two DVRs can be connected.
    const bool allowed = i < 2 || video_card_capable_;
    button(1040 + i)->setVisible(i < count && allowed);
  }
}

void CMainWindow::ShowPlayback(bool shown) {
  for (int id = 1079; id <= 1087; ++id) {
    if (button(id) != nullptr) button(id)->setVisible(shown);
  }
  if (shown) button(1088)->move(652, 573);
  slider_->setVisible(shown);
}

void CMainWindow::AddEventLog(unsigned colour, const std::string& text) {
  const QString line = QString::fromStdString(text);
  RunOnUiThread([this, colour, line] { event_log_->AddLine(colour, line); });
}

void CMainWindow::OnPtzPreset(int button_id, int action) {
  if (mode_.load() != 1) return;
  if (IShellViewer* viewer = Viewer(1)) viewer->OnPtzPreset(button_id, action);
}

void CMainWindow::SetSliderPos(int position) { slider_->SetPos(position); }

void CMainWindow::OnRemovablePosition(int position) {
  // The ends are the player's own markers, not places in the file.
  if (mode_.load() == 4 && position > 0 && position < 3600) slider_->SetPos(position);
}

void CMainWindow::OnVideoCardAnalysis(int performance) {
  video_card_capable_ = performance != 0;
  if (!video_card_capable_) {
    dialogs_.ShowMessageBox(this, platform::LoadString(332), BoxIcon::kInformation);
  }
  if (mode_.load() == 1) ShowDvrButtons(4);
}

void CMainWindow::OnConnectRequest(const ConnectionRequest& request) {
  const int mode = mode_.load();
  if (mode != 1 && mode != 2) return;
  if (IShellViewer* viewer = Viewer(mode)) viewer->OnConnectRequest(request);
}

void CMainWindow::OpenAddressBook(ListKind list) {
  CAddressBookDialog dialog(this, dialogs_, list);
  RunDialog(dialog);
  connect_panel_->FillCombos();
}

void CMainWindow::OpenSetup() {
  CSetupDialog dialog(this, dialogs_, modems_ ? modems_() : std::vector<std::string>{});
  RunDialog(dialog);
}

void CMainWindow::OpenAbout() {
  CAboutBox about(this);
  RunDialog(about);
}

bool CMainWindow::RunSelectDevice() {
  CSelectDeviceDialog dialog(this);
  const int answer = RunDialog(dialog);
  if (answer != CSelectDeviceDialog::kHardDisk && answer != CSelectDeviceDialog::kCompactDisk) return false;
  // The removable viewer opens the device on entry and reports its own failures.
  if (Viewer(4) != nullptr) return true;
  dialogs_.ShowMessageBox(this,
                          answer == CSelectDeviceDialog::kHardDisk ? "Can not find Removable hard disk drive !!!"
                                                                   : "Can not find Backup CD !!!",
                          BoxIcon::kError);
  return false;
}

void CMainWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawPixmap(0, 0, skin::Pixmap(mode_.load() == 0 ? skin::res::kMainBackground : skin::res::kFrame));
}

bool CMainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
    const auto* key = static_cast<QKeyEvent*>(event);
    auto* widget = qobject_cast<QWidget*>(watched);
    const bool ours = widget != nullptr && widget->window() == this;
    if (ours && (key->key() == Qt::Key_Escape || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

// The skin has no system caption: the title strip moves the window.
void CMainWindow::mousePressEvent(QMouseEvent* event) {
  drag_start_ = event->position().y() < 46 ? event->globalPosition().toPoint() - pos() : QPoint(-1, -1);
}

void CMainWindow::mouseMoveEvent(QMouseEvent* event) {
  if (drag_start_ != QPoint(-1, -1) && (event->buttons() & Qt::LeftButton)) {
    const QPoint cursor = event->globalPosition().toPoint();
    QPoint place = cursor - drag_start_;
    // Above the top of the screen the title strip could not be taken again.
    const QScreen* screen = QGuiApplication::screenAt(cursor);
    if (screen == nullptr) screen = ScreenOf(*this);
    if (screen != nullptr) {
      place.setY(std::max(place.y(), screen->availableGeometry().top()));
    }
    move(place);
  }
}

}  // namespace shell
