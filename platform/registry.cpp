#include "platform/registry.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

namespace platform {
namespace {

enum class ValueType : int { kString = 1, kNumber = 4 };

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS keys(path TEXT PRIMARY KEY COLLATE NOCASE,"
    " parent TEXT COLLATE NOCASE, name TEXT);"
    "CREATE INDEX IF NOT EXISTS keys_parent ON keys(parent);"
    "CREATE TABLE IF NOT EXISTS vals(key TEXT COLLATE NOCASE, name TEXT COLLATE NOCASE,"
    " type INTEGER, data BLOB, PRIMARY KEY(key, name));";

// Trims the separators around a path so that "A\B\" and "A\B" name one key.
std::string NormalisePath(std::string_view path) {
  while (!path.empty() && path.front() == '\\') path.remove_prefix(1);
  while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  return std::string(path);
}

std::string ParentOf(const std::string& path) {
  const size_t cut = path.rfind('\\');
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

struct DbCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StmtFinalizer {
  void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StmtFinalizer>;

// Makes the store's file, readable by its owner only, unless it exists. Done
// here rather than by SQLite so that the mode is set on the new file itself:
// the process's mask stays as it is for the other threads, and a link named
// as the store is never followed to create or change a file elsewhere.
// SQLite gives its journal the mode of this file.
bool CreateStoreFile(const std::string& file) {
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return errno == EEXIST;
  ::fchmod(fd, 0600);  // the mask may have narrowed it further
  ::close(fd);
  return true;
}

// One opened store with one transaction around the work done through it.
class Session {
 public:
  explicit Session(bool write) {
    const std::string file = RegistryFilePath();
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path(), ignored);
    if (!CreateStoreFile(file)) return;
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    db_.reset(raw);
    if (rc != SQLITE_OK) return;
    sqlite3_busy_timeout(db_.get(), 5000);
    ok_ = Exec(kSchema) && Exec(write ? "BEGIN IMMEDIATE" : "BEGIN");
  }
  ~Session() {
    if (ok_) Exec(failed_ ? "ROLLBACK" : "COMMIT");
  }

  bool ok() const { return ok_; }
  void Fail() { failed_ = true; }

  Statement Prepare(const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_.get(), sql, -1, &stmt, nullptr) != SQLITE_OK) failed_ = true;
    return Statement(stmt);
  }

  bool KeyExists(const std::string& path) {
    Statement stmt = Prepare("SELECT 1 FROM keys WHERE path = ?");
    if (!stmt) return false;
    sqlite3_bind_text(stmt.get(), 1, path.data(), static_cast<int>(path.size()), SQLITE_TRANSIENT);
    return sqlite3_step(stmt.get()) == SQLITE_ROW;
  }

  bool Run(Statement stmt) {
    if (!stmt || sqlite3_step(stmt.get()) != SQLITE_DONE) {
      failed_ = true;
      return false;
    }
    return true;
  }

 private:
  bool Exec(const char* sql) { return sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

  std::unique_ptr<sqlite3, DbCloser> db_;
  bool ok_ = false;
  bool failed_ = false;
};

void BindText(sqlite3_stmt* stmt, int index, std::string_view text) {
  sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// The stored value of `name` if it has the expected type.
std::optional<std::vector<uint8_t>> ReadValue(const std::string& key, std::string_view name, ValueType type) {
  Session session(false);
  if (!session.ok() || !session.KeyExists(key)) return std::nullopt;
  Statement stmt = session.Prepare("SELECT type, data FROM vals WHERE key = ? AND name = ?");
  if (!stmt) return std::nullopt;
  BindText(stmt.get(), 1, key);
  BindText(stmt.get(), 2, name);
  if (sqlite3_step(stmt.get()) != SQLITE_ROW) return std::nullopt;
  if (sqlite3_column_int(stmt.get(), 0) != static_cast<int>(type)) return std::nullopt;
  const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(stmt.get(), 1));
  const int size = sqlite3_column_bytes(stmt.get(), 1);
  return std::vector<uint8_t>(data, data + size);
}

int WriteValue(const std::string& key, std::string_view name, ValueType type, const void* data, size_t size) {
  Session session(true);
  if (!session.ok() || !session.KeyExists(key)) return kRegistryFailure;
  Statement stmt = session.Prepare(
      "INSERT INTO vals(key, name, type, data) VALUES(?, ?, ?, ?)"
      " ON CONFLICT(key, name) DO UPDATE SET type = excluded.type, data = excluded.data");
  if (!stmt) return kRegistryFailure;
  BindText(stmt.get(), 1, key);
  BindText(stmt.get(), 2, name);
  sqlite3_bind_int(stmt.get(), 3, static_cast<int>(type));
  sqlite3_bind_blob(stmt.get(), 4, data, static_cast<int>(size), SQLITE_TRANSIENT);
  return session.Run(std::move(stmt)) ? 0 : kRegistryFailure;
}

}  // namespace

std::string RegistryFilePath() {
  if (const char* file = std::getenv("KAVIRO_REGISTRY"); file != nullptr && *file != '\0') {
    return file;
  }
  std::filesystem::path config = ".";
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg != '\0') {
    config = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr) {
    config = std::filesystem::path(home) / ".config";
  }
  return (config / "kaviro" / "registry.db").string();
}

std::optional<RegistryKey> RegistryKey::Open(std::string_view path) {
  std::string key = NormalisePath(path);
  Session session(false);
  if (key.empty() || !session.ok() || !session.KeyExists(key)) return std::nullopt;
  return RegistryKey(std::move(key));
}

std::optional<RegistryKey> RegistryKey::Create(std::string_view path) {
  std::string key = NormalisePath(path);
  if (key.empty()) return std::nullopt;
  Session session(true);
  if (!session.ok()) return std::nullopt;
  for (std::string part = key; !part.empty(); part = ParentOf(part)) {
    if (session.KeyExists(part)) break;
    Statement stmt = session.Prepare("INSERT INTO keys(path, parent, name) VALUES(?, ?, ?)");
    if (!stmt) return std::nullopt;
    const std::string parent = ParentOf(part);
    BindText(stmt.get(), 1, part);
    BindText(stmt.get(), 2, parent);
    BindText(stmt.get(), 3, parent.empty() ? part : part.substr(parent.size() + 1));
    if (!session.Run(std::move(stmt))) return std::nullopt;
  }
  return RegistryKey(std::move(key));
}

int RegistryKey::Delete(std::string_view path) {
  const std::string key = NormalisePath(path);
  Session session(true);
  if (key.empty() || !session.ok() || !session.KeyExists(key)) return kRegistryFailure;
  Statement children = session.Prepare("SELECT 1 FROM keys WHERE parent = ? LIMIT 1");
  if (!children) return kRegistryFailure;
  BindText(children.get(), 1, key);
  if (sqlite3_step(children.get()) == SQLITE_ROW) return kRegistryFailure;
  for (const char* sql : {"DELETE FROM vals WHERE key = ?", "DELETE FROM keys WHERE path = ?"}) {
    Statement stmt = session.Prepare(sql);
    if (!stmt) return kRegistryFailure;
    BindText(stmt.get(), 1, key);
    if (!session.Run(std::move(stmt))) return kRegistryFailure;
  }
  return 0;
}

std::optional<std::string> RegistryKey::ReadString(std::string_view name, size_t limit) const {
  auto data = ReadValue(path_, name, ValueType::kString);
  if (!data || data->size() > limit) return std::nullopt;
  return std::string(data->begin(), data->end());
}

int RegistryKey::WriteString(std::string_view name, std::string_view value) const {
  return WriteValue(path_, name, ValueType::kString, value.data(), value.size());
}

std::optional<uint32_t> RegistryKey::ReadNumber(std::string_view name) const {
  auto data = ReadValue(path_, name, ValueType::kNumber);
  if (!data || data->size() != 4) return std::nullopt;
  const auto& b = *data;
  return static_cast<uint32_t>(b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24);
}

int RegistryKey::WriteNumber(std::string_view name, uint32_t value) const {
  const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  return WriteValue(path_, name, ValueType::kNumber, bytes, sizeof bytes);
}

std::optional<std::string> RegistryKey::SubKeyName(size_t index) const {
  Session session(false);
  if (!session.ok()) return std::nullopt;
  // The registry orders sub-keys by their upper-cased names.
  Statement stmt =
      session.Prepare("SELECT name FROM keys WHERE parent = ? ORDER BY upper(name), name LIMIT 1 OFFSET ?");
  if (!stmt) return std::nullopt;
  BindText(stmt.get(), 1, path_);
  sqlite3_bind_int64(stmt.get(), 2, static_cast<sqlite3_int64>(index));
  if (sqlite3_step(stmt.get()) != SQLITE_ROW) return std::nullopt;
  // A row another program left without a name names no key.
  const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0));
  if (name == nullptr) return std::nullopt;
  return std::string(name);
}

size_t RegistryKey::SubKeyCount() const {
  Session session(false);
  if (!session.ok()) return 0;
  Statement stmt = session.Prepare("SELECT count(*) FROM keys WHERE parent = ?");
  if (!stmt) return 0;
  BindText(stmt.get(), 1, path_);
  if (sqlite3_step(stmt.get()) != SQLITE_ROW) return 0;
  return static_cast<size_t>(sqlite3_column_int64(stmt.get(), 0));
}

}  // namespace platform
