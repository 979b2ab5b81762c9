#include "client/shell/window_scale.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "client/shell/settings_keys.h"
#include "platform/registry.h"

namespace shell {
namespace {

bool Allowed(int percent) {
  return std::find(kWindowScales.begin(), kWindowScales.end(), percent) != kWindowScales.end();
}

}  // namespace

int ReadWindowScale() {
  // Opening the store creates its file, which would pass for an installed
  // store at the first start: a store not there yet holds no scale.
  std::error_code error;
  if (!std::filesystem::exists(platform::RegistryFilePath(), error)) return kDefaultWindowScale;
  const auto key = platform::RegistryKey::Open(kLocalSettingKey);
  if (!key) return kDefaultWindowScale;
  const auto stored = key->ReadNumber(kScaleValue);
  // A store edited by hand may hold any number: only the offered steps count.
  if (!stored || *stored > 1000 || !Allowed(static_cast<int>(*stored))) return kDefaultWindowScale;
  return static_cast<int>(*stored);
}

int WriteWindowScale(int percent) {
  if (!Allowed(percent)) return platform::kRegistryFailure;
  const auto key = platform::RegistryKey::Open(kLocalSettingKey);
  if (!key) return platform::kRegistryFailure;
  return key->WriteNumber(kScaleValue, static_cast<uint32_t>(percent));
}

void ApplyWindowScale() {
  const int percent = ReadWindowScale();
  if (percent == kDefaultWindowScale) return;
  double factor = percent / 100.0;
  // A factor the desktop set for every Qt program is kept and multiplied.
  if (const char* given = std::getenv("QT_SCALE_FACTOR"); given != nullptr && *given != '\0') {
    char* end = nullptr;
    const double existing = std::strtod(given, &end);
    if (end != given && existing > 0.0) factor *= existing;
  }
  setenv("QT_SCALE_FACTOR", std::to_string(factor).c_str(), 1);
}

}  // namespace shell
