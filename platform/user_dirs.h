// Per-user directories.
#pragma once

#include <string>
#include <vector>

namespace vek {

// The directory of vek.ini, without a trailing '/': $VEK_CONFIG_DIR when set,
// else $XDG_CONFIG_HOME/vek, else ~/.config/vek.
std::string SettingsDirectory();

// The user's home directory with a trailing '/'.
std::string HomeDirectoryWithSlash();

// The directory the running executable lies in, with a trailing '/'; empty when
// it cannot be found.
std::string ExecutableDirectory();

// The running executable's full path; empty when it cannot be found.
std::string ExecutablePath();

// The user's data and configuration folders of the desktop, without a trailing
// '/': $XDG_DATA_HOME (else ~/.local/share) and $XDG_CONFIG_HOME (else
// ~/.config). A relative value in the variable is ignored, as the desktop's
// rules ask.
std::string UserDataDirectory();
std::string UserConfigDirectory();

// What may be thrown away and made again: $XDG_CACHE_HOME, else ~/.cache.
std::string UserCacheDirectory();

// The shared data folders, $XDG_DATA_DIRS (else /usr/local/share and
// /usr/share), in order of preference, without trailing '/'.
std::vector<std::string> SystemDataDirectories();

}  // namespace vek
