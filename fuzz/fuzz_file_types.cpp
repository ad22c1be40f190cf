// Arbitrary bytes as the desktop's files that the file-type registration
// reads, cut at form feeds into the user's mimeapps.list, the desktop entry
// Vek installs and the shared MIME database's globs2, registered into a
// scratch folder. In the list, every line that is not one of ours comes out
// byte for byte and each type names Vek first with the others behind; the
// user's entry keeps the installed one's lines with one Exec line of ours in
// its main group; a second registration changes nothing.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "platform/regular_file.h"
#include "settings/file_types.h"
#include "settings/ini_file.h"

namespace {

constexpr const char* kProgram = "/opt/My Apps/vek";
std::string g_root;

// A broken promise names its line.
void Check(bool promise, unsigned line = __builtin_LINE()) {
    if (promise) return;
    std::fprintf(stderr, "promise broken at line %u\n", line);
    std::abort();
}

std::string Read(const std::string& name) {
    std::string text;
    vek::ReadRegularFile((g_root + name).c_str(), 1 << 20, &text);
    return text;
}

// Split as the list's reader splits it.
std::vector<std::string> Lines(const std::string& text) {
    vek::IniFile ini;
    vek::IniParse(&ini, text);
    return ini.lines;
}

// The lines not ours come out as they were, in order, with at most a blank
// line and a header added for our section; each type names Vek first and the
// others it named behind.
void CheckList(const std::string& before, const std::string& after,
               const std::vector<std::string>& types) {
    auto others = [&](const std::string& list) {
        std::vector<std::string> lines = Lines(list);
        for (int64_t ours : vek::MimeAppsDefaultsLines(list, types))
            if (ours >= 0) lines[static_cast<size_t>(ours)] = "\f";  // no line holds one
        std::erase(lines, "\f");
        return lines;
    };
    std::vector<std::string> old = others(before);
    size_t kept = 0;
    for (std::string line : others(after)) {
        if (kept < old.size() && line == old[kept]) {
            ++kept;
            continue;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        Check(line.empty() || line == "[Default Applications]");
    }
    Check(kept == old.size());
    // As GLib reads the list: Vek first, the others behind, on every line of
    // the type, so that a reader taking the first line agrees.
    std::vector<std::string> lines = Lines(after);
    for (const std::string& type : types) {
        std::string expected = "vek.desktop;", other;
        std::istringstream named(vek::MimeAppsDefault(before, type));
        while (std::getline(named, other, ';'))
            if (!other.empty() && other != "vek.desktop") expected += other + ";";
        std::vector<int64_t> at = vek::MimeAppsDefaultsLines(after, {type});
        Check(!at.empty() && vek::MimeAppsDefault(after, type) == expected);
        for (int64_t i : at) {
            std::string line = lines[static_cast<size_t>(i)];
            if (line.back() == '\r') line.pop_back();
            Check(line == type + "=" + expected);
        }
    }
}

// A line as the desktop reads an entry: blanks before it and a CR after it do
// not count; a group header is "[name]" with only blanks behind.
std::string Bare(std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line.substr(std::min(line.find_first_not_of(" \t"), line.size()));
}
bool IsGroup(const std::string& line, const char* name = nullptr) {
    std::string bare = Bare(line);
    size_t close = bare.find(']');
    return !bare.empty() && bare[0] == '[' && close != std::string::npos &&
           bare.find_first_not_of(" \t", close + 1) == std::string::npos &&
           (!name || bare.substr(1, close - 1) == name);
}
bool IsExec(const std::string& line) {
    std::string bare = Bare(line);
    return bare.rfind("Exec", 0) == 0 && bare.find('=') != std::string::npos &&
           bare.find_first_not_of(" \t", 4) == bare.find('=');
}

// The copy is the installed entry with one Exec key in its main group: ours.
void CheckEntry(const std::string& installed, const std::string& copy) {
    std::vector<std::string> theirs = Lines(installed), ours = Lines(copy);
    int mine = 0;
    bool in_main = false;
    for (const std::string& line : ours) {
        if (IsGroup(line)) in_main = IsGroup(line, "Desktop Entry");
        if (!in_main || !IsExec(line)) continue;
        Check(++mine == 1 && Bare(line) == "Exec=" + vek::DesktopExecArgument(kProgram) + " %F");
    }
    std::erase_if(theirs, IsExec);
    std::erase_if(ours, IsExec);
    Check(mine == 1 && ours == theirs);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char pattern[] = "/dev/shm/vek-fuzz-types-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    g_root = pattern;
    if (!vek::MakeFolders(g_root + "/config") || !vek::MakeFolders(g_root + "/system/mime"))
        std::abort();
    setenv("XDG_DATA_HOME", (g_root + "/data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (g_root + "/config").c_str(), 1);
    setenv("XDG_DATA_DIRS", (g_root + "/system").c_str(), 1);
    std::atexit([] {
        if (system(("rm -rf '" + g_root + "'").c_str()) != 0) std::abort();
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string parts[3];
    for (size_t i = 0, part = 0; i < size; ++i) {
        if (data[i] == '\f' && part < 2)
            ++part;
        else
            parts[part] += static_cast<char>(data[i]);
    }
    const std::string& list = parts[0];
    vek::FileTypeAssets assets{parts[1], "vek.desktop", {}};
    if (!vek::IniWriteText((g_root + "/config/mimeapps.list").c_str(), list) ||
        !vek::IniWriteText((g_root + "/system/mime/globs2").c_str(), parts[2]))
        std::abort();
    unlink((g_root + "/data/applications/vek.desktop").c_str());

    vek::WriteFileTypes(assets, kProgram);
    std::string after = Read("/config/mimeapps.list");
    std::string copy = Read("/data/applications/vek.desktop");
    if (copy.empty()) {
        // Only an entry without a main group makes no copy, and then no defaults.
        std::vector<std::string> lines = Lines(assets.desktop_entry);
        Check(after == list && std::none_of(lines.begin(), lines.end(), [](auto& line) {
                  return IsGroup(line, "Desktop Entry");
              }));
    } else {
        CheckList(list, after, vek::DesktopEntryMimeTypes(assets.desktop_entry));
        CheckEntry(assets.desktop_entry, copy);
    }
    std::string package = Read("/data/mime/packages/vek.xml");
    vek::WriteFileTypes(assets, kProgram);
    Check(Read("/config/mimeapps.list") == after &&
          Read("/data/applications/vek.desktop") == copy &&
          Read("/data/mime/packages/vek.xml") == package);
    return 0;
}
