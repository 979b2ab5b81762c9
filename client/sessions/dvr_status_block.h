// The two data blocks of the DVR status dialog: the status block the DVR
// sends with RESP_DVR_STATUS, and the e-mail and call service setting block
// the client sends back after BYPASS "t" "b"; with the texts the dialog shows.
//
// Plain values and functions, usable from any thread.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sessions {

// The status block, fields in wire order. Numbers are big-endian on the wire.
struct DvrStatusBlock {
  std::string version;                    // 1: control 1157
  std::string model;                      // 2: 1159
  uint16_t capacity_gb = 0;               // 3: 1162, "%d GB"
  uint16_t first_disk_gb = 0;             // 4: first number of 1165
  uint16_t second_disk_gb = 0;            // 5: first number of 1166
  std::string text6;                      // 6: 1167
  std::string text7;                      // 7: 1168
  std::string address;                    // 8: 1047, the DVR's address as text
  std::array<uint8_t, 4> service_address{};  // 9: most significant byte first
  uint8_t unused = 0;                     // 10
  std::string email;                      // 11: edit 1163
  uint8_t flag = 0;                       // 12: 1169, "ON" / "OFF"
  std::string dvr_id;                     // 13: edit 1180
  std::string call_number;                // 14: edit 1181
  uint16_t first_disk_total_gb = 0;       // 15: second number of 1165
  uint16_t second_disk_total_gb = 0;      // 16: second number of 1166
};

// Nothing when the block ends before its last field or a text is not
// terminated within the block: a half-read block would fill the dialog with
// another field's bytes.
std::optional<DvrStatusBlock> DecodeStatusBlock(std::span<const uint8_t> block);

// The texts of the dialog's display fields.
std::string CapacityText(const DvrStatusBlock& status);         // "80 GB"
std::string FirstDiskText(const DvrStatusBlock& status);        // "16GB/80GB"
std::string SecondDiskText(const DvrStatusBlock& status);
std::string FlagText(const DvrStatusBlock& status);             // "ON" / "OFF"
std::string DottedAddress(const std::array<uint8_t, 4>& address);  // most significant first

// The e-mail and call service setting.
struct ServiceSettingBlock {
  std::array<uint8_t, 4> address{};  // most significant byte first
  std::string email;
  std::string dvr_id;
  std::string call_number;
};

// The settings as the status block reports them, for the dialog's edit fields.
ServiceSettingBlock SettingOf(const DvrStatusBlock& status);
// Address, a zero byte, three zero-terminated texts: 8 bytes plus the texts.
std::vector<uint8_t> BuildSettingBlock(const ServiceSettingBlock& setting);
std::optional<ServiceSettingBlock> DecodeSettingBlock(std::span<const uint8_t> block);

// The light status byte: bits 4-7 say lights 1-4 exist, bits 0-3 which are on.
inline bool LightExists(uint8_t status, int light) { return (status >> (3 + light)) & 1; }
// On only when it exists as well.
inline bool LightShownOn(uint8_t status, int light) {
  return LightExists(status, light) && ((status >> (light - 1)) & 1);
}
// The byte sent when light n's box is switched: its on-bit follows the box,
// the presence bits go back as they came.
inline uint8_t SwitchLight(uint8_t status, int light, bool on) {
  const uint8_t bit = static_cast<uint8_t>(1u << (light - 1));
  return on ? static_cast<uint8_t>(status | bit) : static_cast<uint8_t>(status & ~bit);
}

}  // namespace sessions
