// kaviro-setup: the installation step. Creates Kaviro's configuration keys
// with their defaults, or resets them, and can add an address-book entry.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "build_version.h"
#include "client/shell/settings_keys.h"
#include "platform/registry.h"

namespace {

void Usage(std::FILE* to) {
  std::fprintf(to,
               "Usage: kaviro-setup [--reset]\n"
               "  or:  kaviro-setup --add-ethernet ALIAS ADDRESS PORT USER PASSWORD\n"
               "Creates Kaviro's configuration keys with their defaults, keeping values already set.\n"
               "  --reset             set every key back to its default\n"
               "  --add-ethernet ALIAS ADDRESS PORT USER PASSWORD\n"
               "                      also add (or replace) an Ethernet address-book entry\n"
               "  --version           print the version and the commit it was built from\n"
               "  --help              print this help\n"
               "Store: $KAVIRO_REGISTRY, else $XDG_CONFIG_HOME/kaviro/registry.db\n");
}

int AddEthernet(char** argv) {
  const std::string key = std::string(shell::kEthernetListKey) + "\\" + argv[0];
  const auto entry = platform::RegistryKey::Create(key);
  char* end = nullptr;
  const unsigned long port = std::strtoul(argv[2], &end, 10);
  if (!entry || *end != '\0' || port == 0 || port > 0xFFFF) {
    std::fprintf(stderr, "kaviro-setup: cannot add %s\n", argv[0]);
    return 1;
  }
  const bool ok = entry->WriteString("IP", argv[1]) == 0 &&
                  entry->WriteNumber("Port", static_cast<uint32_t>(port)) == 0 &&
                  entry->WriteString("UserName", argv[3]) == 0 && entry->WriteString("Password", argv[4]) == 0;
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (kaviro_build::AnswerVersion(argc, argv, "kaviro-setup")) return 0;
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    Usage(stdout);
    return 0;
  }
  bool reset = false;
  if (argc == 7 && std::strcmp(argv[1], "--add-ethernet") == 0) {
    if (shell::InstallKeys(false) != 0) return 1;
    return AddEthernet(argv + 2);
  }
  if (argc == 2 && std::strcmp(argv[1], "--reset") == 0) {
    reset = true;
  } else if (argc != 1) {
    Usage(stderr);
    return 2;
  }
  if (shell::InstallKeys(reset) != 0) {
    std::fprintf(stderr, "kaviro-setup: cannot write %s\n", platform::RegistryFilePath().c_str());
    return 1;
  }
  std::printf("Configuration keys ready in %s\n", platform::RegistryFilePath().c_str());
  return 0;
}
