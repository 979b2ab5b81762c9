#include "client/shell/shell_search_ui.h"

#include "client/shell/shell_window.h"
#include "client/shell/time_to_time_dialog.h"
#include "client/shell/ui_thread.h"

namespace shell {
namespace {

using enum ControlId;
using sessions::ConnectionState;
using sessions::PlaybackDirection;

constexpr ControlId kPlaybackButtons[] = {kFastReverse, kReversePlay, kFrameBack, kStop,    kFrameForward,
                                          kPlay,        kFastForward, kSpeedDown, kSpeedUp, kRecord};

std::optional<ControlId> ButtonOf(PlaybackDirection direction) {
  switch (direction) {
    case PlaybackDirection::kStopped:
      return kStop;
    case PlaybackDirection::kForward:
      return kPlay;
    case PlaybackDirection::kReverse:
      return kReversePlay;
    case PlaybackDirection::kFastForward:
      return kFastForward;
    case PlaybackDirection::kFastReverse:
      return kFastReverse;
    case PlaybackDirection::kFrameForward:
      return kFrameForward;
    case PlaybackDirection::kFrameBack:
      return kFrameBack;
  }
  return std::nullopt;
}

}  // namespace

bool CShellSearchUi::InSearchMode() const { return window_.mode() == ViewerMode::kRemoteSearch; }

void CShellSearchUi::ReportConnectionState(int slot, ConnectionState state) {
  RunOnUiThread([this, slot, state] {
    // The search mode has one DVR only.
    if (slot != 0) return;
    state_ = state;
    if (!InSearchMode()) return;
    switch (state) {
      case ConnectionState::kIdle:
        window_.ClearConnectFields();
        window_.ClearLogonFields();
        window_.SetPanel(LowerPanel::kConnect);
        break;
      case ConnectionState::kFailed:
        window_.SetPanel(LowerPanel::kConnect);
        break;
      case ConnectionState::kAwaitingLogon:
        window_.SetPanel(LowerPanel::kLogonPrompt);
        break;
      case ConnectionState::kSearchLoggedOn:
        window_.SetPanel(LowerPanel::kFile);
        break;
      case ConnectionState::kLiveLoggedOn:
      case ConnectionState::kConnecting:
        break;
    }
  });
}

void CShellSearchUi::ResetConnectionControls() {
  RunOnUiThread([this] {
    window_.ClearConnectFields();
    window_.LatchButton(kRecord, false);
    window_.LatchButton(kRotation, false);
    window_.LatchPlaybackButton(std::nullopt);
    window_.SetSliderPos(0);
    if (InSearchMode()) {
      window_.ClearLogonFields();
      window_.SetPanel(LowerPanel::kConnect);
    }
  });
}

void CShellSearchUi::SetBoldDays(uint32_t day_mask) {
  RunOnUiThread([this, day_mask] { window_.SetBoldDays(day_mask); });
}

sessions::CalendarDate CShellSearchUi::CalendarCurrentDate() {
  sessions::CalendarDate date;
  RunOnUiThread([this, &date] { date = window_.CalendarDate(); });
  return date;
}

void CShellSearchUi::SetFileListRows(const std::vector<sessions::FileListRow>& rows) {
  RunOnUiThread([this, &rows] { window_.SetFileRows(rows); });
}

std::optional<int> CShellSearchUi::SelectedFileRow() {
  std::optional<int> row;
  RunOnUiThread([this, &row] { row = window_.SelectedFileRow(); });
  return row;
}

void CShellSearchUi::SetPlaybackPosition(int seconds) {
  RunOnUiThread([this, seconds] { window_.SetSliderPos(seconds); });
}

void CShellSearchUi::EnablePlaybackPosition(bool enabled) {
  RunOnUiThread([this, enabled] { window_.EnableSlider(enabled); });
}

void CShellSearchUi::ShowStatusBar(std::optional<sessions::StatusBarSpan> span) {
  RunOnUiThread([this, span] { window_.ShowStatusBar(span); });
}

void CShellSearchUi::ShowPlaybackSpeed(int speed_index) {
  RunOnUiThread([this, speed_index] { window_.ShowPlaySpeed(speed_index); });
}

void CShellSearchUi::ShowPlaybackDirection(PlaybackDirection direction) {
  RunOnUiThread([this, direction] { window_.LatchPlaybackButton(ButtonOf(direction)); });
}

void CShellSearchUi::EnableChannelButtons(int count) {
  RunOnUiThread([this, count] {
    for (int cell = 0; cell < 16; ++cell) window_.EnableButton(CameraButton(cell), cell < count);
    for (ControlId layout : {kLayout1Ch, kLayout4Ch, kLayout8Ch}) window_.EnableButton(layout, count > 0);
  });
}

void CShellSearchUi::EnablePlaybackButtons(bool enabled) {
  RunOnUiThread([this, enabled] {
    for (ControlId id : kPlaybackButtons) window_.EnableButton(id, enabled);
  });
}

void CShellSearchUi::ShowSelectedView(int view) {
  RunOnUiThread([this, view] {
    for (int cell = 0; cell < 16; ++cell) window_.LatchButton(CameraButton(cell), cell == view);
    window_.LatchLayoutButton(view < sessions::kViewQuad1to4 ? kLayout1Ch
                              : view < sessions::kViewAll    ? kLayout4Ch
                                                             : kLayout8Ch);
  });
}

std::optional<int> CShellSearchUi::RunTimeToTimeDialog(const sessions::PlaybackRange& range) {
  std::optional<int> minute;
  RunOnUiThread([this, &range, &minute] { minute = AskStartMinute(window_.dialogs(), window_.host(), range); });
  return minute;
}

// The file download dialog comes with the download work; until then the
// viewer's request opens nothing.
void CShellSearchUi::OpenFileDownloadDialog(const sessions::FileDownloadRecord&) {}

}  // namespace shell
