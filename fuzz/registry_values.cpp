// Arbitrary bytes as the configuration store's file: the keys under the
// program's root, walked through their sub-keys, and the values the client
// reads from them. A store another program (or a broken disk) wrote must
// cost a read, never the process.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/registry.h"

namespace {

// The store's file in a folder of this process's own, removed at the end.
struct Store {
  Store() {
    // In memory where there is a tmpfs: the store syncs every transaction.
    std::string pattern =
        ::access("/dev/shm", W_OK) == 0 ? "/dev/shm/fuzz_registry_XXXXXX" : "/tmp/fuzz_registry_XXXXXX";
    if (!::mkdtemp(pattern.data())) std::abort();
    folder = pattern;
    path = folder + "/registry.db";
    setenv("KAVIRO_REGISTRY", path.c_str(), 1);
  }
  ~Store() {
    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) ::unlink((path + suffix).c_str());
    ::rmdir(folder.c_str());
  }
  std::string folder;
  std::string path;
};

// Each read opens the store; a few names keep the runs quick.
const char* const kNames[] = {"SavePath01", "IP", "Port"};

void Walk(const std::string& path, int depth, int* budget) {
  const auto key = platform::RegistryKey::Open(path);
  if (!key) return;
  for (const char* name : kNames) {
    if (const auto text = key->ReadString(name)) {
      if (text->size() > platform::kRegistryStringLimit) __builtin_trap();
    }
    (void)key->ReadNumber(name);
  }
  const size_t count = key->SubKeyCount();
  for (size_t index = 0; index < count && index < 4 && --*budget > 0; ++index) {
    const auto child = key->SubKeyName(index);
    if (child && depth < 7) Walk(path + "\\" + *child, depth + 1, budget);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const Store store;
  std::FILE* file = std::fopen(store.path.c_str(), "wb");
  if (!file) std::abort();
  if (size) std::fwrite(data, 1, size, file);
  std::fclose(file);
  int budget = 16;
  Walk("Software", 0, &budget);
  return 0;
}
