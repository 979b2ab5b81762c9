// CMediaPlayerCtl: what the local and the removable player controls share,
// built on Vistrel's pieces: the video window and cell layout of the viewer
// control, and the media playback (decoder channels fed through the picture
// feed). Each control is called by dispatch identifier through its own
// table, as the outside controls were, and raises their events as signals.
//
// Threads: the control belongs to the UI thread; every method is called and
// every signal raised there. The playback's worker draws into the video
// window (see video_view.h) and reports positions and recording failures,
// which are posted to the UI thread before they become signals.
#pragma once

#include <QImage>
#include <QVariantList>
#include <QWidget>

#include <cstdint>
#include <map>
#include <memory>

#include "client/media/engine/local_recording.h"
#include "client/media/engine/media_playback.h"
#include "viewer_control/control/cell_layout.h"

namespace vistrel {
class VideoView;
}

namespace media {

// The methods behind the two controls' dispatch identifiers.
enum class PlayerMethod : int {
  kOpen = 1,
  kOpenAtMinute,
  kForward,
  kFastForward,
  kReverse,
  kFastReverse,
  kStop,
  kToggleRecording,
  kFrameForward,
  kFrameBack,
  kChannelSelection,
  kReset,
  kJump,
  kSpeed,
};

// Channel selections: 1-8 one channel, these three the quads and all eight.
inline constexpr int kQuadLow = 9;
inline constexpr int kQuadHigh = 10;
inline constexpr int kAllEight = 11;

// Player event kinds (the first argument of the player event).
inline constexpr int kEventPlaying = 0;
inline constexpr int kEventChannels = 15;
inline constexpr int kEventClose = 16;

class CMediaPlayerCtl : public QWidget, private IPlaybackListener {
  Q_OBJECT

 public:
  using DispatchTable = std::map<int, PlayerMethod>;

  ~CMediaPlayerCtl() override;

  // Calls a method by dispatch identifier: integers, QString for a path,
  // QByteArray for the open descriptor. The 16-bit result, 0 for failure; an
  // unknown identifier or wrong arguments give 0.
  int16_t Invoke(int dispid, const QVariantList& args);

  MediaPlayback& playback() { return playback_; }
  int display_mode() const { return display_mode_; }
  int channel_selection() const { return selection_; }
  // What the video window draws: layout, captions and REC marks.
  vistrel::LayoutState video_layout() const;
  QImage CaptureVideo();

 signals:
  // (kind, value): kind 0 value 1 the file plays, else it does not; kind 15
  // the channel count (241, 244, 248); kind 16 the player closes.
  void PlayerEvent(int kind, int value);
  // The playback position in seconds within the hour.
  void PositionEvent(int position);

 protected:
  CMediaPlayerCtl(const DispatchTable& table, const char* trace_prefix, QWidget* parent);

  // Opens the file a control's open arguments name; false when it cannot.
  virtual bool OpenFile(const QVariantList& args, LoadedRecording* loaded) = 0;
  // What a control announces once a file plays.
  virtual void AnnounceOpened() = 0;
  void resizeEvent(QResizeEvent* event) override;

  const char* trace_prefix_;

 private:
  int16_t Call(PlayerMethod method, const QVariantList& args);
  bool Open(const QVariantList& args);
  bool SelectChannels(int selection);
  void ResetPlayer();
  // The REC marks of the cells follow the playback's recording.
  void ShowRecording();
  // IPlaybackListener, on the playback's thread: posted to the UI thread.
  void PositionChanged(int second_in_hour) override;
  void RecordingFailed(int error) override;

  const DispatchTable& table_;
  vistrel::SteadyPlaybackClock clock_;
  int display_mode_ = 0;
  int selection_ = kAllEight;
  vistrel::VideoView* view_ = nullptr;  // child widget
  MediaPlayback playback_;              // after the view: its worker draws into it
};

}  // namespace media
