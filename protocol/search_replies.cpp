#include "protocol/search_replies.h"

#include "protocol/byte_reader.h"
#include "protocol/command_codes.h"

namespace protocol {
namespace {

// A BCD byte whose nibbles are both digits, as its value; else nothing.
std::optional<int> StrictBcd(uint8_t byte) {
  const int high = byte >> 4;
  const int low = byte & 0x0F;
  if (high > 9 || low > 9) return std::nullopt;
  return high * 10 + low;
}

FileRecord ReadFileRecord(std::span<const uint8_t> bytes) {
  ByteReader reader(bytes);
  FileRecord record;
  record.index = reader.u32le();
  reader.skip(3);  // not read by the client
  record.hour = reader.u8();
  record.start_minute = reader.u8();
  record.start_second = reader.u8();
  record.end_minute = reader.u8();
  record.end_second = reader.u8();
  for (char& letter : record.events) letter = static_cast<char>(reader.u8());
  for (int i = 0; i < 4; ++i) {
    const uint8_t digit = reader.u8();
    if (digit == 0) break;
    record.size.push_back(static_cast<char>(digit));
  }
  return record;
}

}  // namespace

std::optional<SearchReply> DecodeSearchReply(std::span<const uint8_t> payload) {
  ByteReader reader(payload);
  SearchReply reply;
  reply.result = reader.u8();
  if (!reader.ok()) return std::nullopt;
  if (reply.result != result::kSuccess) return reply;
  reply.day_mask = reader.u32le();
  reply.channel_count = reader.u8();
  if (!reader.ok()) return std::nullopt;
  return reply;
}

std::optional<MonthInfoReply> DecodeMonthInfoReply(std::span<const uint8_t> payload) {
  ByteReader reader(payload);
  MonthInfoReply reply;
  reply.result = reader.u8();
  if (!reader.ok()) return std::nullopt;
  if (reply.result != result::kSuccess) return reply;
  reply.day_mask = reader.u32le();
  if (!reader.ok()) return std::nullopt;
  return reply;
}

std::optional<DayInfoReply> DecodeDayInfoReply(std::span<const uint8_t> payload) {
  ByteReader reader(payload);
  DayInfoReply reply;
  reply.result = reader.u8();
  if (!reader.ok()) return std::nullopt;
  if (reply.result != result::kSuccess) return reply;
  while (reader.remaining() >= kFileRecordSize) reply.files.push_back(ReadFileRecord(reader.bytes(kFileRecordSize)));
  return reply;
}

std::optional<PlaybackReply> DecodePlaybackReply(std::span<const uint8_t> payload) {
  ByteReader reader(payload);
  PlaybackReply reply;
  reply.result = reader.u8();
  if (!reader.ok()) return std::nullopt;
  if (reply.result != result::kSuccess && reader.remaining() > 0) reply.reason = reader.u8();
  return reply;
}

std::optional<uint8_t> DecodePlaybackResult(std::span<const uint8_t> payload) {
  if (payload.empty()) return std::nullopt;
  return payload.front();
}

std::optional<uint8_t> DecodeStopRecordStreamReply(std::span<const uint8_t> payload) {
  if (payload.empty()) return std::nullopt;
  return payload.front();
}

std::optional<PlaybackClock> DecodePlaybackClock(std::span<const uint8_t> data) {
  if (data.size() < 2) return std::nullopt;
  const auto minute = StrictBcd(data[0]);
  const auto second = StrictBcd(data[1]);
  if (!minute || !second || *minute > 59 || *second > 59) return std::nullopt;
  return PlaybackClock{*minute, *second};
}

}  // namespace protocol
