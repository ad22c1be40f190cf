// The "Register Filetypes" button: Vek becomes the user's player for its file
// types, the desktop is told, and the user is told.
#pragma once

#include <string>

#include "settings/file_types.h"

namespace vek::app {

// The installed desktop entry's text, as built into the program.
std::string BuiltInDesktopEntry();

// The installed desktop entry and the icons, as built into the program.
FileTypeAssets BuiltInFileTypeAssets();

// Writes the registration for the running program, starts the desktop's cache
// tools without waiting for them, and confirms with a box over the main window.
void RegisterFileTypes();

}  // namespace vek::app
