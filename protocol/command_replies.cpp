#include "protocol/command_replies.h"

#include "protocol/byte_reader.h"
#include "protocol/command_codes.h"

namespace protocol {
namespace {

std::optional<uint8_t> FirstByte(std::span<const uint8_t> payload) {
  if (payload.empty()) return std::nullopt;
  return payload.front();
}

}  // namespace

std::optional<LogonResult> DecodeLogonResult(std::span<const uint8_t> payload) {
  ByteReader reader(payload);
  LogonResult reply;
  reply.result = reader.u8();
  if (!reader.ok()) return std::nullopt;
  if (reply.result != result::kSuccess) return reply;
  reply.level = reader.u8();
  if (!reader.ok()) return std::nullopt;
  return reply;
}

std::optional<LiveStreamReply> DecodeLiveStreamReply(std::span<const uint8_t> payload) {
  ByteReader reader(payload);
  LiveStreamReply reply;
  reply.result = reader.u8();
  if (!reader.ok()) return std::nullopt;
  if (reply.result != result::kSuccess) return reply;
  reply.pan_tilt_mask = reader.u8();
  reader.skip(1);  // not read by the client
  reply.channel_count = reader.u8();
  if (!reader.ok()) return std::nullopt;
  return reply;
}

std::optional<BypassReply> DecodeBypassReply(std::span<const uint8_t> payload) {
  ByteReader reader(payload);
  BypassReply reply;
  reply.result = reader.u8();
  if (!reader.ok()) return std::nullopt;
  const uint8_t sub_code = reader.u8();
  if (!reader.ok()) {
    if (reply.result == result::kSuccess) return std::nullopt;
    return reply;
  }
  reply.sub_code = sub_code;
  reply.data = reader.rest();
  return reply;
}

std::optional<uint8_t> DecodeChannelChangeReply(std::span<const uint8_t> payload) { return FirstByte(payload); }

std::optional<uint8_t> DecodeStopLiveStreamReply(std::span<const uint8_t> payload) { return FirstByte(payload); }

std::optional<uint8_t> DecodeNotice(std::span<const uint8_t> payload) { return FirstByte(payload); }

}  // namespace protocol
