#include "tools/dvremu/dvr_services.h"

#include <algorithm>
#include <random>

#include "protocol/byte_reader.h"
#include "protocol/payload.h"

namespace dvremu {
namespace {

constexpr size_t kMaxSettingText = 255;

void PutU16be(protocol::PayloadWriter& out, uint16_t value) {
  out.u8(static_cast<uint8_t>(value >> 8)).u8(static_cast<uint8_t>(value));
}

// Event codes of the DVR's own log, high byte first on the wire.
constexpr uint16_t kPowerOn = 0x0000;
constexpr uint16_t kLoginAdmin = 0x0011;
constexpr uint16_t kLoginUser = 0x0111;
constexpr uint16_t kLogoutAdmin = 0x0012;
constexpr uint16_t kLogoutUser = 0x0112;
constexpr uint16_t kNoLog = 0x0090;
constexpr uint16_t kOtherEvents[] = {0x0102, 0x0203, 0x0204, 0x0305, 0x0306, 0x0307, 0x0308, 0x030C,
                                     0x0408, 0x0409, 0x050A, 0x050B, 0x060C, 0x060D, 0x070E, 0x070F,
                                     0x0810, 0x0912, 0x0A13, 0x0010, 0x0013, 0x0014, 0x0015};

}  // namespace

std::optional<ServiceSetting> ParseServiceSetting(std::span<const uint8_t> block) {
  protocol::ByteReader reader(block);
  ServiceSetting setting;
  for (auto& byte : setting.address) byte = reader.u8();
  reader.u8();
  setting.email = reader.cstring(kMaxSettingText);
  setting.dvr_id = reader.cstring(kMaxSettingText);
  setting.call_number = reader.cstring(kMaxSettingText);
  if (!reader.ok()) return std::nullopt;
  return setting;
}

std::vector<uint8_t> BuildStatusBlock(const ServiceSetting& setting, const std::string& address, int channels) {
  protocol::PayloadWriter out;
  out.cstring("1.20.07");
  out.cstring(channels <= 4 ? "DVR-4CH" : channels <= 8 ? "DVR-8CH" : "DVR-16CH");
  PutU16be(out, 160);  // disk capacity
  PutU16be(out, 37);   // first disk used
  PutU16be(out, 12);   // second disk used
  out.cstring("Overwrite");
  out.cstring("NTSC");
  out.cstring(address);
  for (uint8_t byte : setting.address) out.u8(byte);
  out.u8(0);
  out.cstring(setting.email);
  out.u8(setting.email.empty() ? 0 : 1);
  out.cstring(setting.dvr_id);
  out.cstring(setting.call_number);
  PutU16be(out, 80);
  PutU16be(out, 80);
  return out.take();
}

std::vector<LogRecord> DayLog(uint32_t seed, int year, int month, int day, int today_key) {
  std::vector<LogRecord> log;
  if (year * 10000 + month * 100 + day > today_key) return log;
  std::mt19937 random(seed ^ static_cast<uint32_t>(year * 10000 + month * 100 + day) * 40503u);
  const int count = 25 + static_cast<int>(random() % 40);
  int second_of_day = static_cast<int>(random() % 600);
  log.push_back({second_of_day / 3600, second_of_day / 60 % 60, second_of_day % 60, kPowerOn, {255, 0, 0, 0}});
  for (int i = 1; i < count && second_of_day < 86000; ++i) {
    second_of_day += 30 + static_cast<int>(random() % 2400);
    second_of_day = std::min(second_of_day, 86399);
    LogRecord record{second_of_day / 3600, second_of_day / 60 % 60, second_of_day % 60, 0, {255, 0, 0, 0}};
    const uint32_t kind = random() % 4;
    if (kind < 2) {
      const bool admin = random() % 2 == 0;
      const bool login = kind == 0;
      record.code = login ? (admin ? kLoginAdmin : kLoginUser) : (admin ? kLogoutAdmin : kLogoutUser);
      // Address bytes 6-9 are shown as byte 9 . 8 . 7 . 6; now and then unknown.
      if (random() % 8 == 0) {
        record.address = {255, 0, 0, 0};
      } else {
        record.address = {static_cast<uint8_t>(2 + random() % 250), static_cast<uint8_t>(random() % 4), 168, 192};
      }
    } else {
      record.code = kOtherEvents[random() % std::size(kOtherEvents)];
      record.address = {0, 0, 0, 0};
    }
    log.push_back(record);
  }
  return log;
}

std::vector<uint8_t> BuildLogPage(const std::vector<LogRecord>& log, uint32_t page) {
  protocol::PayloadWriter out;
  if (log.empty()) {
    if (page != 1) return out.u8(1).u32le(0).u8(0).take();
    out.u8(0).u32le(1).u8(1);
    out.u8(0).u8(0).u8(0).u8(0).u8(0).u8(static_cast<uint8_t>(kNoLog)).u32le(0xFF);
    return out.take();
  }
  const uint32_t pages = static_cast<uint32_t>((log.size() + kLogRecordsPerPage - 1) / kLogRecordsPerPage);
  if (page < 1 || page > pages) return out.u8(1).u32le(pages).u8(0).take();
  const size_t first = static_cast<size_t>(page - 1) * kLogRecordsPerPage;
  const size_t count = std::min<size_t>(kLogRecordsPerPage, log.size() - first);
  out.u8(0).u32le(pages).u8(static_cast<uint8_t>(count));
  for (size_t i = first; i < first + count; ++i) {
    const LogRecord& record = log[i];
    out.bcd(record.hour).bcd(record.minute).bcd(record.second).u8(0);
    PutU16be(out, record.code);
    for (uint8_t byte : record.address) out.u8(byte);
  }
  return out.take();
}

}  // namespace dvremu
