// The decoders of the DVR's service replies: the status block, the e-mail and
// call service setting block, and a log page with its event texts. The first
// byte picks the decoder; the rest is the block as the DVR would send it.
#include <cstddef>
#include <cstdint>
#include <span>

#include "client/sessions/dvr_status_block.h"
#include "client/sessions/log_page.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::span<const uint8_t> block(data + 1, size - 1);
  switch (data[0] % 3) {
    case 0:
      if (const auto status = sessions::DecodeStatusBlock(block)) {
        // The texts the dialog would show must format whatever the numbers.
        (void)sessions::CapacityText(*status);
        (void)sessions::FirstDiskText(*status);
        (void)sessions::SecondDiskText(*status);
        (void)sessions::DottedAddress(status->service_address);
        (void)sessions::BuildSettingBlock(sessions::SettingOf(*status));
      }
      break;
    case 1:
      if (const auto setting = sessions::DecodeSettingBlock(block)) {
        // What was read must build back into the same bytes it came from.
        const auto rebuilt = sessions::BuildSettingBlock(*setting);
        if (rebuilt.size() > block.size()) __builtin_trap();
      }
      break;
    case 2:
      if (const auto page = sessions::DecodeLogPage(block)) {
        if (page->records.size() > page->declared_records) __builtin_trap();
        for (const auto& record : page->records) {
          (void)sessions::LogTimeText(record);
          (void)sessions::LogEventText(record);
        }
      }
      break;
  }
  return 0;
}
