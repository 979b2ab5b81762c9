// What each viewer mode shows of the main window. A mode's viewer declares
// its ModeView; the window lays itself out from it, so a new mode brings its
// own declaration instead of another branch in the window.
//
// Threads: plain values, any thread.
#pragma once

#include "client/shell/lower_panels.h"
#include "client/shell/skin_artwork.h"

namespace shell {

// The values are fixed: the mode is exchanged as a number with the viewers.
enum class ViewerMode : int { kIdle = 0, kRemoteLive = 1, kRemoteSearch = 2, kLocalPlayer = 3, kRemovablePlayer = 4 };
inline constexpr int kModeCount = 5;

// The panels of the lower area, one shown at a time (the panel selector).
enum class LowerPanel : int { kConnect = 1, kLogonPrompt = 2, kDvr = 3, kFile = 4, kNone = 5 };

struct ModeView {
  int notice_id = 0;                     // logged when its mode button enters the mode
  const char* title = nullptr;           // the window title set on entry, if any
  int background = skin::res::kFrame;    // the picture painted behind everything
  LowerPanel panel = LowerPanel::kNone;  // the panel shown on entry
  bool working_controls = true;          // Capture, Print, Setup and the event log
  int dvr_buttons = 0;                   // DVR buttons shown; 3 and 4 also need a capable video card
  CChannelPanel::View channel_view = CChannelPanel::kHidden;
  bool full_channel_panel = false;  // 16CH and PTZ usable
  bool cameras = false;             // the sixteen camera buttons
  bool playback = false;            // playback buttons, play speed, slider; Record on the file panel
  bool video = false;               // the video control in its area
  bool remote = false;              // Disconnect and Light on the DVR panel
  bool calendar = false;            // the month calendar and the search file list on the file panel
  bool time_select = false;         // "Time Select Playback" on the file panel
  bool download = false;            // "File Download" on the file panel
  bool slider_seeks = false;        // the operator's slider moves reach the viewer
  bool connect_requests = false;    // the connect panel's requests reach the viewer
  bool choose_device = false;       // "Select Device" runs before the mode is entered
  bool player_speeds = false;       // the speed picture shows x1/8 .. x2 rather than x1 .. x16
};

inline constexpr ModeView kIdleView{
    .title = "Kaviro", .background = skin::res::kMainBackground, .working_controls = false};

inline constexpr ModeView kLiveView{.notice_id = 214,
                                    .panel = LowerPanel::kConnect,
                                    .dvr_buttons = 4,
                                    .channel_view = CChannelPanel::kPtzView,
                                    .full_channel_panel = true,
                                    .cameras = true,
                                    .video = true,
                                    .remote = true,
                                    .connect_requests = true};

inline constexpr ModeView kSearchView{.notice_id = 215,
                                      .panel = LowerPanel::kConnect,
                                      .dvr_buttons = 1,
                                      .channel_view = CChannelPanel::kLayoutView,
                                      .cameras = true,
                                      .playback = true,
                                      .video = true,
                                      .remote = true,
                                      .calendar = true,
                                      .time_select = true,
                                      .download = true,
                                      .slider_seeks = true,
                                      .connect_requests = true};

inline constexpr ModeView kLocalPlayerView{.notice_id = 216,
                                           .panel = LowerPanel::kFile,
                                           .channel_view = CChannelPanel::kLayoutView,
                                           .cameras = true,
                                           .playback = true,
                                           .player_speeds = true};

inline constexpr ModeView kRemovablePlayerView{.notice_id = 217,
                                               .panel = LowerPanel::kFile,
                                               .channel_view = CChannelPanel::kLayoutView,
                                               .cameras = true,
                                               .playback = true,
                                               .calendar = true,
                                               .time_select = true,
                                               .slider_seeks = true,
                                               .choose_device = true,
                                               .player_speeds = true};

}  // namespace shell
