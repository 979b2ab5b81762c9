// The search viewer's playback commands, speeds, jumps, layouts, rotation
// and recording.
#include <QTimer>

#include <array>
#include <cstdio>

#include "client/sessions/search_viewer.h"
#include "platform/result_codes.h"
#include "platform/trace.h"
#include "protocol/command_codes.h"

namespace sessions {
namespace {

namespace sub = protocol::sub;

constexpr uint8_t kFastCode = 0x20;
constexpr std::array<uint8_t, kSpeedCount> kSpeedCodes = {1, 2, 4, 8, 16};
constexpr int kMaxSingleChannel = 7;

bool PlaysAtSpeed(PlaybackDirection direction) {
  return direction == PlaybackDirection::kForward || direction == PlaybackDirection::kReverse;
}

}  // namespace

bool CSearchViewer::RefusedWhileRecording() {
  if (!recording_) return false;
  ui_.ShowMessage("While video recording, there is not a possibility of playback control.", MessageIcon::kInformation);
  return true;
}

void CSearchViewer::Command(int sent, PlaybackDirection after, const char* event) {
  // A request that did not go out changes nothing here either.
  if (sent != 0) return;
  direction_ = after;
  ui_.ShowPlaybackDirection(after);
  ui_.AddEventLog(kEventColour, event);
  speed_index_ = 0;
  ui_.ShowPlaybackSpeed(0);
}

void CSearchViewer::FastForward() {
  if (RefusedWhileRecording()) return;
  Command(session_->RequestForwardPlayback(kFastCode), PlaybackDirection::kFastForward, "[EVENT] Fast Forward play");
}

void CSearchViewer::FastReverse() {
  if (RefusedWhileRecording()) return;
  Command(session_->RequestReversePlayback(kFastCode), PlaybackDirection::kFastReverse, "[EVENT] Fast Reverse play");
}

void CSearchViewer::ForwardPlay() {
  Command(session_->RequestForwardPlayback(kSpeedCodes[0]), PlaybackDirection::kForward, "[EVENT] Forward Play (x1)");
}

void CSearchViewer::ReversePlay() {
  if (RefusedWhileRecording()) return;
  Command(session_->RequestReversePlayback(kSpeedCodes[0]), PlaybackDirection::kReverse, "[EVENT] Reverse Play (x1)");
}

void CSearchViewer::FrameForward() {
  if (RefusedWhileRecording()) return;
  Command(session_->RequestTrickmode(sub::kTrickForward), PlaybackDirection::kFrameForward, "[EVENT] Frame by frame");
}

void CSearchViewer::FrameBack() {
  if (RefusedWhileRecording()) return;
  Command(session_->RequestTrickmode(sub::kTrickBack), PlaybackDirection::kFrameBack, "[EVENT] Frame by back");
}

void CSearchViewer::Stop() {
  if (RefusedWhileRecording()) return;
  const int sent = session_->RequestStopRecordStream(sub::kStopPlaying, StopKind::kDisconnect);
  Command(sent, PlaybackDirection::kStopped, "[EVENT] Stop");
  if (sent == 0) StopRotation();
}

void CSearchViewer::Faster() { ChangeSpeed(+1); }

void CSearchViewer::Slower() { ChangeSpeed(-1); }

void CSearchViewer::ChangeSpeed(int step) {
  if (!PlaysAtSpeed(direction_)) return;
  if (RefusedWhileRecording()) return;
  const int index = speed_index_ + step;
  if (index < 0 || index >= kSpeedCount) return;
  const uint8_t code = kSpeedCodes[static_cast<size_t>(index)];
  const int sent = direction_ == PlaybackDirection::kForward ? session_->RequestForwardPlayback(code)
                                                             : session_->RequestReversePlayback(code);
  if (sent != 0) return;
  speed_index_ = index;
  ui_.ShowPlaybackSpeed(index);
  char event[32];
  std::snprintf(event, sizeof event, "[EVENT] Play Speed x%d", code);
  ui_.AddEventLog(kEventColour, event);
}

void CSearchViewer::Jump(int seconds) {
  if (!PlaysAtSpeed(direction_)) return;
  if (seconds < start_seconds_ || seconds > end_seconds_) return;
  if (session_->RequestJump(seconds / 60) != 0) return;
  Trace("[SEARCH DVR 0] Jump playback time : %d min", seconds / 60);
}

void CSearchViewer::SetAlign(int start, int per_row) {
  if (control_ == nullptr || control_->SetAlignChannelMode(start, per_row) != vistrel::ControlResult::kDone) {
    Trace("[SEARCH SESSION %d] VistrelCtl change channel align mode failed !!!", session_->index());
  }
}

void CSearchViewer::ShowChannel(int channel) {
  const int count = session_->channel_count();
  if (channel < 0 || channel > kMaxSingleChannel || channel >= count) return;
  view_ = channel;
  SetAlign(channel, 1);
  char event[48];
  std::snprintf(event, sizeof event, "[EVENT] Ch.%d 1X1 Align Mode", channel + 1);
  ui_.AddEventLog(kEventColour, event);
  next_channel_ = channel + 1 < count ? channel + 1 : 0;
  ui_.ShowSelectedView(view_);
}

void CSearchViewer::ShowQuad(int first_channel) {
  if (first_channel == 4) {
    view_ = kViewQuad5to8;
    Trace("[SEARCH DVR 0] Channel change Quad full 5-8Ch !!!");
    next_quad_ = 0;
  } else {
    first_channel = 0;
    view_ = kViewQuad1to4;
    Trace("[SEARCH DVR 0] Channel change Quad full 1-4Ch !!!");
    next_quad_ = session_->channel_count() == 4 ? 0 : 4;
  }
  SetAlign(first_channel, 2);
  ui_.AddEventLog(kEventColour, "[EVENT] 2x2 Align Mode");
  ui_.ShowSelectedView(view_);
}

void CSearchViewer::ShowAllChannels() {
  view_ = kViewAll;
  SetAlign(0, 3);
  ui_.AddEventLog(kEventColour, "[EVENT] 3x3 Align Mode");
  ui_.ShowSelectedView(view_);
  // Nothing is left to rotate through.
  StopRotation();
}

void CSearchViewer::ToggleRotation() {
  if (rotation_->isActive()) {
    StopRotation();
    return;
  }
  if (view_ == kViewAll) return;
  rotation_->start();
  Trace("[SEARCH DVR 0] Channel Rotation Start !!!");
  ui_.ShowRotation(true);
}

void CSearchViewer::StopRotation() {
  if (!rotation_->isActive()) return;
  rotation_->stop();
  Trace("[SEARCH DVR 0] Channel Rotation Stop !!!");
  ui_.ShowRotation(false);
}

void CSearchViewer::RotateOnce() {
  if (view_ <= kMaxSingleChannel) {
    ShowChannel(next_channel_);
  } else if (view_ == kViewQuad1to4 || view_ == kViewQuad5to8) {
    ShowQuad(next_quad_);
  }
}

void CSearchViewer::ToggleRecording() {
  if (!recording_ && direction_ != PlaybackDirection::kForward) {
    ui_.ShowMessage("Only at the time of normal forward is possibility of recording.", MessageIcon::kInformation);
    return;
  }
  const bool on = !recording_;
  Trace(on ? "[SEARCH DVR 0] File Recording Start..." : "[SEARCH DVR 0] File Recording Stop...");
  if (control_ == nullptr) {
    Trace("[SEARCH DVR %d] Mpeg4StreamCtl is destroy !!!", session_->index());
    return;
  }
  if (control_->SetMpeg4Recording(session_->index(), on ? 1 : 0) != vistrel::ControlResult::kDone && on) {
    // Nothing is being recorded: the indicator stays off and the operator learns why.
    ui_.ShowRecording(false);
    ui_.ShowMessage("DVR 1, Recording failed.\n" + control_->RecordingFailureText(session_->index()),
                    MessageIcon::kError);
    return;
  }
  recording_ = on;
  ui_.ShowRecording(on);
  // The search session's DVR is always DVR 1 in its texts.
  ui_.AddEventLog(kEventColour, RecordingEventLine(1, on));
}

void CSearchViewer::StopRecording() {
  if (!recording_) return;
  recording_ = false;
  ui_.ShowRecording(false);
  Trace("[SEARCH DVR 0] File Recording Stop...");
  if (control_ != nullptr) control_->SetMpeg4Recording(session_->index(), 0);
  ui_.AddEventLog(kEventColour, RecordingEventLine(1, false));
}

}  // namespace sessions
