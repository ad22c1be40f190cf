#include "settings/file_types.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "platform/regular_file.h"
#include "platform/user_dirs.h"
#include "settings/ini_file.h"

namespace vek {
namespace {

// The extensions Vek registers, and which of its two file icons each gets.
struct Extension {
    const char* name;
    FileIconRole kind;
};
constexpr Extension kExtensions[] = {
    {"mp1", FileIconRole::kAudioFile},    {"mp2", FileIconRole::kAudioFile},
    {"mp3", FileIconRole::kAudioFile},    {"pls", FileIconRole::kPlaylistFile},
    {"m3u", FileIconRole::kPlaylistFile},
};

constexpr std::string_view kDefaultsGroup = "Default Applications";
constexpr size_t kMaxFileBytes = 16u << 20;
// A list of defaults is a few kilobytes; one of many megabytes would hold the
// window for seconds.
constexpr size_t kMaxDefaultsBytes = 1u << 20;

// The parts between separators; empty ones only when asked for.
std::vector<std::string> Split(std::string_view text, char separator, bool keep_empty = false) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::string_view::npos) end = text.size();
        if (end > start || keep_empty) parts.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool Contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

// An entry's line as the desktop reads it: blanks before it and a CR at its
// end do not count.
std::string_view Bare(std::string_view line) {
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

// Whether line opens a group ("[name]", blanks after it allowed), and whether
// that is the main group.
bool OpensGroup(std::string_view line, bool* main) {
    line = Bare(line);
    size_t close = line.find(']');
    if (line.empty() || line.front() != '[' || close == std::string_view::npos ||
        line.find_first_not_of(" \t", close + 1) != std::string_view::npos)
        return false;
    *main = line.substr(0, close + 1) == "[Desktop Entry]";
    return true;
}

// Whether line sets key ("key = value"), and the value.
bool SetsKey(std::string_view line, std::string_view key, std::string_view* value) {
    line = Bare(line);
    if (line.substr(0, key.size()) != key) return false;
    line.remove_prefix(key.size());
    line = Bare(line);
    if (line.empty() || line.front() != '=') return false;
    *value = Bare(line.substr(1));
    return true;
}

// The value of a key of the entry's main group, or empty.
std::string EntryValue(const std::string& entry, std::string_view key) {
    bool in_main = false;
    std::string_view value;
    for (const std::string& line : Split(entry, '\n')) {
        if (OpensGroup(line, &in_main)) continue;
        if (in_main && SetsKey(line, key, &value)) return std::string(value);
    }
    return {};
}

// "type/subtype", each a name of the ASCII letters, digits and marks MIME
// allows.
bool IsMimeTypeName(std::string_view name) {
    auto alnum = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    };
    size_t slash = name.find('/');
    if (slash == std::string_view::npos) return false;
    for (std::string_view part : {name.substr(0, slash), name.substr(slash + 1)}) {
        if (part.empty() || !alnum(part[0])) return false;
        for (char c : part)
            if (!alnum(c) && std::string_view("!#$&-^_.+").find(c) == std::string_view::npos)
                return false;
    }
    return true;
}

// Desktop entries are UTF-8 text; a file name need not be.
bool IsUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        auto byte = static_cast<unsigned char>(text[i]);
        size_t extra = 0;
        if (byte >= 0xF0 && byte <= 0xF4)
            extra = 3;
        else if (byte >= 0xE0)
            extra = 2;
        else if (byte >= 0xC2)
            extra = 1;
        else if (byte >= 0x80)
            return false;
        if (byte > 0xF4 || text.size() - i <= extra) return false;
        for (; extra > 0; --extra)
            if ((static_cast<unsigned char>(text[++i]) & 0xC0) != 0x80) return false;
    }
    return true;
}

// Writes text unless the file already holds it: a second registration touches
// nothing. A file that is there but cannot be read is left alone. The folders
// named are made; none is made for where a link points.
void WriteIfChanged(const std::string& path, const std::string& text) {
    std::string old;
    ReadOutcome outcome = ReadRegularFile(path.c_str(), kMaxFileBytes, &old);
    if (outcome == ReadOutcome::kRefused || (outcome == ReadOutcome::kRead && old == text)) return;
    if (MakeFolders(path.substr(0, path.rfind('/')))) (void)IniWriteText(path.c_str(), text);
}

