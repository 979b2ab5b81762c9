#include "client/kaviroctl/temporary_video_folder.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/registry.h"
#include "platform/settings_keys.h"

namespace kaviroctl {

TemporaryVideoFolder::TemporaryVideoFolder(const std::string& folder) {
  std::error_code error;
  std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
  if (error) temporary = "/tmp";
  std::string pattern = (temporary / "kaviroctl-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return;
  dir_ = pattern;
  const std::filesystem::path absolute = std::filesystem::absolute(folder, error);
  if (error) return;
  if (const char* current = std::getenv("KAVIRO_REGISTRY")) previous_ = current;
  setenv("KAVIRO_REGISTRY", (dir_ + "/registry.db").c_str(), 1);
  const auto key = platform::RegistryKey::Create(platform::settings::kVideoPathKey);
  ok_ = key && key->WriteString(platform::settings::kSavePathValue, absolute.string() + "/") == 0;
}

TemporaryVideoFolder::~TemporaryVideoFolder() {
  if (previous_.empty()) {
    unsetenv("KAVIRO_REGISTRY");
  } else {
    setenv("KAVIRO_REGISTRY", previous_.c_str(), 1);
  }
  std::error_code ignored;
  if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
}

RecordedFiles ListRecordedFiles(const std::string& folder, CtlReport& report) {
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (auto entry = std::filesystem::recursive_directory_iterator(folder, error);
       !error && entry != std::filesystem::recursive_directory_iterator(); entry.increment(error)) {
    if (entry->is_regular_file(error)) files.push_back(entry->path());
  }
  std::sort(files.begin(), files.end());
  RecordedFiles listed;
  listed.count = files.size();
  for (const auto& file : files) {
    const uintmax_t size = std::filesystem::file_size(file, error);
    if (!error) listed.bytes += size;
    report.text() << file.string() << " " << (error ? 0 : size) << "\n";
    report.Append("files",
                  QJsonObject{{"path", JsonText(file.string())}, {"bytes", static_cast<qint64>(error ? 0 : size)}});
  }
  return listed;
}

}  // namespace kaviroctl
