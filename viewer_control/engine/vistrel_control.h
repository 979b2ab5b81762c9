// The viewer control as the project's own layers call it: the seven methods
// of the control's dispatch interface with typed results, and why a session's
// recording failed. The engine, the control widget and the test stand-ins
// implement it; the live viewer calls it. Only the control's automation
// surface (VistrelCtl's short* methods and Invoke) turns the results into
// HRESULTs and 1 / 0 out values.
//
// Called on the thread that owns the control (the user-interface thread).
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vistrel {

// What a method did. At the automation surface kDone is S_OK with 1, kRefused
// and kFailed are E_FAIL with 0 (except for DisconnectStreamPort, where a
// failed disconnect is S_OK with 0), and kNotConnected is S_OK with the out
// value left as the caller set it.
enum class ControlResult {
  kDone = 1,
  // An argument outside its range, or a state that forbids the call.
  kRefused,
  // The step itself failed (a connect or disconnect of the stream socket).
  kFailed,
  // DisconnectStreamPort on a session that is not connected: nothing done.
  kNotConnected,
};

class IVistrelControl {
 public:
  virtual ~IVistrelControl() = default;

  // Done means only that the receive thread started: the TCP connection is
  // reported by the Connect event.
  virtual ControlResult ConnectStreamPort(int nSessionOfNum, const std::string& bstrIPAddress, uint16_t nPort,
                                          const std::string& bstrUserName, const std::string& bstrPassword) = 0;
  virtual ControlResult DisconnectStreamPort(int nSessionOfNum) = 0;
  // The result of the last disconnect attempted; kDone when there was none.
  virtual ControlResult DisconnectAllStreamPort() = 0;
  // varDstChannel: entry k is the display slot (0-15) of stream channel k + 1.
  virtual ControlResult SetStreamSessionInfo(int nSessionOfNum, std::span<const uint8_t> varDstChannel,
                                             int nChannelOfNum, int nVideoStreamMode) = 0;
  virtual ControlResult SetAlignChannelMode(int nDstChannel, int nChannelPerRow) = 0;
  // varRecType: one byte per channel of the session.
  virtual ControlResult SetRecordEventType(int nSessionOfNum, std::span<const uint8_t> varRecType) = 0;
  // Switching on is refused when nothing could be recorded.
  virtual ControlResult SetMpeg4Recording(int nSessionOfIndex, int nRecording) = 0;
  // Why the session's recording could not start or stopped writing: the file
  // or folder and the system's error text; empty while nothing failed.
  virtual std::string RecordingFailureText(int nSessionOfIndex) = 0;
};

}  // namespace vistrel
