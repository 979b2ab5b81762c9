#include "client/shell/search_mode.h"

#include "client/sessions/search_viewer.h"
#include "client/shell/shell_window.h"

namespace shell {
namespace {

using enum ControlId;

}  // namespace

CSearchMode::CSearchMode(IShellWindow& window, CVistrelAdapter& vistrel, sessions::Pinger pinger)
    : window_(window), vistrel_(vistrel), ui_(window) {
  viewer_ = std::make_unique<sessions::CSearchViewer>(ui_, vistrel_.methods(), std::move(pinger));
}

CSearchMode::~CSearchMode() {
  if (vistrel_.event_target() == viewer_.get()) vistrel_.SetEventTarget(nullptr);
  viewer_->Disconnect();
  // The session ends before the control it feeds.
  viewer_.reset();
}

void CSearchMode::Enter() {
  vistrel_.SetEventTarget(viewer_.get());
  // The controls as after a disconnect: nothing to play until a file streams.
  viewer_->ResetControls();
}

void CSearchMode::Leave() {
  viewer_->Disconnect();
  vistrel_.SetEventTarget(nullptr);
}

void CSearchMode::ShowLayout(ControlId id) {
  const int view = viewer_->shown_view();
  switch (id) {
    case kLayout1Ch:
      viewer_->ShowChannel(view < sessions::kViewQuad1to4 ? view : 0);
      break;
    case kLayout4Ch:
      // Again on a quad: the other four channels, where the DVR has them.
      viewer_->ShowQuad(view == sessions::kViewQuad1to4 && viewer_->session().channel_count() > 4 ? 4 : 0);
      break;
    case kLayout8Ch:
      viewer_->ShowAllChannels();
      break;
    default:
      break;
  }
}

void CSearchMode::OnCommand(ControlId id) {
  if (const auto cell = CellOfCamera(id)) {
    if (*cell < 8) viewer_->ShowChannel(*cell);
    return;
  }
  switch (id) {
    case kMonthCalendar:
      viewer_->ChangeCalendarDate(window_.CalendarDate());
      break;
    case kFileSelect:
      viewer_->PlaySelectedFile();
      break;
    case kTimeSelect:
      viewer_->TimeToTimePlayback();
      break;
    case kDownload:
      viewer_->DownloadSelectedFile();
      break;
    case kFastReverse:
      viewer_->FastReverse();
      break;
    case kReversePlay:
      viewer_->ReversePlay();
      break;
    case kFrameBack:
      viewer_->FrameBack();
      break;
    case kStop:
      viewer_->Stop();
      break;
    case kFrameForward:
      viewer_->FrameForward();
      break;
    case kPlay:
      viewer_->ForwardPlay();
      break;
    case kFastForward:
      viewer_->FastForward();
      break;
    case kSpeedUp:
      viewer_->Faster();
      break;
    case kSpeedDown:
      viewer_->Slower();
      break;
    case kRecord:
      viewer_->ToggleRecording();
      break;
    case kLayout1Ch:
    case kLayout4Ch:
    case kLayout8Ch:
      ShowLayout(id);
      break;
    case kRotation:
      viewer_->ToggleRotation();
      break;
    case kLogonOk:
      viewer_->session().SubmitLogon();
      break;
    case kDisconnect:
      viewer_->Disconnect();
      break;
    case kLight:
      // The light dialog comes with the service dialogs; the status request
      // is what it opens with.
      viewer_->session().RequestLightStatus();
      break;
    default:
      break;
  }
}

void CSearchMode::OnConnectRequest(const ConnectionRequest& request) {
  viewer_->session().SetLogonData(request.address, request.port, request.user_name.value_or(""),
                                  request.password.value_or(""), request.network);
}

void CSearchMode::OnSliderSeek(int position) { viewer_->Jump(position); }

bool CSearchMode::HoldsPlaybackGroup() const { return viewer_->recording(); }

}  // namespace shell
