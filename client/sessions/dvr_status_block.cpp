#include "client/sessions/dvr_status_block.h"

#include <cstdio>

#include "protocol/payload.h"

namespace sessions {
namespace {

std::string Pair(uint16_t first, uint16_t second) {
  char text[32];
  std::snprintf(text, sizeof text, "%dGB/%dGB", first, second);
  return text;
}

}  // namespace

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

}  // namespace sessions
