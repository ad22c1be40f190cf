// Making Vek the user's player for .mp1, .mp2, .mp3, .pls and .m3u files, the
// way freedesktop desktops keep such choices: a desktop entry in the user's
// applications folder, the program and file icons in the user's hicolor theme,
// a MIME package naming the files' icons (and the extensions the shared MIME
// database lacks), and the defaults in the user's mimeapps.list. Everything is
// written for the user only; nothing is read back by the player.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vek {

enum class FileIconRole { kProgram, kAudioFile, kPlaylistFile };

struct FileTypeIcon {
    FileIconRole role;
    int size;         // pixels, square
    std::string png;  // the image file's bytes
};

struct FileTypeAssets {
    // The desktop entry Vek installs (its text and file name, e.g. vek.desktop):
    // the home of Vek's name, icon name and the MIME types it plays.
    std::string desktop_entry;
    std::string desktop_file_name;
    std::vector<FileTypeIcon> icons;
};

// Names the user's theme gets for the file icons.
inline constexpr const char* kAudioFileIconName = "vek-audio-file";
inline constexpr const char* kPlaylistFileIconName = "vek-playlist-file";

// Writes every file of the registration for the program at executable (a full
// path) into the user's folders (UserDataDirectory, UserConfigDirectory). Each
// file is replaced whole and atomically; one that cannot be written is skipped
// and the rest still written. Running it twice leaves the same files as once.
// False when the user's mimeapps.list could not be read or is larger than a
// list of defaults can be (1 MiB): it is left as it was, and Vek is not made
// the default player.
bool WriteFileTypes(const FileTypeAssets& assets, const std::string& executable);

// The commands that bring the desktop's caches up to date after
// WriteFileTypes, for the tools that are installed; each is a program and its
// arguments, to be run without a shell.
std::vector<std::vector<std::string>> FileTypeCacheCommands();

// The lines of a mimeapps.list that the registration may change: the index
// (among the lines '\n' ends) of every line giving one of types' default
// applications, as GLib reads the list. Every other line is the user's or
// another program's and is kept byte for byte.
std::vector<int64_t> MimeAppsDefaultsLines(const std::string& list,
                                           const std::vector<std::string>& types);

// The default applications of type in a mimeapps.list as GLib reads them (the
// key matched exactly, the last of several): the value's text, "" for none.
std::string MimeAppsDefault(const std::string& list, const std::string& type);

// The MIME types a desktop entry names in its MimeType key; what is no MIME
// type's name is left out.
std::vector<std::string> DesktopEntryMimeTypes(const std::string& entry);

// One argument of a desktop entry's Exec key, quoted by the entry rules and
// escaped as the key's text: "/My Apps/vek" becomes "\"/My Apps/vek\"".
std::string DesktopExecArgument(const std::string& argument);

// The entry as the user's copy: the Exec line runs executable with the files
// (%F). False when the path cannot be written into an entry (not UTF-8).
bool UserDesktopEntry(const std::string& installed_entry, const std::string& executable,
                      std::string* entry);

}  // namespace vek
