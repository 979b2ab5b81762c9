#include "client/shell/settings_keys.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/registry.h"

namespace shell {
namespace {

int WriteDefault(const platform::RegistryKey& key, const char* name, const std::string& value, bool reset) {
  if (!reset && key.ReadString(name)) return 0;
  return key.WriteString(name, value);
}

}  // namespace

std::string DefaultDataFolder() {
  std::filesystem::path data = ".";
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && *xdg != '\0') {
    data = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr) {
    data = std::filesystem::path(home) / ".local" / "share";
  }
  return (data / "kaviro").string();
}

int InstallKeys(bool reset) {
  for (const char* list : {kEthernetListKey, kTelephoneListKey, kDomainNameListKey}) {
    if (!platform::RegistryKey::Create(list)) return platform::kRegistryFailure;
  }
  // Folder paths end with a separator: consumers append file names to them.
  const std::string data = DefaultDataFolder();
  const auto video = platform::RegistryKey::Create(kVideoPathKey);
  const auto image = platform::RegistryKey::Create(kImagePathKey);
  const auto local = platform::RegistryKey::Create(kLocalSettingKey);
  if (!video || !image || !local) return platform::kRegistryFailure;
  int failures = 0;
  failures += WriteDefault(*video, kSavePathValue, data + "/video/", reset) != 0;
  failures += WriteDefault(*image, kSavePathValue, data + "/images/", reset) != 0;
  failures += WriteDefault(*local, kModemValue, "", reset) != 0;
  failures += WriteDefault(*local, kBuzzerPathValue, "", reset) != 0;
  return failures == 0 ? 0 : platform::kRegistryFailure;
}

int InstallKeysOnFirstStart() {
  std::error_code error;
  if (std::filesystem::exists(platform::RegistryFilePath(), error)) return 0;
  // A store that cannot even be looked at cannot be written either.
  if (error) return platform::kRegistryFailure;
  return InstallKeys(false);
}

}  // namespace shell
