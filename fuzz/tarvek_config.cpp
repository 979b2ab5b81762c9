// Arbitrary bytes as the tool's small text files: the port setting, the last
// target and the port devices. The first two bytes say where the input is
// cut between the three files.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "flash_tool/tool_config.h"

namespace {

// A folder of this process's own, removed when the run ends.
struct Folder {
  Folder() {
    char pattern[] = "/tmp/fuzz_tarvek_config_XXXXXX";
    if (!::mkdtemp(pattern)) std::abort();
    path = pattern;
  }
  ~Folder() {
    for (const char* name : {"/tarvek.cfg", "/tarvek.fil", "/tarvek.ports"}) ::unlink((path + name).c_str());
    ::rmdir(path.c_str());
  }
  std::string path;
};

const std::string& Home() {
  static const Folder folder;
  return folder.path;
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) std::abort();
  if (size) std::fwrite(data, 1, size, file);
  std::fclose(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t rest = size - 2;
  const size_t cfg = std::min<size_t>(rest, data[0]);
  const size_t fil = std::min<size_t>(rest - cfg, data[1]);
  const uint8_t* bytes = data + 2;
  const tarvek::ToolConfig config(Home());
  WriteFile(config.CfgPath(), bytes, cfg);
  WriteFile(config.FilPath(), bytes + cfg, fil);
  WriteFile(config.PortsPath(), bytes + cfg + fil, rest - cfg - fil);

  if (const auto setting = config.ReadPortSetting()) {
    // Nine characters at most a line: no number read can be out of range.
    if (setting->port > 999999999 || setting->port < -99999999) __builtin_trap();
  }
  if (const auto target = config.ReadTargetPath()) {
    if (target->empty() || target->size() > 99) __builtin_trap();
  }
  for (int port = 0; port <= 5; ++port) {
    const std::string device = config.DeviceForPort(port);
    if (device.size() > 255) __builtin_trap();
  }
  return 0;
}
