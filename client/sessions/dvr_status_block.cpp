#include "client/sessions/dvr_status_block.h"

#include <cstdio>

#include "protocol/byte_reader.h"
#include "protocol/payload.h"

namespace sessions {
namespace {

// A text must end inside the block; the limit is the block itself, so an
// unterminated one fails the reader instead of running into the next field.
std::string Text(protocol::ByteReader& reader, size_t block_size) { return reader.cstring(block_size + 1); }

std::string Pair(uint16_t first, uint16_t second) {
  char text[32];
  std::snprintf(text, sizeof text, "%dGB/%dGB", first, second);
  return text;
}

}  // namespace

std::optional<DvrStatusBlock> DecodeStatusBlock(std::span<const uint8_t> block) {
  protocol::ByteReader reader(block);
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

std::string CapacityText(const DvrStatusBlock& status) {
  char text[16];
  std::snprintf(text, sizeof text, "%d GB", status.capacity_gb);
  return text;
}

std::string FirstDiskText(const DvrStatusBlock& status) {
  return Pair(status.first_disk_gb, status.first_disk_total_gb);
}

std::string SecondDiskText(const DvrStatusBlock& status) {
  return Pair(status.second_disk_gb, status.second_disk_total_gb);
}

std::string FlagText(const DvrStatusBlock& status) { return status.flag != 0 ? "ON" : "OFF"; }

std::string DottedAddress(const std::array<uint8_t, 4>& address) {
  char text[16];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", address[0], address[1], address[2], address[3]);
  return text;
}

ServiceSettingBlock SettingOf(const DvrStatusBlock& status) {
  return {status.service_address, status.email, status.dvr_id, status.call_number};
}

std::vector<uint8_t> BuildSettingBlock(const ServiceSettingBlock& setting) {
  protocol::PayloadWriter out;
  for (uint8_t byte : setting.address) out.u8(byte);
  out.u8(0);
  out.cstring(setting.email).cstring(setting.dvr_id).cstring(setting.call_number);
  return out.take();
}

std::optional<ServiceSettingBlock> DecodeSettingBlock(std::span<const uint8_t> block) {
  protocol::ByteReader reader(block);
  ServiceSettingBlock setting;
  for (auto& byte : setting.address) byte = reader.u8();
  reader.u8();
  setting.email = Text(reader, block.size());
  setting.dvr_id = Text(reader, block.size());
  setting.call_number = Text(reader, block.size());
  if (!reader.ok()) return std::nullopt;
  return setting;
}

}  // namespace sessions
