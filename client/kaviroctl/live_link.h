// One live connection made the way the client makes it: a live session on
// slot 0 of a live viewer, with the viewer engine receiving and decoding the
// stream into a frame capture.
//
// Threads: constructed and used on one thread, which runs the Qt event loop
// through Pump.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "client/kaviroctl/console_ui.h"
#include "client/kaviroctl/frame_capture.h"
#include "client/sessions/live_viewer.h"
#include "platform/trace.h"
#include "viewer_control/engine/vistrel_engine.h"

namespace kaviroctl {

// The trace lines the commands act on; the link keeps only these, so that a
// long run or a flood from the peer cannot grow its memory.
enum class LinkTrace {
  kStatusFailed = 1,
  kLogFailed,
  kLightFailed,
  kRefused,
  kUnreachable,
  kLogonSent,
  kLoggedOn,
  kStopped,
  kSettingDone,
  kSettingFailed,
};

struct LinkTarget {
  std::string host = "127.0.0.1";
  uint16_t port = 4000;
  std::string user = "admin";
  std::string password;
  // Over the modem bridge: `host` is then the telephone number.
  bool modem = false;
  // A drop is followed by attempts with the client's back-off.
  bool reconnect = false;
};

class LiveLink {
 public:
  explicit LiveLink(bool quiet);
  ~LiveLink();

  // Logs on and waits until the control's stream is up, or fails.
  Outcome Connect(const LinkTarget& target, std::chrono::seconds timeout);
  // Runs the event loop until `done` holds (true) or the time is up (false);
  // an interrupt (SIGINT, SIGTERM) ends it early, as the time being up.
  bool Pump(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  // Runs the event loop for `duration`; false when the connection went first.
  bool PumpWhileConnected(std::chrono::milliseconds duration);
  // Why a logged-on link went down: the administrator took the DVR over, or
  // the connection was lost.
  Outcome LossOutcome() const;
  void Disconnect();

  // The live session holds its command connection.
  bool connected() const;
  // The slot's state; reconnecting after a drop while it waits or tries.
  const sessions::SlotStatus& status() const { return viewer_->SlotStatusOf(0); }
  int channel_count() const;
  uint8_t pan_tilt_mask() const;
  // The display slot that shows a stream channel (1-based).
  int SlotOfChannel(int channel) const;
  FrameCapture& frames() { return frames_; }
  vistrel::IVistrelControl& control() { return engine_; }
  sessions::CLiveViewer& viewer() { return *viewer_; }
  ConsoleUi& ui() { return ui_; }
  bool Traced(LinkTrace line) const;
  // How many trace lines the link holds (at most one per LinkTrace).
  size_t trace_lines_held() const { return trace_.Texts().size(); }

 private:
  Outcome ClassifyConnectFailure() const;

  platform::TraceCapture trace_;
  ConsoleUi ui_;
  FrameCapture frames_;
  vistrel::VistrelEngine engine_;
  std::unique_ptr<sessions::CLiveViewer> viewer_;
};

}  // namespace kaviroctl
