#include "client/sessions/log_page.h"

#include <cstdio>

#include "protocol/command_codes.h"
#include "protocol/payload.h"

namespace sessions {
namespace {

struct CodeText {
  uint16_t code;
  const char* text;
};

// Events of the logon class, by the code's low byte.
constexpr CodeText kLogonEvents[] = {
    {0x10, "Login failed"},          {0x11, "Login"},          {0x12, "Logout"},           {0x13, "Download"},
    {0x14, "PTZ Control : Network"}, {0x15, "Command failed"}, {0x90, "No have log list"},
};

// Every other event, by the whole code; a match replaces the logon text.
constexpr CodeText kEvents[] = {
    {0x0000, "Power on"},
    {0x0001, "Power off"},
    {0x0203, "Setup in"},
    {0x0204, "Setup out"},
    {0x0305, "Manual record"},
    {0x0306, "Motion record"},
    {0x0307, "Sensor Record"},
    {0x0308, "Record Stop(Playback)"},
    {0x0309, "Record Stop(Backup)\t"},
    {0x030B, "Record Stop(CD Write)"},
    {0x030C, "Record Restart"},
    {0x0408, "Motion alarm out"},
    {0x0409, "Sensor alarm out"},
    {0x050A, "Motion Buzzer"},
    {0x050B, "Sensor Buzzer"},
    {0x060C, "Freeze on"},
    {0x060D, "Freeze off"},
    {0x070E, "Key lock"},
    {0x070F, "Key unlock"},
    {0x0810, "Search(PB)"},
    {0x0911, "HDD Format(Clear)"},
    {0x0912, "HDD Backup"},
    {0x0A13, "PTZ Control : Local"},
};

constexpr uint16_t kSignalLoss = 0x0102;
constexpr uint8_t kUnknownAddress = 255;

std::string AddressText(const DvrLogRecord& record) {
  if (record.address[0] == kUnknownAddress) return "Unknown address";
  char text[16];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", record.address[3], record.address[2], record.address[1],
                record.address[0]);
  return text;
}

}  // namespace

std::vector<uint8_t> BuildLogRequest(int year, int month, int day, uint32_t page) {
  protocol::PayloadWriter out;
  out.u8(protocol::sub::kLogfileByDate).bcd(year % 100).bcd(month).bcd(day).u32le(page);
  return out.take();
}

std::string LogTimeText(const DvrLogRecord& record) {
  char text[64];
  std::snprintf(text, sizeof text, "%01d%01d : %01d%01d : %01d%01d", record.hour >> 4, record.hour & 0x0F,
                record.minute >> 4, record.minute & 0x0F, record.second >> 4, record.second & 0x0F);
  return text;
}

std::string LogEventText(const DvrLogRecord& record) {
  std::string text;
  const uint8_t low = static_cast<uint8_t>(record.code);
  for (const CodeText& entry : kLogonEvents) {
    if (entry.code != low) continue;
    text = entry.text;
    if (low == 0x11 || low == 0x12) {
      text.push_back(':');
      text.append(AddressText(record));
      text += (record.code >> 8) == 0 ? " (admin)" : " (user)";
    }
  }
  if (record.code == kSignalLoss) {
    char line[32];
    std::snprintf(line, sizeof line, "%s: 1CH", "Signal loss");
    return line;
  }
  for (const CodeText& entry : kEvents) {
    if (entry.code == record.code) return entry.text;
  }
  return text;
}

bool LogPager::Next() {
  if (current_page_ <= 0 || static_cast<uint32_t>(current_page_) >= page_count_) return false;
  ++current_page_;
  return true;
}

bool LogPager::Back() {
  if (current_page_ < 2 || static_cast<uint32_t>(current_page_) > page_count_) return false;
  --current_page_;
  return true;
}

bool LogPager::Accept(const DvrLogPage& page) {
  if (page.page_count == 0) return false;
  page_count_ = page.page_count;
  return true;
}

std::string LogPager::IndicatorText() const {
  char text[32];
  std::snprintf(text, sizeof text, "%d / %u", current_page_, page_count_);
  return text;
}

}  // namespace sessions
