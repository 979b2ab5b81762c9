// Where Kaviro keeps its configuration in the store, and the installation
// step that creates those keys with their defaults.
#pragma once

#include <string>

namespace shell {

inline constexpr const char* kProductKey = "Software\\Veldmark\\Kaviro\\1.0.0.0";
inline constexpr const char* kAddressBookKey = "Software\\Veldmark\\Kaviro\\1.0.0.0\\Address Book";
inline constexpr const char* kEthernetListKey =
    "Software\\Veldmark\\Kaviro\\1.0.0.0\\Address Book\\Ethernet";
inline constexpr const char* kTelephoneListKey =
    "Software\\Veldmark\\Kaviro\\1.0.0.0\\Address Book\\Telephone";
inline constexpr const char* kDomainNameListKey =
    "Software\\Veldmark\\Kaviro\\1.0.0.0\\Address Book\\DomainName";
inline constexpr const char* kVideoPathKey = "Software\\Veldmark\\Kaviro\\1.0.0.0\\Storage Path\\Video";
inline constexpr const char* kImagePathKey = "Software\\Veldmark\\Kaviro\\1.0.0.0\\Storage Path\\Image";
inline constexpr const char* kLocalSettingKey = "Software\\Veldmark\\Kaviro\\1.0.0.0\\Local Setting";
inline constexpr const char* kSavePathValue = "SavePath01";
inline constexpr const char* kModemValue = "Modem";
inline constexpr const char* kBuzzerPathValue = "BuzzerPath";

// The folder under which the default storage folders lie:
// $XDG_DATA_HOME/kaviro, else ~/.local/share/kaviro.
std::string DefaultDataFolder();

// Creates the keys with their defaults. Values already present are kept
// unless `reset` is set, so that installing again does not lose settings.
// Returns 0 or the store's failure code.
int InstallKeys(bool reset);

// The installation step of a first start: when the store's file does not
// exist yet, creates the keys as InstallKeys(false) does; otherwise leaves the
// store alone. Returns 0 or the store's failure code.
int InstallKeysOnFirstStart();

}  // namespace shell
