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
#include "client/kaviroctl/engine_control.h"
#include "client/kaviroctl/frame_capture.h"
#include "client/sessions/live_viewer.h"
#include "platform/trace.h"
#include "viewer_control/engine/vistrel_engine.h"

namespace kaviroctl {

struct LinkTarget {
  std::string host = "127.0.0.1";
  uint16_t port = 4000;
  std::string user = "admin";
  std::string password;
};

class LiveLink {
 public:
  explicit LiveLink(bool quiet);
  ~LiveLink();

  // Logs on and waits until the control's stream is up, or fails.
  Outcome Connect(const LinkTarget& target, std::chrono::seconds timeout);
  // Runs the event loop until `done` holds (true) or the time is up (false).
  bool Pump(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  void Disconnect();

  // The live session holds its command connection.
  bool connected() const;
  int channel_count() const;
  uint8_t pan_tilt_mask() const;
  // The display slot that shows a stream channel (1-based).
  int SlotOfChannel(int channel) const;
  FrameCapture& frames() { return frames_; }
  sessions::IVistrelControl& control() { return control_; }
  sessions::CLiveViewer& viewer() { return *viewer_; }
  ConsoleUi& ui() { return ui_; }
  bool Traced(std::string_view text) const { return trace_.Contains(text); }

 private:
  Outcome ClassifyConnectFailure() const;

  platform::TraceCapture trace_;
  ConsoleUi ui_;
  FrameCapture frames_;
  vistrel::VistrelEngine engine_;
  EngineControl control_;
  std::unique_ptr<sessions::CLiveViewer> viewer_;
};

}  // namespace kaviroctl
