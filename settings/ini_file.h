// A small ini reader and writer with the rules of the classic private-profile
// files: section and key names match without regard to ASCII case, the first
// occurrence of a key wins, values come without the blanks around them, a
// missing file, section or key gives the caller's default, and writing a key
// changes its line in place (or adds it to its section) while every other line
// stays as it was.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vek {

// Files longer than this are not read at all: a settings file or a playlist
// of more is not one, and reading it whole would only cost memory.
inline constexpr size_t kIniMaxBytes = 16u << 20;

struct IniFile {
    // Without their '\n'; a '\r' before it stays with the line, so that a file
    // with CR LF line ends is written back with them.
    std::vector<std::string> lines;
    bool final_newline = true;  // whether the last line ends in '\n'
    // "section\nkey" in lower case -> line index of the key's first occurrence
    std::unordered_map<std::string, size_t> keys;
    // section name in lower case -> index of its last line (header or key line)
    std::unordered_map<std::string, size_t> section_ends;
};

// Reads the file (a regular file of at most kIniMaxBytes). A file that cannot
// be read leaves the document empty and returns false; lookups then give their
// defaults.
bool IniLoad(IniFile* ini, const char* path);

// Parses text already in memory (the same rules as IniLoad).
void IniParse(IniFile* ini, std::string_view text);

// Where a key is: the index in lines of the line IniFind reads and
// IniSetStrings changes, or -1 when the section or key is missing.
int64_t IniFindLine(const IniFile& ini, std::string_view section, std::string_view key);

// The value of a key, or nullptr when the section or key is missing.
const char* IniFind(const IniFile& ini, std::string_view section, std::string_view key,
                    std::string* value);

std::string IniGetString(const IniFile& ini, std::string_view section, std::string_view key,
                         std::string_view default_value);

// A signed decimal: optional sign, then digits, accumulated modulo 2^32, so
// "4294967295" reads as -1; the text after the digits is ignored and a value
// without digits reads as 0. A missing or empty value gives the default.
int32_t IniGetInt(const IniFile& ini, std::string_view section, std::string_view key,
                  int32_t default_value);

// Converts text by the integer rule above.
int32_t ParseIniInt(std::string_view text);

void IniSetString(IniFile* ini, std::string_view section, std::string_view key,
                  std::string_view value);

// Sets several keys of one section at a time, in time linear in the document's
// size however many keys are new; the new ones follow the section's last key in
// the order given.
using IniValues = std::vector<std::pair<std::string, std::string>>;
void IniSetStrings(IniFile* ini, std::string_view section, const IniValues& values);

// The document's text, byte for byte as it was parsed where nothing changed.
std::string IniText(const IniFile& ini);

// Writes text to a temporary file beside path, flushes it to disk and renames it
// over path, so that a crash or a full disk never leaves a truncated file. A
// symbolic link is followed, so the link stays and its target gets the text; the
// new file keeps the old one's owner, group and mode; a file made anew gets
// new_file_mode. A file we may not write, or whose owner we cannot keep, is
// left alone. Never makes a folder: one missing (a link pointing nowhere, say)
// fails the write. False when anything failed (the old file is then untouched).
bool IniWriteText(const char* path, const std::string& text, mode_t new_file_mode = 0600);

// Makes dir and the folders missing above it (mode 0700); true when it is a
// folder afterwards. For a program's own folders, named by the program.
bool MakeFolders(const std::string& dir);

}  // namespace vek
