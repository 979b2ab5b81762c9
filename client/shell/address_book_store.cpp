#include "client/shell/address_book_store.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include "client/shell/settings_keys.h"
#include "platform/registry.h"

namespace shell {
namespace {

// A 32-bit number, 1 for on.
constexpr const char* kAutoReconnectValue = "AutoReconnect";

}  // namespace

const char* AddressBookStore::ListKey(ListKind kind) {
  switch (kind) {
    case ListKind::kEthernet:
      return kEthernetListKey;
    case ListKind::kTelephone:
      return kTelephoneListKey;
    case ListKind::kDomainName:
      return kDomainNameListKey;
  }
  return kEthernetListKey;
}

std::vector<std::string> AddressBookStore::Aliases(ListKind kind) {
  std::vector<std::string> aliases;
  const auto list = platform::RegistryKey::Open(ListKey(kind));
  if (!list) return aliases;
  for (size_t i = 0;; ++i) {
    auto name = list->SubKeyName(i);
    if (!name) break;
    aliases.push_back(std::move(*name));
  }
  return aliases;
}

size_t AddressBookStore::Count(ListKind kind) { return Aliases(kind).size(); }

std::optional<AddressEntry> AddressBookStore::Read(ListKind kind, const std::string& alias) {
  if (alias.empty()) return std::nullopt;
  const auto key = platform::RegistryKey::Open(std::string(ListKey(kind)) + "\\" + alias);
  if (!key) return std::nullopt;
  AddressEntry entry;
  entry.alias = alias;
  entry.ip = key->ReadString("IP").value_or("");
  entry.user_name = key->ReadString("UserName").value_or("");
  entry.password = key->ReadString("Password").value_or("");
  entry.port = HasPort(kind) ? key->ReadNumber("Port").value_or(0) : 2000;
  entry.auto_reconnect = key->ReadNumber(kAutoReconnectValue).value_or(0) != 0;
  return entry;
}

int AddressBookStore::Write(ListKind kind, const AddressEntry& entry) {
  // A backslash would make the alias a path of keys.
  if (entry.alias.empty() || entry.alias.find('\\') != std::string::npos) return platform::kRegistryFailure;
  const auto key = platform::RegistryKey::Create(std::string(ListKey(kind)) + "\\" + entry.alias);
  if (!key) return platform::kRegistryFailure;
  int failures = 0;
  if (HasPort(kind)) failures += key->WriteNumber("Port", entry.port) != 0;
  failures += key->WriteString("UserName", entry.user_name) != 0;
  failures += key->WriteString("Password", entry.password) != 0;
  failures += key->WriteString("IP", entry.ip) != 0;
  failures += key->WriteNumber(kAutoReconnectValue, entry.auto_reconnect ? 1 : 0) != 0;
  return failures == 0 ? 0 : platform::kRegistryFailure;
}

int AddressBookStore::Delete(ListKind kind, const std::string& alias) {
  if (alias.empty()) return platform::kRegistryFailure;
  return platform::RegistryKey::Delete(std::string(ListKey(kind)) + "\\" + alias);
}

std::string JoinTelephone(const std::string& country, const std::string& area, const std::string& major,
                          const std::string& minor) {
  return country + "-" + area + "-" + major + "-" + minor;
}

TelephoneParts SplitTelephone(const std::string& number) {
  TelephoneParts parts;
  std::string* fields[] = {&parts.country, &parts.area, &parts.major, &parts.minor};
  size_t field = 0;
  for (char c : number) {
    if (c == '-' && field < 3) {
      ++field;
      continue;
    }
    fields[field]->push_back(c);
  }
  parts.local = !number.empty() && number.front() == '-';
  return parts;
}

std::string DialString(const std::string& number) {
  std::string dial;
  for (char c : number) {
    if (c != '-' && c != ' ') dial.push_back(c);
  }
  return dial;
}

std::optional<std::string> ResolveLastIpv4(const std::string& host) {
  if (host.empty()) return std::nullopt;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || list == nullptr) return std::nullopt;
  std::optional<std::string> last;
  for (addrinfo* item = list; item != nullptr; item = item->ai_next) {
    if (item->ai_family != AF_INET) continue;
    char text[INET_ADDRSTRLEN] = {};
    const auto* address = reinterpret_cast<const sockaddr_in*>(item->ai_addr);
    if (inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) != nullptr) last = text;
  }
  freeaddrinfo(list);
  return last;
}

}  // namespace shell
