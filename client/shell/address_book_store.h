// AddressBookStore: the three address-book lists in the configuration store
// (Ethernet, Telephone, DomainName), read afresh for every use; nothing is
// kept in memory between operations.
//
// Threads: any thread; each call opens, works and closes the store.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace shell {

enum class ListKind { kEthernet = 0, kTelephone = 1, kDomainName = 2 };

struct AddressEntry {
  std::string alias;
  std::string ip;  // dotted address, host name, or "country-area-major-minor"
  uint32_t port = 2000;
  std::string user_name;
  std::string password;
  // "Reconnect automatically" after a drop; entries stored before it read as off.
  bool auto_reconnect = false;
};

class AddressBookStore {
 public:
  static const char* ListKey(ListKind kind);
  static bool HasPort(ListKind kind) { return kind != ListKind::kTelephone; }

  // The aliases of a list in the store's order; empty when the list is missing.
  static std::vector<std::string> Aliases(ListKind kind);
  static size_t Count(ListKind kind);
  // The entry, or nothing when it does not exist. Failed reads leave fields empty.
  static std::optional<AddressEntry> Read(ListKind kind, const std::string& alias);
  // Creates or overwrites the entry. Returns 0 or a failure code.
  static int Write(ListKind kind, const AddressEntry& entry);
  static int Delete(ListKind kind, const std::string& alias);
};

// The telephone number as it is stored: "%s-%s-%s-%s"; without country and
// area code the first two parts are empty ("--major-minor").
std::string JoinTelephone(const std::string& country, const std::string& area, const std::string& major,
                          const std::string& minor);
struct TelephoneParts {
  std::string country;
  std::string area;
  std::string major;
  std::string minor;
  bool local = false;  // stored without country code (begins with "-")
};
TelephoneParts SplitTelephone(const std::string& number);
// The number as dialled and shown: every "-" and space removed.
std::string DialString(const std::string& number);

// The last IPv4 address of a host name's address list, or nothing.
std::optional<std::string> ResolveLastIpv4(const std::string& host);

}  // namespace shell
