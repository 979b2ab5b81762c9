#include "client/sessions/download_file_name.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/registry.h"
#include "platform/settings_keys.h"

namespace sessions {
namespace {

std::string Digits(uint8_t bcd) {
  char text[8];  // nibbles above 9 (a malformed date) print as two digits
  std::snprintf(text, sizeof text, "%01d%01d", (bcd >> 4) & 0x0F, bcd & 0x0F);
  return text;
}

// Any file named `path` with an extension, or with none, as the name pattern
// "path.*" matched.
bool ExistsWithAnyExtension(const std::filesystem::path& path) {
  std::error_code error;
  const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
  const std::string name = path.filename().string();
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string other = it->path().filename().string();
    if (other == name ||
        (other.size() > name.size() && other.compare(0, name.size(), name) == 0 && other[name.size()] == '.')) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::string VideoStorageFolder() {
  const auto key = platform::RegistryKey::Open(platform::settings::kVideoPathKey);
  if (!key) return {};
  const auto folder = key->ReadString(platform::settings::kSavePathValue);
  if (!folder || folder->empty()) return {};
  std::error_code error;
  std::filesystem::create_directories(*folder, error);
  if (error || !std::filesystem::is_directory(*folder)) return {};
  return *folder;
}

std::string DownloadPathStem(const std::string& folder, const FileDownloadRecord& record) {
  std::string stem = folder;
  if (!stem.empty() && stem.back() != '/') stem.push_back('/');
  return stem + "20" + Digits(record.year) + Digits(record.month) + Digits(record.day) + Digits(record.hour);
}

std::string UniqueDownloadName(const std::string& stem, const FileDownloadRecord& record) {
  const std::string base = stem + Digits(record.start_minute) + Digits(record.start_second);
  std::string name = base;
  for (int suffix = 0; ExistsWithAnyExtension(name); ++suffix) name = base + "_" + std::to_string(suffix);
  return name + ".amg";
}

bool IsDownloadRangeValid(const FileDownloadRecord& record) {
  const int start = record.start_minute << 8 | record.start_second;
  const int end = record.end_minute << 8 | record.end_second;
  return start < end;
}

}  // namespace sessions
