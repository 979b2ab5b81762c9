// One search connection made the way the client makes it: the search viewer
// and its session, with the viewer engine playing the recorded stream into a
// frame capture.
//
// Threads: constructed and used on one thread, which runs the Qt event loop.
#pragma once

#include <chrono>
#include <memory>

#include "client/kaviroctl/frame_capture.h"
#include "client/kaviroctl/live_link.h"
#include "client/kaviroctl/search_console_ui.h"
#include "client/sessions/search_viewer.h"
#include "platform/trace.h"
#include "viewer_control/engine/vistrel_engine.h"

namespace kaviroctl {

class SearchLink {
 public:
  explicit SearchLink(bool quiet);
  ~SearchLink();

  // Logs on in search mode with the calendar on `date` and waits for that
  // day's file list, or fails.
  Outcome Connect(const LinkTarget& target, const sessions::CalendarDate& date, std::chrono::seconds timeout);
  // Plays the selected row (from `from_minute` when given) and waits for its
  // stream to come up, or for the DVR's refusal.
  Outcome Play(int row, std::optional<int> from_minute, std::chrono::seconds timeout);
  // Why a logged-on link went down.
  Outcome LossOutcome() const;
  void Disconnect();

  bool connected() const;
  bool month_info_failed() const;
  FrameCapture& frames() { return frames_; }
  vistrel::VistrelEngine& engine() { return engine_; }
  sessions::CSearchViewer& viewer() { return *viewer_; }
  ConsoleSearchUi& ui() { return ui_; }

 private:
  Outcome ClassifyConnectFailure() const;

  platform::TraceCapture trace_;
  ConsoleSearchUi ui_;
  FrameCapture frames_;
  vistrel::VistrelEngine engine_;
  std::unique_ptr<sessions::CSearchViewer> viewer_;
};

}  // namespace kaviroctl
