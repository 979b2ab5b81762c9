// The installation step that creates Kaviro's keys in the store with their
// defaults.
#pragma once

#include <string>

#include "platform/settings_keys.h"

namespace shell {

// The key paths, under the names the shell has always used.
using namespace platform::settings;

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
