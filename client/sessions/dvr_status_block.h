// The DVR status dialog's side of its two data blocks: the texts it shows of
// the status block the DVR sends with RESP_DVR_STATUS, and the e-mail and
// call service setting block the client sends back after BYPASS "t" "b".
// The blocks are decoded in protocol/service_replies.h.
//
// Plain values and functions, usable from any thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/service_replies.h"

namespace sessions {

using DvrStatusBlock = protocol::DvrStatusBlock;
using ServiceSettingBlock = protocol::ServiceSettingBlock;

// The texts of the dialog's display fields.
std::string CapacityText(const DvrStatusBlock& status);   // "80 GB"
std::string FirstDiskText(const DvrStatusBlock& status);  // "16GB/80GB"
std::string SecondDiskText(const DvrStatusBlock& status);
std::string FlagText(const DvrStatusBlock& status);                // "ON" / "OFF"
std::string DottedAddress(const std::array<uint8_t, 4>& address);  // most significant first

// The settings as the status block reports them, for the dialog's edit fields.
ServiceSettingBlock SettingOf(const DvrStatusBlock& status);
// Address, a zero byte, three zero-terminated texts: 8 bytes plus the texts.
std::vector<uint8_t> BuildSettingBlock(const ServiceSettingBlock& setting);

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
