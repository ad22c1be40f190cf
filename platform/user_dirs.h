// Per-user directories.
#pragma once

#include <string>

namespace vek {

// The directory of vek.ini, without a trailing '/': $VEK_CONFIG_DIR when set,
// else $XDG_CONFIG_HOME/vek, else ~/.config/vek.
std::string SettingsDirectory();

// The user's home directory with a trailing '/'.
std::string HomeDirectoryWithSlash();

// The directory the running executable lies in, with a trailing '/'; empty when
// it cannot be found.
std::string ExecutableDirectory();

}  // namespace vek