// The MIME types the shared MIME database gives files named *.extension,
// from the user's database first, then the system's.
std::vector<std::string> TypesOfExtension(const char* extension) {
    std::vector<std::string> dirs = {UserDataDirectory()};
    for (const std::string& dir : SystemDataDirectories()) dirs.push_back(dir);
    std::string glob = std::string("*.") + extension;
    std::vector<std::string> types;
    for (const std::string& dir : dirs) {
        std::string globs;
        if (ReadRegularFile((dir + "/mime/globs2").c_str(), kMaxFileBytes, &globs) !=
            ReadOutcome::kRead)
            continue;
        for (const std::string& line : Split(globs, '\n')) {
            if (line[0] == '#') continue;
            std::vector<std::string> fields = Split(line, ':');  // weight:type:glob[:flags]
            if (fields.size() >= 3 && strcasecmp(fields[2].c_str(), glob.c_str()) == 0 &&
                !Contains(types, fields[1]))
                types.push_back(fields[1]);
        }
    }
    return types;
}

const char* IconNameOf(FileIconRole kind) {
    return kind == FileIconRole::kAudioFile ? kAudioFileIconName : kPlaylistFileIconName;
}

// The MIME package: each type Vek plays gets the icon of its kind of file, and
// an extension the database does not know joins the first type of its kind.
std::string MimePackage(const std::vector<std::string>& types) {
    struct Type {
        std::string name;
        bool has_kind = false;
        FileIconRole kind = FileIconRole::kAudioFile;
        std::vector<std::string> new_globs;
    };
    std::vector<Type> known;
    for (const std::string& type : types)
        known.push_back(Type{type, false, FileIconRole::kAudioFile, {}});
    std::vector<const Extension*> unknown;
    for (const Extension& extension : kExtensions) {
        bool found = false;
        for (const std::string& type : TypesOfExtension(extension.name)) {
            for (Type& t : known) {
                if (t.name != type) continue;
                found = true;
                if (!t.has_kind) t.has_kind = true, t.kind = extension.kind;
            }
        }
        if (!found) unknown.push_back(&extension);
    }
    for (const Extension* extension : unknown) {
        for (Type& t : known) {
            if (t.has_kind && t.kind == extension->kind) {
                t.new_globs.push_back(std::string("*.") + extension->name);
                break;
            }
        }
    }
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
    for (const Type& t : known) {
        if (!t.has_kind) continue;
        xml += "  <mime-type type=\"" + t.name + "\">\n";
        for (const std::string& glob : t.new_globs) xml += "    <glob pattern=\"" + glob + "\"/>\n";
        xml += std::string("    <icon name=\"") + IconNameOf(t.kind) + "\"/>\n";
        xml += "  </mime-type>\n";
    }
    return xml + "</mime-info>\n";
}

// A line of mimeapps.list as GLib reads it: a group header with its name, a
// key (blanks before the '=' and before the key do not count) with its value,
// or neither (a comment, a blank line).
struct ListLine {
    enum { kOther, kGroup, kKey } kind = kOther;
    std::string_view name, value;
};
ListLine ReadListLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    size_t start = line.find_first_not_of(" \t\v\f");
    if (start == std::string_view::npos || line[start] == '#') return {};
    line.remove_prefix(start);
    if (line[0] == '[') {
        size_t close = line.find(']');
        if (close == std::string_view::npos ||
            line.find_first_not_of(" \t", close + 1) != std::string_view::npos)
            return {};
        return {ListLine::kGroup, line.substr(1, close - 1), {}};
    }
    size_t equals = line.find('=');
    if (equals == std::string_view::npos) return {};
    std::string_view key = line.substr(0, equals), value = line.substr(equals + 1);
    key.remove_suffix(key.size() - (key.find_last_not_of(" \t") + 1));
    value.remove_prefix(std::min(value.size(), value.find_first_not_of(" \t\v\f")));
    return {ListLine::kKey, key, value};
}

