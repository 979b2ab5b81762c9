#include "protocol/service_replies.h"

#include "protocol/byte_reader.h"

namespace protocol {
namespace {

// A text must end inside the block; the limit is the block itself, so an
// unterminated one fails the reader instead of running into the next field.
std::string Text(ByteReader& reader, size_t block_size) { return reader.cstring(block_size + 1); }

std::optional<uint8_t> FirstByte(std::span<const uint8_t> bytes) {
  if (bytes.empty()) return std::nullopt;
  return bytes[0];
}

template <typename Body, typename Decode>
std::optional<ResultReply<Body>> DecodeResultReply(std::span<const uint8_t> payload, Decode decode) {
  if (payload.empty()) return std::nullopt;
  ResultReply<Body> reply;
  reply.result = payload[0];
  const auto body = payload.subspan(1);
  reply.body_bytes = body.size();
  if (reply.succeeded()) reply.body = decode(body);
  return reply;
}

}  // namespace

std::optional<DvrStatusBlock> DecodeStatusBlock(std::span<const uint8_t> block) {
  ByteReader reader(block);
  const size_t size = block.size();
  DvrStatusBlock status;
  status.version = Text(reader, size);
  status.model = Text(reader, size);
  status.capacity_gb = reader.u16be();
  status.first_disk_gb = reader.u16be();
  status.second_disk_gb = reader.u16be();
  status.text6 = Text(reader, size);
  status.text7 = Text(reader, size);
  status.address = Text(reader, size);
  for (auto& byte : status.service_address) byte = reader.u8();
  status.unused = reader.u8();
  status.email = Text(reader, size);
  status.flag = reader.u8();
  status.dvr_id = Text(reader, size);
  status.call_number = Text(reader, size);
  status.first_disk_total_gb = reader.u16be();
  status.second_disk_total_gb = reader.u16be();
  if (!reader.ok()) return std::nullopt;
  return status;
}

std::optional<ServiceSettingBlock> DecodeSettingBlock(std::span<const uint8_t> block) {
  ByteReader reader(block);
  ServiceSettingBlock setting;
  for (auto& byte : setting.address) byte = reader.u8();
  reader.u8();
  setting.email = Text(reader, block.size());
  setting.dvr_id = Text(reader, block.size());
  setting.call_number = Text(reader, block.size());
  if (!reader.ok()) return std::nullopt;
  return setting;
}

std::optional<DvrLogPage> DecodeLogPage(std::span<const uint8_t> answer) {
  ByteReader reader(answer);
  DvrLogPage page;
  page.page_count = reader.u32le();
  page.declared_records = reader.u8();
  if (!reader.ok()) return std::nullopt;
  for (int i = 0; i < page.declared_records && reader.remaining() >= kLogRecordBytes; ++i) {
    DvrLogRecord record;
    record.hour = reader.u8();
    record.minute = reader.u8();
    record.second = reader.u8();
    reader.skip(1);
    record.code = reader.u16be();
    for (auto& byte : record.address) byte = reader.u8();
    page.records.push_back(record);
  }
  return page;
}

std::optional<ResultReply<DvrStatusBlock>> DecodeDvrStatusReply(std::span<const uint8_t> payload) {
  return DecodeResultReply<DvrStatusBlock>(payload, DecodeStatusBlock);
}

std::optional<ResultReply<DvrLogPage>> DecodeLogPageReply(std::span<const uint8_t> payload) {
  return DecodeResultReply<DvrLogPage>(payload, DecodeLogPage);
}

std::optional<ResultReply<uint8_t>> DecodeAlarm(std::span<const uint8_t> payload) {
  return DecodeResultReply<uint8_t>(payload, FirstByte);
}

std::optional<uint8_t> DecodeLightState(std::span<const uint8_t> data) { return FirstByte(data); }

}  // namespace protocol
