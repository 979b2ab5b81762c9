// Kaviro's view of the Vistrel viewer control: the seven methods of its
// dispatch interface, with their argument lists and results (S_OK or E_FAIL,
// and a 16-bit out value of 1 or 0 where the method writes one), and why a
// session's recording failed.
//
// Called on the thread that owns the control (the user-interface thread).
#pragma once

#include <cstdint>
#include <string>

namespace sessions {

class IVistrelControl {
 public:
  virtual ~IVistrelControl() = default;

  virtual int32_t ConnectStreamPort(int nSessionOfNum, const std::string& bstrIPAddress, short nPort,
                                    const std::string& bstrUserName, const std::string& bstrPassword,
                                    short* pVal) = 0;
  virtual int32_t DisconnectStreamPort(int nSessionOfNum, short* pVal) = 0;
  virtual int32_t DisconnectAllStreamPort(short* pVal) = 0;
  // varDstChannel: 16 display slots, entry k for stream channel k + 1.
  virtual int32_t SetStreamSessionInfo(int nSessionOfNum, const uint8_t* varDstChannel,
                                       int nChannelOfNum, int nVideoStreamMode, short* pVal) = 0;
  virtual int32_t SetAlignChannelMode(int nDstChannel, int nChannelPerRow, short* pVal) = 0;
  // varRecType: one byte per channel of the session.
  virtual int32_t SetRecordEventType(int nSessionOfNum, const uint8_t* varRecType, short* pVal) = 0;
  // Switching on fails with E_FAIL when nothing could be recorded.
  virtual int32_t SetMpeg4Recording(int nSessionOfIndex, int nRecording, short* pVal) = 0;
  // Why the session's recording could not start or stopped writing: the file
  // or folder and the system's error text; empty while nothing failed.
  virtual std::string RecordingFailureText(int nSessionOfIndex) = 0;
};

}  // namespace sessions
