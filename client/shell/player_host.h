// CPlayerHost: what the local and the removable player modes share. It hosts
// a player control in the main window and turns the window's buttons into
// calls on it by dispatch identifier (the control's table), keeping the play
// mode, speed, channel layout, recording and rotation, and reacting to the
// control's events while its mode is active.
//
// Threads: user-interface thread only; the control raises its events there.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVariantList>

#include <string>

#include "client/media/media_player_ctl.h"
#include "client/shell/shell_viewer.h"
#include "viewer_control/engine/play_direction.h"

namespace shell {

class IShellWindow;

using HostPlayMode = vistrel::PlayDirection;

inline constexpr int kPlayerRotationPeriodMs = 3000;
inline constexpr int kRestingSpeedIndex = 3;
inline constexpr int kPlayerSpeeds[] = {1, 2, 4, 8, 16};

// The dispatch identifiers a host calls on its control.
struct PlayerDispIds {
  int open, forward, fast_forward, reverse, fast_reverse, stop, record, frame_forward, frame_back, layout, reset, speed;
};

// The texts that differ between the two players.
struct PlayerTexts {
  const char* prefix;        // "[LOCAL PLAYER]"
  const char* short_prefix;  // "[LOCAL PLAYER]" or "[REMOVABLEPLAYER]"
  const char* destroyed;     // the trace of a missing control
};

class CPlayerHost : public QObject, public IShellViewer {
  Q_OBJECT

 public:
  ~CPlayerHost() override;

  void Enter() override;
  void Leave() override;
  void OnCommand(ControlId id) override;
  bool HoldsPlaybackGroup() const override { return recording_; }

  media::CMediaPlayerCtl* control() const { return control_; }
  bool ready() const { return ready_; }
  HostPlayMode play_mode() const { return mode_; }
  int speed_index() const { return speed_index_; }
  int channel_selection() const { return selection_; }
  int channel_count() const { return channel_count_; }
  bool recording() const { return recording_; }
  bool rotating() const { return rotation_.isActive(); }
  // One rotation step, as the timer's.
  void RotationTick();

 protected:
  CPlayerHost(IShellWindow& window, ViewerMode mode, media::CMediaPlayerCtl* control, const PlayerDispIds& ids,
              const PlayerTexts& texts);

  // Calls the control; nothing (0) when it is gone.
  int Call(int dispid, const QVariantList& args = {});
  virtual void Select() = 0;
  virtual void OnOtherCommand(ControlId) {}
  // The control's player event, only while the mode is active.
  virtual void OnPlayerEvent(int kind, int value);
  void FileReady();
  void FileNotPlaying();
  void SetPlayButtons(bool enabled);
  void SetChannelButtons(int count);
  void StopCommand();
  // Sends the channel selection to the control; false when it refused.
  bool Layout(int selection);
  void PressPlayButton(ControlId id);
  bool active() const;

  IShellWindow& window_;
  const ViewerMode viewer_mode_;
  QPointer<media::CMediaPlayerCtl> control_;
  const PlayerDispIds ids_;
  const PlayerTexts texts_;
  bool ready_ = false;
  HostPlayMode mode_ = HostPlayMode::kStopped;
  int speed_index_ = kRestingSpeedIndex;
  int selection_ = media::kAllEight;
  int channel_count_ = 0;
  int next_single_ = 1;
  bool recording_ = false;

 private:
  void ChangeSpeed(int step);
  void ToggleRecording();
  void ChannelButton(int n);
  void SingleLayout();
  void QuadLayout(bool from_rotation);
  void EightLayout();
  void ToggleRotation();
  void StopRotation();

  QTimer rotation_;
};

}  // namespace shell
