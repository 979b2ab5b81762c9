#include "flash_tool/tool_config.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace tarvek {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// Reads one line of at most `limit` characters, as the original tool's
// fixed buffers did; the line end is dropped.
std::optional<std::string> ReadLine(std::FILE* file, int limit) {
  std::string buffer(static_cast<size_t>(limit) + 1, '\0');
  if (!std::fgets(buffer.data(), limit + 1, file)) return std::nullopt;
  buffer.resize(std::char_traits<char>::length(buffer.c_str()));
  while (!buffer.empty() && (buffer.back() == '\n' || buffer.back() == '\r')) buffer.pop_back();
  return buffer;
}

}  // namespace

std::string DefaultTarvekHome() {
  if (const std::string home = Env("TARVEK_HOME"); !home.empty()) return home;
  if (const std::string data = Env("XDG_DATA_HOME"); !data.empty()) return data + "/tarvek";
  return Env("HOME") + "/.local/share/tarvek";
}

ToolConfig::ToolConfig(std::string home) : home_(std::move(home)) {
  while (home_.size() > 1 && home_.back() == '/') home_.pop_back();
}

bool ToolConfig::EnsureHome() const {
  // Parents first, like a recursive mkdir.
  for (size_t slash = home_.find('/', 1);; slash = home_.find('/', slash + 1)) {
    const std::string part = home_.substr(0, slash);
    if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat info {};
  return ::stat(home_.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::optional<PortSetting> ToolConfig::ReadPortSetting() const {
  File file(std::fopen(CfgPath().c_str(), "r"));
  if (!file) return std::nullopt;
  PortSetting setting;
  if (auto line = ReadLine(file.get(), 9)) setting.port = std::atoi(line->c_str());
  if (auto line = ReadLine(file.get(), 9)) setting.baud = std::atoi(line->c_str());
  return setting;
}

bool ToolConfig::WritePortSetting(int port, int baud) const {
  File file(std::fopen(CfgPath().c_str(), "w"));
  if (!file) return false;
  return std::fprintf(file.get(), "%d\n%d\n", port, baud) > 0;
}

std::optional<std::string> ToolConfig::ReadTargetPath() const {
  File file(std::fopen(FilPath().c_str(), "r"));
  if (!file) return std::nullopt;
  auto line = ReadLine(file.get(), 99);
  if (!line || line->empty()) return std::nullopt;
  return line;
}

bool ToolConfig::WriteTargetPath(const std::string& path) const {
  File file(std::fopen(FilPath().c_str(), "w"));
  if (!file) return false;
  return std::fwrite(path.data(), 1, path.size(), file.get()) == path.size();
}

std::string ToolConfig::DeviceForPort(int port) const {
  if (port < 1 || port > 4) return "";
  if (File file{std::fopen(PortsPath().c_str(), "r")}) {
    for (int line_number = 1; line_number <= port; ++line_number) {
      auto line = ReadLine(file.get(), 255);
      if (!line) break;
      if (line_number == port && !line->empty()) return *line;
    }
  }
  return "/dev/ttyS" + std::to_string(port - 1);
}

}  // namespace tarvek
