#include "client/shell/player_host.h"

#include <cstdio>

#include "client/sessions/session_ui.h"
#include "client/shell/shell_window.h"
#include "platform/trace.h"

namespace shell {
namespace {

using enum ControlId;

constexpr const char* kSpeedTexts[] = {"[EVENT] Play Speed x1/8", "[EVENT] Play Speed x1/4", "[EVENT] Play Speed x1/2",
                                       "[EVENT] Play Speed x1", "[EVENT] Play Speed x2"};
constexpr ControlId kTrickPlayButtons[] = {kFastReverse, kReversePlay, kFrameBack, kFrameForward,
                                           kFastForward, kSpeedDown,   kSpeedUp};

std::string Format(const char* format, auto... values) {
  char text[160];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

}  // namespace

CPlayerHost::CPlayerHost(IShellWindow& window, ViewerMode mode, media::CMediaPlayerCtl* control,
                         const PlayerDispIds& ids, const PlayerTexts& texts)
    : window_(window), viewer_mode_(mode), control_(control), ids_(ids), texts_(texts) {
  control_->hide();
  rotation_.setInterval(kPlayerRotationPeriodMs);
  connect(&rotation_, &QTimer::timeout, this, &CPlayerHost::RotationTick);
  connect(control_, &media::CMediaPlayerCtl::PlayerEvent, this, [this](int kind, int value) {
    if (active()) OnPlayerEvent(kind, value);
  });
}

CPlayerHost::~CPlayerHost() = default;

bool CPlayerHost::active() const { return window_.mode() == viewer_mode_; }

int CPlayerHost::Call(int dispid, const QVariantList& args) {
  if (!control_) {
    Trace("%s", texts_.destroyed);
    return 0;
  }
  return control_->Invoke(dispid, args);
}

void CPlayerHost::Enter() {
  if (!control_) {
    Trace("%s", texts_.destroyed);
    return;
  }
  control_->setGeometry(112, 20, 694, 521);
  control_->show();
  control_->raise();
  speed_index_ = kRestingSpeedIndex;
  window_.ShowPlaySpeed(speed_index_);
  SetPlayButtons(false);
  SetChannelButtons(0);
}

void CPlayerHost::Leave() {
  StopRotation();
  if (control_) {
    control_->hide();
    if (Call(ids_.reset) == 0) Trace("%s reset control resource !!!", texts_.prefix);
  } else {
    Trace("%s", texts_.destroyed);
  }
  recording_ = false;
  window_.LatchButton(kRecord, false);
  ready_ = false;
  SetPlayButtons(false);
  SetChannelButtons(0);
  window_.EnableSlider(false);
  window_.LatchPlaybackButton(std::nullopt);
  selection_ = media::kAllEight;
  channel_count_ = 0;
  speed_index_ = kRestingSpeedIndex;
  mode_ = HostPlayMode::kStopped;
}

void CPlayerHost::SetPlayButtons(bool enabled) {
  for (int id = ToInt(kFastReverse); id <= ToInt(kRecord); ++id)
    window_.EnableButton(static_cast<ControlId>(id), enabled);
}

void CPlayerHost::SetChannelButtons(int count) {
  for (int n = 1; n <= 8; ++n) window_.EnableButton(CameraButton(n - 1), n <= count);
  window_.EnableButton(kLayout1Ch, count >= 1);
  window_.EnableButton(kLayout4Ch, count >= 4);
  window_.EnableButton(kLayout8Ch, count >= 8);
  window_.EnableButton(kRotation, count >= 1);
}

void CPlayerHost::OnCommand(ControlId id) {
  if (!active()) return;
  if (const auto cell = CellOfCamera(id); cell && *cell < 8) return ChannelButton(*cell + 1);
  switch (id) {
    case kFastReverse:
    case kReversePlay:
    case kFrameBack:
    case kFrameForward:
    case kPlay:
    case kFastForward:
      return PressPlayButton(id);
    case kStop:
      return StopCommand();
    case kSpeedUp:
      return ChangeSpeed(+1);
    case kSpeedDown:
      return ChangeSpeed(-1);
    case kRecord:
      return ToggleRecording();
    case kLayout1Ch:
      StopRotation();
      return SingleLayout();
    case kLayout4Ch:
      StopRotation();
      return QuadLayout(false);
    case kLayout8Ch:
      StopRotation();
      return EightLayout();
    case kRotation:
      return ToggleRotation();
    case kFileSelect:
      return Select();
    default:
      return OnOtherCommand(id);
  }
}

void CPlayerHost::PressPlayButton(ControlId id) {
  struct Press {
    ControlId button;
    int dispid;
    HostPlayMode mode;
    const char* text;
  };
  const Press presses[] = {
      {kFastForward, ids_.fast_forward, HostPlayMode::kFastForward, "[EVENT] Fast Forward play"},
      {kFastReverse, ids_.fast_reverse, HostPlayMode::kFastReverse, "[EVENT] Fast Reverse play"},
      {kPlay, ids_.forward, HostPlayMode::kForward, "[EVENT] Forward Play (x1)"},
      {kReversePlay, ids_.reverse, HostPlayMode::kReverse, "[EVENT] Reverse Play (x1)"},
      {kFrameForward, ids_.frame_forward, HostPlayMode::kFrameForward, "[EVENT] Frame by frame"},
      {kFrameBack, ids_.frame_back, HostPlayMode::kFrameBack, "[EVENT] Frame by back"},
  };
  for (const Press& press : presses) {
    if (press.button != id) continue;
    // While recording only forward x1 plays; its buttons are disabled too.
    if (recording_ && id != kPlay) return;
    Call(press.dispid);
    mode_ = press.mode;
    speed_index_ = kRestingSpeedIndex;
    window_.ShowPlaySpeed(speed_index_);
    window_.AddEventLog(sessions::kEventColour, press.text);
    return;
  }
}

void CPlayerHost::StopCommand() {
  StopRotation();
  Call(ids_.stop);
  if (recording_) {
    if (Call(ids_.record) == 0) Trace("%s Recording error !!!", texts_.prefix);
    recording_ = false;
    window_.LatchButton(kRecord, false);
    window_.AddEventLog(sessions::kEventColour, "[EVENT] File Recording Stop...");
    for (ControlId id : kTrickPlayButtons) window_.EnableButton(id, ready_);
  }
  mode_ = HostPlayMode::kStopped;
  speed_index_ = kRestingSpeedIndex;
  window_.ShowPlaySpeed(speed_index_);
  window_.LatchPlaybackButton(kStop);
  window_.AddEventLog(sessions::kEventColour, "[EVENT] Stop");
}

void CPlayerHost::ChangeSpeed(int step) {
  if (mode_ != HostPlayMode::kForward && mode_ != HostPlayMode::kReverse) return;
  const int next = speed_index_ + step;
  if (next < 0 || next > 4) return;
  speed_index_ = next;
  Call(ids_.speed, {kPlayerSpeeds[speed_index_]});
  window_.ShowPlaySpeed(speed_index_);
  window_.AddEventLog(sessions::kEventColour, kSpeedTexts[speed_index_]);
}

void CPlayerHost::ToggleRecording() {
  if (mode_ != HostPlayMode::kForward || speed_index_ != kRestingSpeedIndex) return;
  const bool on = !recording_;
  Trace("%s File Recording %s", texts_.short_prefix, on ? "Start..." : "Stop...");
  if (Call(ids_.record) == 0) {
    // Nothing is recorded: the button must not say otherwise.
    Trace("%s Recording error !!!", texts_.prefix);
    return;
  }
  recording_ = on;
  window_.LatchButton(kRecord, recording_);
  for (ControlId id : kTrickPlayButtons) window_.EnableButton(id, !recording_);
  window_.AddEventLog(sessions::kEventColour,
                      on ? "[EVENT] File Recording Start..." : "[EVENT] File Recording Stop...");
}

bool CPlayerHost::Layout(int selection) {
  selection_ = selection;
  if (Call(ids_.layout, {selection}) == 0) {
    Trace("%s Channel change failed (%d)", texts_.prefix, selection);
    return false;
  }
  return true;
}

void CPlayerHost::ChannelButton(int n) {
  if (!ready_) return;
  int selection = n;
  if (n > channel_count_) {
    // One past the last channel keeps the layout; further ones show channel 1.
    if (n == channel_count_ + 1) return;
    selection = 1;
  }
  StopRotation();
  window_.AddEventLog(sessions::kEventColour, Format("[EVENT] Ch.%d 1X1 Align Mode", selection));
  Trace("%s Channel change single full %dCh !!!", texts_.prefix, selection);
  if (Layout(selection)) next_single_ = selection >= channel_count_ ? 1 : selection + 1;
  window_.LatchLayoutButton(kLayout1Ch);
}

void CPlayerHost::SingleLayout() {
  if (!ready_) return;
  const int selection = next_single_ > std::max(channel_count_, 1) ? 1 : next_single_;
  window_.AddEventLog(sessions::kEventColour, Format("[EVENT] Ch.%d 1X1 Align Mode", selection));
  Trace("%s Channel change single full %dCh !!!", texts_.prefix, selection);
  if (Layout(selection)) next_single_ = selection >= channel_count_ ? 1 : selection + 1;
  window_.LatchLayoutButton(kLayout1Ch);
}

void CPlayerHost::QuadLayout(bool from_rotation) {
  if (!ready_) return;
  int selection = media::kQuadLow;
  if (channel_count_ == 8 && selection_ == media::kQuadLow) selection = media::kQuadHigh;
  if (from_rotation) Trace("%s Rotation Quad channel %d", texts_.short_prefix, selection);
  Layout(selection);
  window_.AddEventLog(sessions::kEventColour, "[EVENT] 2x2 Align Mode");
  window_.LatchLayoutButton(kLayout4Ch);
}

void CPlayerHost::EightLayout() {
  if (!ready_ || channel_count_ != 8) return;
  Trace("%s Channel change Mux full 8Ch !!!", texts_.prefix);
  Layout(media::kAllEight);
  window_.AddEventLog(sessions::kEventColour, "[EVENT] 3x3 Align Mode");
  window_.LatchLayoutButton(kLayout8Ch);
}

void CPlayerHost::ToggleRotation() {
  if (!ready_ || selection_ == media::kAllEight) return;
  if (rotation_.isActive()) {
    StopRotation();
    return;
  }
  rotation_.start();
  window_.LatchButton(kRotation, true);
  Trace("%s Channel Rotation Start...", texts_.short_prefix);
}

void CPlayerHost::StopRotation() {
  if (!rotation_.isActive()) return;
  rotation_.stop();
  window_.LatchButton(kRotation, false);
  Trace("%s Channel Rotation Stop...", texts_.short_prefix);
}

void CPlayerHost::RotationTick() {
  if (selection_ == media::kAllEight) {
    rotation_.stop();
    window_.LatchButton(kRotation, false);
    Trace("%s Can't 8Ch Division mode rotation end...", texts_.short_prefix);
    return;
  }
  if (selection_ == media::kQuadLow || selection_ == media::kQuadHigh) {
    QuadLayout(true);
  } else {
    SingleLayout();
  }
}

void CPlayerHost::FileReady() {
  ready_ = true;
  SetPlayButtons(true);
  SetChannelButtons(std::max(channel_count_, 1));
  StopCommand();
}

void CPlayerHost::FileNotPlaying() {
  ready_ = false;
  SetPlayButtons(false);
  SetChannelButtons(0);
  window_.AddEventLog(sessions::kAlertColour, "[ALERT] The selected file is not playing.");
}

void CPlayerHost::OnPlayerEvent(int kind, int value) {
  if (kind == media::kEventPlaying) {
    if (value == 1) {
      FileReady();
    } else {
      FileNotPlaying();
    }
  } else if (kind == media::kEventClose) {
    Leave();
  }
}

}  // namespace shell
