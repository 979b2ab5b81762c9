// The configuration store: the key/value registry the system was designed
// around, kept in one SQLite file.
//
// Keys are backslash-separated paths compared without regard to case; values
// are strings (kept without terminator) or 32-bit numbers; sub-keys enumerate
// in the registry's name order. Every call opens the file, works in one
// transaction and closes it, so several processes may share the store.
// File: $KAVIRO_REGISTRY, else $XDG_CONFIG_HOME/kaviro/registry.db (mode 0600).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Operations return 0 on success and this on failure, like the accessors.
inline constexpr int kRegistryFailure = -1;
// Strings are read into 256-byte buffers: longer values fail to read.
inline constexpr size_t kRegistryStringLimit = 255;

std::string RegistryFilePath();

class RegistryKey {
 public:
  // An existing key, or nothing when it does not exist.
  static std::optional<RegistryKey> Open(std::string_view path);
  // The key, created with every missing parent.
  static std::optional<RegistryKey> Create(std::string_view path);
  // Deletes a key and its values; fails when it is missing or has sub-keys.
  static int Delete(std::string_view path);

  const std::string& path() const { return path_; }

  std::optional<std::string> ReadString(std::string_view name, size_t limit = kRegistryStringLimit) const;
  int WriteString(std::string_view name, std::string_view value) const;
  std::optional<uint32_t> ReadNumber(std::string_view name) const;
  int WriteNumber(std::string_view name, uint32_t value) const;

  // The name of the index-th sub-key in name order, or nothing past the end.
  std::optional<std::string> SubKeyName(size_t index) const;
  size_t SubKeyCount() const;

 private:
  explicit RegistryKey(std::string path) : path_(std::move(path)) {}
  std::string path_;
};

}  // namespace platform