// Where each type's defaults stand in a mimeapps.list, read as GLib reads it:
// keys match exactly, a group given twice is one, and of a key given twice the
// last counts.
struct ListDefaults {
    std::vector<std::vector<size_t>> at;  // per type: every line giving its key
    std::vector<std::string> current;     // per type: the value GLib reads
    size_t group_end = 0;                 // after the last defaults group's lines; 0: none
};
ListDefaults FindDefaults(const std::vector<std::string>& lines,
                          const std::vector<std::string>& types) {
    ListDefaults found{std::vector<std::vector<size_t>>(types.size()),
                       std::vector<std::string>(types.size()), 0};
    bool in_defaults = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        ListLine line = ReadListLine(lines[i]);
        if (line.kind == ListLine::kGroup) in_defaults = line.name == kDefaultsGroup;
        if (!in_defaults || line.kind == ListLine::kOther) continue;
        found.group_end = i + 1;
        for (size_t t = 0; t < types.size(); ++t) {
            if (line.kind != ListLine::kKey || line.name != types[t]) continue;
            found.at[t].push_back(i);
            found.current[t] = line.value;
        }
    }
    return found;
}

// mimeapps.list with our entry first for every type, the other applications a
// type names behind it. Every line of a type gets the new value, so that tools
// that take the first agree with GLib, which takes the last; every other line
// stays byte for byte. False when the file is there but cannot be read, or is
// too large to be a list of defaults: it is left alone.
bool SetDefaults(const std::vector<std::string>& types, const std::string& desktop_file) {
    std::string path = UserConfigDirectory() + "/mimeapps.list";
    std::string old;
    if (ReadRegularFile(path.c_str(), kMaxDefaultsBytes, &old) == ReadOutcome::kRefused)
        return false;
    std::vector<std::string> lines = Split(old, '\n', true);
    bool line_end = old.empty() || old.back() == '\n';  // after the last line
    ListDefaults found = FindDefaults(lines, types);
    size_t group_end = found.group_end;
    std::vector<std::string> added;
    for (size_t t = 0; t < types.size(); ++t) {
        std::string entry = types[t] + "=" + desktop_file + ";";
        for (const std::string& other : Split(found.current[t], ';'))
            if (other != desktop_file) entry += other + ";";
        for (size_t i : found.at[t]) lines[i] = entry + (lines[i].ends_with('\r') ? "\r" : "");
        if (found.at[t].empty()) added.push_back(entry);
    }
    if (!added.empty() && group_end == 0) {
        if (!lines.empty() && lines.back().find_first_not_of(" \t\r") != std::string::npos)
            lines.emplace_back();
        lines.push_back("[" + std::string(kDefaultsGroup) + "]");
        group_end = lines.size();
    }
    line_end = line_end || (!added.empty() && group_end == lines.size());
    lines.insert(lines.begin() + static_cast<long>(group_end), added.begin(), added.end());
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i)
        text += lines[i] + (i + 1 < lines.size() || line_end ? "\n" : "");
    WriteIfChanged(path, text);
    return true;
}

bool IsSafeName(const std::string& name) {
    return !name.empty() && name.find('/') == std::string::npos && name != "." && name != "..";
}

bool FindTool(const char* name, std::string* path) {
    const char* search = std::getenv("PATH");
    for (const std::string& dir : Split(search ? search : "/usr/bin:/bin", ':')) {
        std::string candidate = dir + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) {
            *path = candidate;
            return true;
        }
    }
    return false;
}

}  // namespace

std::vector<int64_t> MimeAppsDefaultsLines(const std::string& list,
                                           const std::vector<std::string>& types) {
    std::vector<int64_t> lines;
    for (const std::vector<size_t>& at : FindDefaults(Split(list, '\n', true), types).at)
        lines.insert(lines.end(), at.begin(), at.end());
    return lines;
}

std::string MimeAppsDefault(const std::string& list, const std::string& type) {
    return FindDefaults(Split(list, '\n', true), {type}).current[0];
}

