#include "client/shell/main_window.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>

#include "client/shell/address_book_dialog.h"
#include "client/shell/alarm_counter.h"
#include "client/shell/bitmap_slider.h"
#include "client/shell/event_log.h"
#include "client/shell/hover_button.h"
#include "client/shell/image_preview_dialog.h"
#include "client/shell/keyboard_shortcuts.h"
#include "client/shell/lower_panels.h"
#include "client/shell/operator_dialogs.h"
#include "client/shell/ptz_preset_panel.h"
#include "client/shell/save_file_list_dialog.h"
#include "client/shell/search_widgets.h"
#include "client/shell/select_device_dialog.h"
#include "client/shell/setup_dialog.h"
#include "client/shell/shell_viewer.h"
#include "client/shell/shortcuts_page.h"
#include "client/shell/skin_artwork.h"
#include "client/shell/slot_state_mark.h"
#include "client/shell/splash_screen.h"
#include "client/shell/ui_thread.h"
#include "client/shell/viewer_capture.h"
#include "platform/string_table.h"

namespace shell {
namespace {

using enum ControlId;

constexpr QPoint kLowerOrigin(103, 604);
constexpr QSize kLowerSize(716, 158);

// The window's own buttons: mode buttons, the top-right four, Capture, Print
// and Setup, the DVR selectors, playback, record and play speed.
constexpr ButtonPlace kWindowButtons[] = {
    {kLiveMode, 8, 85, 231},       {kSearchMode, 8, 158, 232},     {kLocalMode, 8, 231, 233},
    {kRemovableMode, 8, 304, 234}, {kHelp, 847, 8, 235},           {kMinimize, 886, 8, 238},
    {kClose, 925, 8, 236},         {kTurnOff, 964, 8, 237},        {kCapture, 57, 393, 241},
    {kPrint, 57, 442, 239},        {kSetup, 57, 491, 240},         {DvrButton(0), 115, 585, 242},
    {DvrButton(1), 176, 585, 243}, {DvrButton(2), 237, 585, 330},  {DvrButton(3), 298, 585, 331},
    {kFastReverse, 450, 573, 280}, {kReversePlay, 478, 573, 281},  {kFrameBack, 506, 573, 282},
    {kStop, 534, 573, 283},        {kFrameForward, 562, 573, 284}, {kPlay, 590, 570, 285},
    {kFastForward, 624, 573, 286}, {kRecord, 652, 573, 287},       {kSpeedUp, 787, 577, 288},
    {kSpeedDown, 688, 577, 289},
};

constexpr ButtonPlace kFilePanelButtons[] = {
    {kFileSelect, 641, 615, 290}, {kTimeSelect, 641, 644, 291}, {kDownload, 641, 673, 292}};

constexpr ControlId kWorkingControls[] = {kCapture, kPrint, kSetup};
constexpr ControlId kPlaybackControls[] = {kFastReverse, kReversePlay, kFrameBack, kStop,   kFrameForward,
                                           kPlay,        kFastForward, kSpeedDown, kSpeedUp};

struct ModeButton {
  ControlId button;
  ViewerMode mode;
};
constexpr ModeButton kModeButtons[] = {{kLiveMode, ViewerMode::kRemoteLive},
                                       {kSearchMode, ViewerMode::kRemoteSearch},
                                       {kLocalMode, ViewerMode::kLocalPlayer},
                                       {kRemovableMode, ViewerMode::kRemovablePlayer}};

// What a mode shows while no viewer of its own declares it.
constexpr ModeView kBuiltInViews[kModeCount] = {kIdleView, kLiveView, kSearchView, kLocalPlayerView,
                                                kRemovablePlayerView};

// The radio groups, each named by its first button.
struct RadioGroup {
  ControlId first;
  ControlId last;
};
constexpr RadioGroup kModeGroup{kLiveMode, kRemovableMode};
constexpr RadioGroup kPlaybackGroup{kFastReverse, kFastForward};
constexpr RadioGroup kRadioGroups[] = {{kPanTilt, kFocus}, {kLayout1Ch, kLayout16Ch}, {kFastReverse, kFastForward}};

}  // namespace

CMainWindow::CMainWindow() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), wait_(this) {
  setFixedSize(1024, 768);
  setWindowTitle("Kaviro");
  setAttribute(Qt::WA_OpaquePaintEvent);
  // A click on the skin takes the keyboard from a text field, for the shortcuts.
  setFocusPolicy(Qt::ClickFocus);

  for (const ButtonPlace& place : kWindowButtons) AddButton(place);
  for (int slot = 0; slot < 4; ++slot) slot_marks_[slot] = new CSlotStateMark(button(DvrButton(slot)));
  // Image capture and printing come with their own viewer; until then they stay off.
  button(kCapture)->setEnabled(false);
  button(kPrint)->setEnabled(false);

  event_log_ = new CEventLog(this);
  event_log_->setGeometry(830, 62, 177, 216);
  event_log_->SetDialogs(&dialogs_);
  alarm_counter_ = new CAlarmCounter(this);
  alarm_counter_->setGeometry(830, 280, 177, 18);
  alarms_.SetPendingListener([this](int pending) { alarm_counter_->ShowPending(pending); });

  slider_ = new CBitmapSlider(this, ToInt(kPositionSlider));
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
  file_panel_->AddButtons(kFilePanelButtons);
  calendar_ = new CMonthCalendar(file_panel_);
  calendar_->setGeometry(QRect(QPoint(124, 612) - kLowerOrigin, QSize(206, 140)));
  file_list_ = new CRecordFileList(file_panel_);
  file_list_->setGeometry(QRect(QPoint(333, 612) - kLowerOrigin, QSize(287, 140)));
  connect(calendar_, &QCalendarWidget::selectionChanged, this, [this] { OnCommand(kMonthCalendar); });
  status_bar_ = new CPlaybackStatusBar(this);
  speed_ = new CSpeedPicture(this);
  channel_panel_ = new CChannelPanel(this, QPoint(820, 300));
  channel_panel_->setGeometry(820, 300, 200, 468);
  ptz_presets_ = new CPtzPresetPanel(this);

  for (CPanelBase* panel : std::initializer_list<CPanelBase*>{logon_prompt_, dvr_panel_, file_panel_, channel_panel_}) {
    Wire(panel);
  }
  connect(connect_panel_, &CConnectPanel::ConnectRequested, this, &CMainWindow::OnConnectRequest);
  connect(connect_panel_, &CConnectPanel::AddressBookRequested, this, &CMainWindow::OpenAddressBook);
  connect(connect_panel_, &CConnectPanel::DialNumber, this, &CMainWindow::DialNumber);
  connect(connect_panel_, &CConnectPanel::ReconnectRequested, this, [this] { OnCommand(kReconnect); });
  connect(ptz_presets_, &CPtzPresetPanel::Preset, this, &CMainWindow::OnPtzPreset);
  connect(slider_, &CBitmapSlider::Seek, this, [this](int, int position) {
    if (!view_.slider_seeks) return;
    if (IShellViewer* viewer = CurrentViewer()) viewer->OnSliderSeek(position);
  });

  // Escape and Enter never close the window, whichever child has the focus.
  qApp->installEventFilter(this);
  SetMode(ViewerMode::kIdle);
  // Installed after the window's filter, so that it sees Escape first.
  shortcuts_ = new CKeyboardShortcuts(*this);
  shortcuts_->AddKeysToTooltips();
}

