// The events of the viewer control as the project's own layers receive them,
// delivered to the host on the engine's owner thread while the receive thread
// that caused them waits. Every event carries the index of the session it
// concerns; only the control's automation surface passes Close and
// AuthenticationResult on as (0, 0).
#pragma once

namespace vistrel {

class IVistrelEvents {
 public:
  virtual ~IVistrelEvents() = default;
  // The session's TCP connection to the stream port is up: (session index, 0).
  virtual void Connect(int nSessionOfNum, int nResult) = 0;
  // A send or receive failed and the session's protocol state was reset:
  // (session index, 0).
  virtual void Close(int nSessionOfNum, int nResult) = 0;
  // The DVR accepted a live stream's logon and receive-ready was sent:
  // (session index, 0).
  virtual void AuthenticationResult(int nSessionOfNum, int nResult) = 0;
  // A write of the session's recording failed, once per recording: (session
  // index, the system's error number). The host switches the recording off;
  // the session's recording_failure() names the file.
  virtual void RecordingFailed(int nSessionOfNum, int nResult) { (void)nSessionOfNum, (void)nResult; }
};

}  // namespace vistrel