std::vector<std::string> DesktopEntryMimeTypes(const std::string& entry) {
    std::vector<std::string> types = Split(EntryValue(entry, "MimeType"), ';');
    std::erase_if(types, [](const std::string& type) { return !IsMimeTypeName(type); });
    return types;
}

std::string DesktopExecArgument(const std::string& argument) {
    // First the quoting of the Exec rules, then the escapes of a text value.
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    quoted += '"';
    std::string escaped;
    for (char c : quoted) {
        switch (c) {
            case '\\':
                escaped += "\\\\";
                break;
            case '\n':
                escaped += "\\n";
                break;
            case '\t':
                escaped += "\\t";
                break;
            case '\r':
                escaped += "\\r";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

bool UserDesktopEntry(const std::string& installed_entry, const std::string& executable,
                      std::string* entry) {
    if (!IsUtf8(executable)) return false;
    std::string exec = "Exec=" + DesktopExecArgument(executable) + " %F";
    entry->clear();
    bool in_main = false, placed = false;
    size_t main_body = std::string::npos;  // where the main group's keys begin
    for (const std::string& line : Split(installed_entry, '\n', true)) {
        bool header = OpensGroup(line, &in_main);
        // The entry's own Exec line gives way to ours, in its place.
        std::string_view value;
        bool is_exec = in_main && SetsKey(line, "Exec", &value);
        if (is_exec && placed) continue;
        *entry += (is_exec ? exec : line) + "\n";
        placed = placed || is_exec;
        if (header && in_main && main_body == std::string::npos) main_body = entry->size();
    }
    if (!placed) {
        if (main_body == std::string::npos) return false;
        entry->insert(main_body, exec + "\n");
    }
    return true;
}

bool WriteFileTypes(const FileTypeAssets& assets, const std::string& executable) {
    std::string data = UserDataDirectory();
    std::vector<std::string> types = DesktopEntryMimeTypes(assets.desktop_entry);

    std::string entry;
    bool entry_made = IsSafeName(assets.desktop_file_name) &&
                      UserDesktopEntry(assets.desktop_entry, executable, &entry);
    if (entry_made) WriteIfChanged(data + "/applications/" + assets.desktop_file_name, entry);

    std::string program_icon = EntryValue(assets.desktop_entry, "Icon");
    for (const FileTypeIcon& icon : assets.icons) {
        bool program = icon.role == FileIconRole::kProgram;
        std::string name = program ? program_icon : IconNameOf(icon.role);
        if (!IsSafeName(name) || icon.size <= 0) continue;
        std::string size = std::to_string(icon.size);
        WriteIfChanged(data + "/icons/hicolor/" + size + "x" + size +
                           (program ? "/apps/" : "/mimetypes/") + name + ".png",
                       icon.png);
    }

    std::string stem = assets.desktop_file_name.substr(0, assets.desktop_file_name.rfind('.'));
    if (IsSafeName(stem))
        WriteIfChanged(data + "/mime/packages/" + stem + ".xml", MimePackage(types));

    // Defaults name the entry; without one they would point at nothing.
    return !entry_made || SetDefaults(types, assets.desktop_file_name);
}

std::vector<std::vector<std::string>> FileTypeCacheCommands() {
    std::string data = UserDataDirectory();
    std::vector<std::vector<std::string>> commands;
    std::string tool;
    if (FindTool("update-desktop-database", &tool))
        commands.push_back({tool, "-q", data + "/applications"});
    if (FindTool("update-mime-database", &tool)) commands.push_back({tool, data + "/mime"});
    // The icon cache is refreshed only where one is kept already: the desktop
    // finds the icons without one, and a cache made here would go stale when
    // other programs add icons without refreshing it.
    std::string hicolor = data + "/icons/hicolor";
    struct stat info;
    if (stat((hicolor + "/icon-theme.cache").c_str(), &info) == 0 &&
        FindTool("gtk-update-icon-cache", &tool))
        commands.push_back({tool, "-q", "-t", hicolor});
    return commands;
}

}  // namespace vek
