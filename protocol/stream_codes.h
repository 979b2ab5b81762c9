// Command codes of the DVR's stream port (command port + 1).
#pragma once

#include <cstddef>
#include <cstdint>

namespace protocol::stream {

// Control to DVR.
inline constexpr uint32_t SNDAUTHDATA = 0x0101;
inline constexpr uint32_t RCVREADY = 0x0201;
inline constexpr uint32_t REQRECSTREAM = 0x0603;
// DVR to control.
inline constexpr uint32_t REQ_AUTHENTICATION = 0x5101;
inline constexpr uint32_t LOGON_RESULT = 0x5102;
inline constexpr uint32_t LIVE_VIDEO_DATA = 0x5302;
inline constexpr uint32_t RESP_RECSTREAM = 0x5603;
inline constexpr uint32_t RECORD_VIDEO_DATA = 0x5604;
inline constexpr uint32_t BYPASS_REPLY = 0x0B01;
inline constexpr uint32_t BYPASS_REPLY_2 = 0x0B02;
inline constexpr uint32_t DVR_NOTICE = 0xFF01;

// Payload bytes of RCVREADY and REQRECSTREAM.
inline constexpr uint8_t RCVREADY_LIVE = 0x40;
inline constexpr uint8_t RCVREADY_REMOTEPLAY = 0x32;
inline constexpr uint8_t NET_REQRECSTREAM = 0x30;

// The stream session's receive buffer takes payloads up to this size.
inline constexpr size_t kMaxPayload = 253440;
// The VOL packet begins with a visual object start code; its first 19 bytes
// are the VOL header of every channel of the stream.
inline constexpr size_t kVolHeaderSize = 19;
inline constexpr uint8_t kVolStart[4] = {0x00, 0x00, 0x01, 0x01};
inline constexpr uint8_t kUserDataStart[4] = {0x00, 0x00, 0x01, 0xB2};

}  // namespace protocol::stream
