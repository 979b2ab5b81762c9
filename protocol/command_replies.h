// Typed decoders for the command-port replies that the command-session core
// and the live session act on. Each is a pure function: payload bytes in, the
// reply's fields or std::nullopt ("malformed") out.
//
// A refusal may end after its result byte (the DVR sends no more with it); a
// success must carry every field that follows, else it is malformed: an
// empty or cut-short reply must never read as success.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace protocol {

struct LogonResult {
  uint8_t result = 0;
  uint8_t level = 0;  // meaningful only with a successful result
};

struct LiveStreamReply {
  uint8_t result = 0;
  uint8_t pan_tilt_mask = 0;  // bit i: channel i+1 has a pan/tilt head
  uint8_t channel_count = 0;
};

struct BypassReply {
  uint8_t result = 0;
  std::optional<uint8_t> sub_code;  // always present on success
  std::span<const uint8_t> data;    // what follows the sub-code; views the payload
};

std::optional<LogonResult> DecodeLogonResult(std::span<const uint8_t> payload);
std::optional<LiveStreamReply> DecodeLiveStreamReply(std::span<const uint8_t> payload);
std::optional<BypassReply> DecodeBypassReply(std::span<const uint8_t> payload);
// RESP_CHANNEL_CHANGE: the result byte.
std::optional<uint8_t> DecodeChannelChangeReply(std::span<const uint8_t> payload);
// RESP_STOP_LIVESTREAM: the answer byte (kStopLiveConfirmed when stopped).
std::optional<uint8_t> DecodeStopLiveStreamReply(std::span<const uint8_t> payload);
// ADMIN_NOTICE and DVR_NOTICE: the kind byte.
std::optional<uint8_t> DecodeNotice(std::span<const uint8_t> payload);

}  // namespace protocol
