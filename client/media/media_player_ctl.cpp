#include "client/media/media_player_ctl.h"

#include <array>

#include <QMetaObject>
#include <QResizeEvent>

#include <ctime>

#include "platform/trace.h"
#include "viewer_control/control/video_view.h"

namespace media {
namespace {

// The clock that names a recording's folder.
std::tm LocalNow() {
  const time_t now = time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

}  // namespace

CMediaPlayerCtl::CMediaPlayerCtl(const DispatchTable& table, const char* trace_prefix, QWidget* parent)
    : QWidget(parent),
      trace_prefix_(trace_prefix),
      table_(table),
      view_(vistrel::CreateVideoView(this, &display_mode_)),
      playback_(clock_, view_) {
  playback_.SetListener(this);
  view_->widget()->move(0, 0);
  resize(694, 521);
  SelectChannels(kAllEight);
}

CMediaPlayerCtl::~CMediaPlayerCtl() { playback_.Close(); }

void CMediaPlayerCtl::resizeEvent(QResizeEvent* event) {
  view_->widget()->resize(event->size());
  QWidget::resizeEvent(event);
}

QImage CMediaPlayerCtl::CaptureVideo() { return view_->Capture(); }

int16_t CMediaPlayerCtl::Invoke(int dispid, const QVariantList& args) {
  const auto method = table_.find(dispid);
  if (method == table_.end()) return 0;
  return Call(method->second, args);
}

int16_t CMediaPlayerCtl::Call(PlayerMethod method, const QVariantList& args) {
  auto integer = [&](int index, int* value) {
    if (args.size() <= index || !args[index].canConvert<int>()) return false;
    bool ok = false;
    *value = args[index].toInt(&ok);
    return ok;
  };
  int value = 0;
  switch (method) {
    case PlayerMethod::kOpen:
    case PlayerMethod::kOpenAtMinute:
      return Open(args) ? 1 : 0;
    case PlayerMethod::kForward:
      playback_.SetMode(PlayMode::kForward);
      return 1;
    case PlayerMethod::kFastForward:
      playback_.SetMode(PlayMode::kFastForward);
      return 1;
    case PlayerMethod::kReverse:
      playback_.SetMode(PlayMode::kReverse);
      return 1;
    case PlayerMethod::kFastReverse:
      playback_.SetMode(PlayMode::kFastReverse);
      return 1;
    case PlayerMethod::kStop:
      playback_.SetMode(PlayMode::kStopped);
      return 1;
    case PlayerMethod::kFrameForward:
      playback_.SetMode(PlayMode::kFrameForward);
      return 1;
    case PlayerMethod::kFrameBack:
      playback_.SetMode(PlayMode::kFrameBack);
      return 1;
    case PlayerMethod::kToggleRecording: {
      if (!playback_.is_open()) return 0;
      const bool done = playback_.SetRecording(!playback_.recording(), LocalNow());
      ShowRecording();
      return done ? 1 : 0;
    }
    case PlayerMethod::kChannelSelection:
      return integer(0, &value) && SelectChannels(value) ? 1 : 0;
    case PlayerMethod::kReset:
      ResetPlayer();
      return 1;
    case PlayerMethod::kJump:
      return integer(0, &value) && playback_.JumpTo(value) ? 1 : 0;
    case PlayerMethod::kSpeed:
      if (!integer(0, &value)) return 0;
      playback_.SetSpeed(value);
      return 1;
  }
  return 0;
}

bool CMediaPlayerCtl::Open(const QVariantList& args) {
  ResetPlayer();
  LoadedRecording loaded;
  if (!OpenFile(args, &loaded)) {
    emit PlayerEvent(kEventPlaying, 0);
    return false;
  }
  const int fps = loaded.pictures_per_second;
  if (!playback_.Open(std::move(loaded.media), std::move(loaded.sources), fps) || !playback_.Start()) {
    playback_.Close();
    emit PlayerEvent(kEventPlaying, 0);
    return false;
  }
  // The first frame shows at once; the host then chooses how to play on.
  playback_.ShowFrame(0);
  AnnounceOpened();
  return true;
}

bool CMediaPlayerCtl::SelectChannels(int selection) {
  vistrel::LayoutState layout;
  layout.stream_mode = 2;
  if (selection >= 1 && selection <= 8) {
    layout.first_slot = selection - 1;
    layout.per_row = 1;
  } else if (selection == kQuadLow || selection == kQuadHigh) {
    layout.first_slot = selection == kQuadLow ? 0 : 4;
    layout.per_row = 2;
  } else if (selection == kAllEight) {
    layout.first_slot = 0;
    layout.per_row = 3;
  } else {
    Trace("%s Channel selection %d refused", trace_prefix_, selection);
    return false;
  }
  selection_ = selection;
  view_->SetLayout(layout);
  ShowRecording();
  return true;
}

vistrel::LayoutState CMediaPlayerCtl::video_layout() const { return view_->layout(); }

// Every channel of the file is recorded together: all cells carry the mark.
void CMediaPlayerCtl::ShowRecording() {
  vistrel::LayoutState layout = view_->layout();
  std::array<bool, 16> marks;
  marks.fill(playback_.is_open() && playback_.recording());
  if (layout.recording == marks) return;  // a layout change redraws every cell
  layout.recording = marks;
  view_->SetLayout(layout);
}

void CMediaPlayerCtl::ResetPlayer() {
  playback_.Close();
  ShowRecording();
  for (int slot = 0; slot < 16; ++slot) view_->ChannelClosed(slot);
}

void CMediaPlayerCtl::PositionChanged(int second_in_hour) {
  // Qt drops the call when the control is gone before the UI thread takes it.
  QMetaObject::invokeMethod(
      this, [this, second_in_hour] { emit PositionEvent(second_in_hour); }, Qt::QueuedConnection);
}

void CMediaPlayerCtl::RecordingFailed(int error) { Trace("%s Recording write failed (%d)", trace_prefix_, error); }

}  // namespace media
