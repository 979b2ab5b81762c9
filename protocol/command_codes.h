// Command codes of the DVR's command port and file download port.
#pragma once

#include <cstddef>
#include <cstdint>

namespace protocol {

// Command port, client to DVR.
namespace cmd {
inline constexpr uint32_t AUTH_DATA = 0x0101;
inline constexpr uint32_t REQ_LIVESTREAM = 0x0301;
inline constexpr uint32_t CHANNEL_CHANGE = 0x0302;
inline constexpr uint32_t REQ_STOP_LIVESTREAM = 0x0303;
inline constexpr uint32_t REQ_SEARCH = 0x0401;
inline constexpr uint32_t REQ_MONTHINFO = 0x0402;
inline constexpr uint32_t REQ_RECDAYINFO = 0x0403;
inline constexpr uint32_t REQ_PLAYBACK = 0x0601;
inline constexpr uint32_t REQ_RECSTATUSBAR = 0x0602;
inline constexpr uint32_t REQ_TRICKMODE = 0x0604;
inline constexpr uint32_t REQ_JUMPSTREAM = 0x0605;
inline constexpr uint32_t REQ_STOP_RECSTREAM = 0x0606;
inline constexpr uint32_t REQ_REVERSE_PLAYBACK = 0x0607;
inline constexpr uint32_t REQ_FORWARD_PLAYBACK = 0x0608;
inline constexpr uint32_t REQ_PANTILT = 0x0801;
inline constexpr uint32_t REQ_LOGFILE_BY_DATE = 0x0803;
inline constexpr uint32_t REQ_DVR_STATUS = 0x0804;
inline constexpr uint32_t BYPASS = 0x0A01;
inline constexpr uint32_t KEEP_ALIVE = 0x0C00;

// Command port, DVR to client.
inline constexpr uint32_t BYPASS_REPLY = 0x0B01;
inline constexpr uint32_t BYPASS_REPLY_2 = 0x0B02;
inline constexpr uint32_t REQ_AUTHENTICATION = 0x5101;
inline constexpr uint32_t LOGON_RESULT = 0x5102;
inline constexpr uint32_t RESP_LIVESTREAM = 0x5301;
inline constexpr uint32_t RESP_CHANNEL_CHANGE = 0x5303;
inline constexpr uint32_t RESP_STOP_LIVESTREAM = 0x5304;
inline constexpr uint32_t RESP_SEARCH = 0x5400;
inline constexpr uint32_t RESP_RECMONTHINFO = 0x5401;
inline constexpr uint32_t RESP_RECDAYINFO = 0x5402;
inline constexpr uint32_t RESP_PLAYBACK = 0x5601;
inline constexpr uint32_t RESP_RECSTATUSBAR = 0x5602;
inline constexpr uint32_t RESP_TRICKMODE = 0x5605;
inline constexpr uint32_t RESP_JUMPSTREAM = 0x5607;
inline constexpr uint32_t RESP_STOP_RECSTREAM = 0x5608;
inline constexpr uint32_t RESP_REVERSE_PLAYBACK = 0x5609;
inline constexpr uint32_t RESP_FORWARD_PLAYBACK = 0x5610;
inline constexpr uint32_t RESP_SPEED_PLAYBACK = 0x5611;
inline constexpr uint32_t RESP_PLAYBACK_IGNORED = 0x5612;
inline constexpr uint32_t RESP_LOGFILE_BY_DATE = 0x5803;
inline constexpr uint32_t RESP_DVR_STATUS = 0x5804;
inline constexpr uint32_t SENSOR_ALARM = 0x6001;
inline constexpr uint32_t MOTION_ALARM = 0x6002;
inline constexpr uint32_t ADMIN_NOTICE = 0x6003;
inline constexpr uint32_t DVR_NOTICE = 0xFF01;
}  // namespace cmd

// Mainboard sub-codes: the first payload byte of the requests that carry one.
namespace sub {
inline constexpr uint8_t kSearch = 0x18;
inline constexpr uint8_t kMonthInfo = 0x19;
inline constexpr uint8_t kRecDayInfo = 0x1A;
inline constexpr uint8_t kPlayback = 0x1D;
inline constexpr uint8_t kRecStatusBar = 0x0F;
inline constexpr uint8_t kTrickForward = 0x09;
inline constexpr uint8_t kTrickBack = 0x07;
inline constexpr uint8_t kJumpStream = 0x10;
inline constexpr uint8_t kStopPlaying = 0x08;
inline constexpr uint8_t kCloseRecStream = 0x33;
inline constexpr uint8_t kReversePlayback = 0x06;
inline constexpr uint8_t kForwardPlayback = 0x0A;
inline constexpr uint8_t kPanTilt = 0x16;
inline constexpr uint8_t kLogfileByDate = 0x13;
inline constexpr uint8_t kDvrStatus = 0x11;
inline constexpr uint8_t kBypass = 0x74;  // "t"
inline constexpr uint8_t kFileInfo = 0x21;
inline constexpr uint8_t kFileData = 0x22;
inline constexpr uint8_t kFileDownload = 0x23;
inline constexpr uint8_t kCancelFileDownload = 0x24;
}  // namespace sub

// Sub-codes of BYPASS (second payload byte) and BYPASS_REPLY (after the result).
namespace bypass {
inline constexpr uint8_t kRecordEventType = 0x11;
inline constexpr uint8_t kPlaybackPosition = 0x0F;
inline constexpr uint8_t kEmailSetting = 0x62;  // "b"
inline constexpr uint8_t kStopAlarmOut = 0x76;  // "v"
inline constexpr uint8_t kLight = 0x77;         // "w"
}  // namespace bypass

// Result bytes of replies.
namespace result {
inline constexpr uint8_t kSuccess = 0x00;
inline constexpr uint8_t kAdminBusy = 0x51;  // "Q"
inline constexpr uint8_t kWrongUser = 0x11;
inline constexpr uint8_t kWrongPassword = 0x12;
inline constexpr uint8_t kStopLiveConfirmed = 0x41;  // "A"
inline constexpr uint8_t kAdminUsing = 0x11;         // ADMIN_NOTICE
}  // namespace result

// File download port.
namespace file_cmd {
inline constexpr uint32_t AUTH_DATA = 0x0101;
inline constexpr uint32_t REQ_FILEINFO = 0x0201;
inline constexpr uint32_t REQ_FILEDATA = 0x0201;
inline constexpr uint32_t REQ_FILEDOWNLOAD = 0x0701;
inline constexpr uint32_t CANCEL_FILEDOWNLOAD = 0x0702;
inline constexpr uint32_t REQ_AUTHENTICATION = 0x5101;
inline constexpr uint32_t LOGON_RESULT = 0x5102;
inline constexpr uint32_t RESP_FILEDOWNLOAD = 0x5701;
inline constexpr uint32_t RESP_FILEINFO = 0x5702;
inline constexpr uint32_t FILE_DATA = 0x5703;
inline constexpr uint32_t FILEDOWNLOAD_COMPLETE = 0x5704;
inline constexpr uint32_t RESP_CANCEL_FILEDOWNLOAD = 0x5705;
}  // namespace file_cmd

// Receive buffers: one header plus the largest payload a session accepts.
inline constexpr size_t kCommandMaxPayload = 61440;
inline constexpr size_t kFileMaxPayload = 202752;

}  // namespace protocol