CMainWindow::~CMainWindow() {
  qApp->removeEventFilter(this);
  alarms_.DismissAll();
  wait_.Hide();
}

void CMainWindow::AddButton(const ButtonPlace& place) {
  const ControlId id = place.id;
  auto* created = new CHoverButton(this, ToInt(id));
  created->SetBitmaps(skin::FacesOfControl(ToInt(id)));
  created->move(place.x, place.y);
  created->SetTooltip(place.tooltip_id, true);
  connect(created, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
  connect(created, &CHoverButton::Held, this, [this, id] { ForwardHeld(id, true); });
  connect(created, &CHoverButton::Released, this, [this, id] { ForwardHeld(id, false); });
  buttons_[id] = created;
}

void CMainWindow::Wire(CPanelBase* panel) {
  connect(panel, &CPanelBase::Command, this, &CMainWindow::OnCommand);
  connect(panel, &CPanelBase::Held, this, [this](ControlId id) { ForwardHeld(id, true); });
  connect(panel, &CPanelBase::Released, this, [this](ControlId id) { ForwardHeld(id, false); });
}

void CMainWindow::ForwardHeld(ControlId id, bool down) {
  if (IShellViewer* viewer = CurrentViewer()) viewer->OnButtonHeld(id, down);
}

CHoverButton* CMainWindow::button(ControlId id) const {
  if (const auto it = buttons_.find(id); it != buttons_.end()) return it->second;
  for (const CPanelBase* panel :
       {static_cast<const CPanelBase*>(logon_prompt_), static_cast<const CPanelBase*>(dvr_panel_),
        static_cast<const CPanelBase*>(file_panel_), static_cast<const CPanelBase*>(channel_panel_)}) {
    if (CHoverButton* found = panel->button(id)) return found;
  }
  return nullptr;
}

void CMainWindow::SetViewer(ViewerMode mode, IShellViewer* viewer) { viewers_[static_cast<int>(mode)] = viewer; }

IShellViewer* CMainWindow::Viewer(ViewerMode mode) const {
  const int index = static_cast<int>(mode);
  return index > 0 && index < kModeCount ? viewers_[index] : nullptr;
}

ModeView CMainWindow::ViewOf(ViewerMode mode) const {
  if (const IShellViewer* viewer = Viewer(mode)) return viewer->View();
  return kBuiltInViews[static_cast<int>(mode)];
}

void CMainWindow::AttachVideo(QWidget* video) {
  LeaveFullScreen();
  video_ = video;
  video_->setParent(this);
  video_->setGeometry(kVideoArea);
  video_->setVisible(view_.video);
  video_->lower();
}

std::optional<ControlId> CMainWindow::latched(ControlId group_first) const {
  const auto it = latched_.find(group_first);
  if (it == latched_.end()) return std::nullopt;
  return it->second;
}

void CMainWindow::Latch(ControlId group_first, std::optional<ControlId> id) {
  if (const auto previous = latched(group_first)) LatchButton(*previous, false);
  if (!id) {
    latched_.erase(group_first);
    return;
  }
  latched_[group_first] = *id;
  LatchButton(*id, true);
}

void CMainWindow::LatchLayoutButton(ControlId id) { Latch(kLayout1Ch, id); }

int CMainWindow::RunDialog(QDialog& dialog) { return dialogs_.RunModal(dialog); }

void CMainWindow::OnCommand(ControlId id) {
  if (IShellViewer* viewer = CurrentViewer()) viewer->OnCommand(id);
  for (const ModeButton& mode_button : kModeButtons) {
    if (mode_button.button == id) return OnModeButton(id, mode_button.mode);
  }
  for (const RadioGroup& group : kRadioGroups) {
    if (!InRange(id, group.first, group.last)) continue;
    if (group.first == kPlaybackGroup.first) {
      if (const IShellViewer* viewer = CurrentViewer(); viewer != nullptr && viewer->HoldsPlaybackGroup()) return;
    }
    return Latch(group.first, id);
  }
  if (CellOfCamera(id)) return LatchLayoutButton(kLayout1Ch);
  switch (id) {
    case kHelp:
      OpenAbout();
      break;
    case kMinimize:
      showMinimized();
      break;
    case kClose:
      OnClose();
      break;
    case kTurnOff:
      emit TurnedOff();
      break;
    case kSetup:
      AddEventLog(0xFFFFFF, platform::LoadString(211));
      OpenSetup();
      break;
    case kPrint:
      AddEventLog(0xFFFFFF, platform::LoadString(212));
      OpenSaveFileList();
      break;
    case kCapture:
      CaptureImage();
      break;
    case kPtz:
      channel_panel_->SetView(CChannelPanel::kPtzView, view_.full_channel_panel);
      break;
    case kChannels:
      channel_panel_->SetView(CChannelPanel::kLayoutView, view_.full_channel_panel);
      break;
    default:
      break;
  }
}

void CMainWindow::OnModeButton(ControlId id, ViewerMode mode) {
  if (latched(kModeGroup.first) == id) return;
  Latch(kModeGroup.first, id);
  SetMode(mode);
  // A mode with a device choice may have fallen back to Idle.
  if (this->mode() == mode) AddEventLog(0x00FFFF, platform::LoadString(view_.notice_id));
}

void CMainWindow::OnClose() {
  if (mode() == ViewerMode::kIdle) {
    emit TurnedOff();
    return;
  }
  Latch(kModeGroup.first, std::nullopt);
  SetMode(ViewerMode::kIdle);
}

void CMainWindow::SetMode(ViewerMode mode) {
  if (static_cast<int>(mode) < 0 || static_cast<int>(mode) >= kModeCount) return;
  LeaveFullScreen();
  event_log_->ClearLog();
  const auto previous = static_cast<ViewerMode>(mode_.exchange(static_cast<int>(mode)));
  if (previous != mode) {
    if (IShellViewer* leaving = Viewer(previous)) leaving->Leave();
  }
  view_ = ViewOf(mode);
  for (ControlId id : kWorkingControls) button(id)->setVisible(view_.working_controls);
  event_log_->setVisible(view_.working_controls);
  ptz_presets_->hide();
  if (video_ != nullptr) video_->setVisible(view_.video);
  if (view_.title != nullptr) setWindowTitle(view_.title);
  if (view_.choose_device) {
    if (!RunSelectDevice()) {
      OnClose();
      return;
    }
    view_ = ViewOf(mode);  // the device chosen may change the view (no Time Select for a CD)
  }
  if (IShellViewer* viewer = Viewer(mode)) viewer->Enter();
  SetPanel(view_.panel);
  ShowDvrButtons(view_.dvr_buttons);
  channel_panel_->SetView(view_.channel_view, view_.full_channel_panel);
  ShowPlayback(view_.playback);
  channel_panel_->ShowCameras(view_.cameras);
  update();
}

void CMainWindow::SetPanel(LowerPanel panel) {
  panel_ = panel;
  const bool connect = panel == LowerPanel::kConnect;
  const bool dvr = panel == LowerPanel::kDvr;
  const bool file = panel == LowerPanel::kFile;
  connect_panel_->setVisible(connect);
  logon_prompt_->setVisible(false);
  dvr_panel_->setVisible(dvr);
  file_panel_->setVisible(file);
  if (connect) connect_panel_->Reset();
  if (panel == LowerPanel::kLogonPrompt) logon_prompt_->Open();
  // The record button joins the DVR panel, above it.
  button(kRecord)->setVisible(dvr || (view_.playback && file));
  if (dvr) button(kRecord)->move(761, 545);
  if (file) {
    button(kFileSelect)->setVisible(true);
    button(kTimeSelect)->setVisible(view_.time_select);
    button(kDownload)->setVisible(view_.download);
    calendar_->setVisible(view_.calendar);
    file_list_->setVisible(view_.calendar);
  }
  // Disconnect and Light go with whichever panel of a remote mode shows;
  // both panels share the lower area's origin, so they keep their places.
  CPanelBase* remote_holder = file ? file_panel_ : dvr_panel_;
  for (ControlId id : {kDisconnect, kLight}) {
    CHoverButton* remote_button = dvr_panel_->button(id);
    if (remote_button->parentWidget() != remote_holder) remote_button->setParent(remote_holder);
    remote_button->setVisible((dvr || file) && view_.remote);
  }
}

void CMainWindow::ShowDvrButtons(int count) {
  for (int i = 0; i < 4; ++i) {
    // Without a capable video card only two DVRs can be connected.
    const bool allowed = i < 2 || video_card_capable_;
    button(DvrButton(i))->setVisible(i < count && allowed);
  }
}

void CMainWindow::ShowPlayback(bool shown) {
  for (ControlId id : kPlaybackControls) button(id)->setVisible(shown);
  if (shown) button(kRecord)->move(652, 573);
  slider_->setVisible(shown);
  status_bar_->setVisible(shown);
  speed_->setVisible(shown);
}

void CMainWindow::AddEventLog(unsigned colour, const std::string& text) {
  const QString line = QString::fromStdString(text);
  RunOnUiThread([this, colour, line] { event_log_->AddLine(colour, line); });
}

void CMainWindow::OnPtzPreset(int button_id, int action) {
  if (IShellViewer* viewer = CurrentViewer()) viewer->OnPtzPreset(button_id, action);
}

void CMainWindow::SetSliderPos(int position) { slider_->SetPos(position); }

void CMainWindow::EnableSlider(bool enabled) { slider_->setEnabled(enabled); }

void CMainWindow::ShowStatusBar(std::optional<sessions::StatusBarSpan> span) { status_bar_->ShowSpan(span); }

void CMainWindow::ShowPlaySpeed(int speed_index) { speed_->ShowIndex(speed_index, view_.player_speeds); }

void CMainWindow::LatchPlaybackButton(std::optional<ControlId> id) {
  if (id && !InRange(*id, kPlaybackGroup.first, kPlaybackGroup.last)) return;
  Latch(kPlaybackGroup.first, id);
}

void CMainWindow::SetBoldDays(uint32_t day_mask) { calendar_->SetBoldDays(day_mask); }

sessions::CalendarDate CMainWindow::CalendarDate() const {
  const QDate date = calendar_->selectedDate();
  return {date.year(), date.month(), date.day()};
}

void CMainWindow::SetFileRows(const std::vector<sessions::FileListRow>& rows) { file_list_->SetRows(rows); }

std::optional<int> CMainWindow::SelectedFileRow() const { return file_list_->SelectedRow(); }

void CMainWindow::OnRemovablePosition(int position) {
  // The ends are the player's own markers, not places in the file.
  if (mode() == ViewerMode::kRemovablePlayer && position > 0 && position < 3600) slider_->SetPos(position);
}

void CMainWindow::OnVideoCardAnalysis(int performance) {
  video_card_capable_ = performance != 0;
  if (!video_card_capable_) {
    dialogs_.ShowMessageBox(this, platform::LoadString(332), BoxIcon::kInformation);
  }
  ShowDvrButtons(view_.dvr_buttons);
}

void CMainWindow::OnConnectRequest(const ConnectionRequest& request) {
  if (!view_.connect_requests) return;
  if (IShellViewer* viewer = CurrentViewer()) viewer->OnConnectRequest(request);
}

void CMainWindow::ShowMessage(const std::string& text, BoxIcon icon) { dialogs_.ShowMessageBox(this, text, icon); }

void CMainWindow::ClearConnectFields() { connect_panel_->ClearFields(); }

sessions::LogonFields CMainWindow::ReadLogonFields() const {
  return {logon_prompt_->user_edit()->text().toStdString(), logon_prompt_->password_edit()->text().toStdString()};
}

void CMainWindow::ClearLogonFields() {
  logon_prompt_->user_edit()->clear();
  logon_prompt_->password_edit()->clear();
}

void CMainWindow::ClearLogonPassword() { logon_prompt_->password_edit()->clear(); }

bool CMainWindow::IsButtonEnabled(ControlId id) const {
  const CHoverButton* found = button(id);
  return found != nullptr && found->isEnabled();
}

void CMainWindow::EnableButton(ControlId id, bool enabled) {
  if (CHoverButton* found = button(id)) found->setEnabled(enabled);
}

void CMainWindow::LatchButton(ControlId id, bool latched) {
  if (CHoverButton* found = button(id)) found->SetLatched(latched);
}

void CMainWindow::ShowDvrChannels(const std::array<uint8_t, 8>& pan_tilt, int channel_count) {
  dvr_panel_->ShowChannels(pan_tilt, channel_count);
}

void CMainWindow::EnablePanTiltArrows(uint8_t arrows) { channel_panel_->EnableArrows(arrows); }

void CMainWindow::ShowPtzPresets(bool shown) {
  ptz_presets_->setVisible(shown);
  if (shown) ptz_presets_->raise();
}

void CMainWindow::ShowSlotStatus(int slot, const sessions::SlotStatus& status) {
  if (slot < 0 || slot >= 4) return;
  slot_marks_[slot]->Show(status, QString("DVR %1").arg(slot + 1));
}

void CMainWindow::OfferReconnect(bool shown) { connect_panel_->OfferReconnect(shown); }

void CMainWindow::OpenAddressBook(ListKind list) {
  CAddressBookDialog dialog(this, dialogs_, list);
  RunDialog(dialog);
  connect_panel_->FillCombos();
}

void CMainWindow::OpenSetup() {
  CSetupDialog dialog(this, dialogs_, modems_ ? modems_() : std::vector<std::string>{});
  RunDialog(dialog);
  event_log_->ShowTimes(CEventLog::TimesShownSetting());
}

void CMainWindow::OpenAbout() {
  CAboutBox about(this);
  RunDialog(about);
}

void CMainWindow::OpenSaveFileList() {
  CSaveFileListDialog dialog(this, ImageFolder(), [this](const std::string& path, const media::SavedImage& image) {
    CImagePreviewDialog preview(this, dialogs_, QString::fromStdString(path), QString::fromStdString(image.date),
                                QString::fromStdString(image.time));
    RunDialog(preview);
  });
  RunDialog(dialog);
}

bool CMainWindow::CaptureImage() {
  std::string path;
  if (video_ == nullptr || !video_->isVisible() || CaptureViewer(*this, *video_, &path) != CaptureResult::kSaved) {
    return false;
  }
  AddEventLog(0xFFFFFF, platform::LoadString(177));
  AddEventLog(0xFFFFFF, path);
  return true;
}

bool CMainWindow::RunSelectDevice() {
  CSelectDeviceDialog dialog(this);
  const int answer = RunDialog(dialog);
  if (answer != CSelectDeviceDialog::kHardDisk && answer != CSelectDeviceDialog::kCompactDisk) return false;
  // The removable viewer opens the device and reports its own failures.
  if (IShellViewer* viewer = CurrentViewer()) return viewer->OpenDevice(answer);
  dialogs_.ShowMessageBox(this,
                          answer == CSelectDeviceDialog::kHardDisk ? "Can not find Removable hard disk drive !!!"
                                                                   : "Can not find Backup CD !!!",
                          BoxIcon::kError);
  return false;
}

void CMainWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawPixmap(0, 0, skin::Pixmap(view_.background));
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

void CMainWindow::OpenShortcutsPage() {
  CShortcutsPage page(this);
  RunDialog(page);
}

}  // namespace shell
