#include "settings/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/regular_file.h"

namespace vek {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string KeyId(std::string_view section, std::string_view key) {
    return Lower(section) + '\n' + Lower(key);
}

// A section header "[name]": the name, or false.
bool ParseSection(std::string_view line, std::string_view* name) {
    line = Trim(line);
    if (line.empty() || line.front() != '[') return false;
    size_t close = line.find(']');
    if (close == std::string_view::npos) return false;
    *name = Trim(line.substr(1, close - 1));
    return true;
}

// A key line "name=value": the name and the value, or false.
bool ParseKey(std::string_view line, std::string_view* key, std::string_view* value) {
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    *key = Trim(line.substr(0, eq));
    *value = Trim(line.substr(eq + 1));
    return !key->empty();
}

void Reindex(IniFile* ini) {
    ini->keys.clear();
    ini->section_ends.clear();
    std::string section;
    bool in_section = false;
    for (size_t i = 0; i < ini->lines.size(); ++i) {
        std::string_view line = ini->lines[i];
        std::string_view name, key, value;
        if (ParseSection(line, &name)) {
            section = Lower(name);
            in_section = true;
            ini->section_ends[section] = i;
        } else if (in_section && ParseKey(line, &key, &value)) {
            ini->keys.emplace(section + '\n' + Lower(key), i);
            ini->section_ends[section] = i;
        }
    }
}

bool EndsWithCr(const std::string& line) {
    return !line.empty() && line.back() == '\r';
}

// The file a chain of symbolic links ends at, whether it exists or not; path
// itself when it is no link.
std::string FollowLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        char buffer[PATH_MAX];
        ssize_t n = readlink(path.c_str(), buffer, sizeof buffer);
        if (n <= 0 || static_cast<size_t>(n) >= sizeof buffer) break;
        std::string next(buffer, static_cast<size_t>(n));
        if (next.front() != '/') {
            size_t slash = path.rfind('/');
            if (slash != std::string::npos) next = path.substr(0, slash + 1) + next;
        }
        path = std::move(next);
    }
    return path;
}

bool WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

bool MakeFolders(const std::string& dir) {
    if (dir.empty()) return true;
    struct stat st;
    if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    size_t slash = dir.rfind('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(dir.substr(0, slash))) return false;
    return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

void IniParse(IniFile* ini, std::string_view text) {
    ini->lines.clear();
    ini->final_newline = true;
    while (!text.empty()) {
        size_t nl = text.find('\n');
        ini->lines.emplace_back(text.substr(0, nl));
        if (nl == std::string_view::npos) {
            ini->final_newline = false;
            break;
        }
        text.remove_prefix(nl + 1);
    }
    Reindex(ini);
}

bool IniLoad(IniFile* ini, const char* path) {
    std::string text;
    bool read = ReadRegularFile(path, kIniMaxBytes, &text) == ReadOutcome::kRead;
    IniParse(ini, text);
    return read;
}

int64_t IniFindLine(const IniFile& ini, std::string_view section, std::string_view key) {
    auto it = ini.keys.find(KeyId(Trim(section), Trim(key)));
    return it == ini.keys.end() ? -1 : static_cast<int64_t>(it->second);
}

const char* IniFind(const IniFile& ini, std::string_view section, std::string_view key,
                    std::string* value) {
    int64_t line = IniFindLine(ini, section, key);
    if (line < 0) return nullptr;
    std::string_view name, text;
    ParseKey(ini.lines[static_cast<size_t>(line)], &name, &text);
    value->assign(text);
    return value->c_str();
}

std::string IniGetString(const IniFile& ini, std::string_view section, std::string_view key,
                         std::string_view default_value) {
    std::string value;
    if (!IniFind(ini, section, key, &value)) return std::string(default_value);
    return value;
}

int32_t ParseIniInt(std::string_view text) {
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        value = value * 10u + static_cast<uint32_t>(c - '0');
    }
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
}

int32_t IniGetInt(const IniFile& ini, std::string_view section, std::string_view key,
                  int32_t default_value) {
    std::string value;
    if (!IniFind(ini, section, key, &value) || value.empty()) return default_value;
    return ParseIniInt(value);
}

void IniSetString(IniFile* ini, std::string_view section, std::string_view key,
                  std::string_view value) {
    IniSetStrings(ini, section, IniValues{{std::string(key), std::string(value)}});
}

void IniSetStrings(IniFile* ini, std::string_view section, const IniValues& values) {
    section = Trim(section);
    std::string section_id = Lower(section);
    std::vector<std::string> added;
    std::unordered_map<std::string, size_t> added_ids;  // a key given twice is added once
    for (const auto& [name, value] : values) {
        std::string_view key = Trim(name);
        std::string line = std::string(key) + '=' + value;
        std::string id = KeyId(section, key);
        auto found = ini->keys.find(id);
        if (found != ini->keys.end()) {
            std::string& old = ini->lines[found->second];
            if (EndsWithCr(old)) line += '\r';
            old = std::move(line);
        } else if (auto again = added_ids.find(id); again != added_ids.end()) {
            added[again->second] = std::move(line);
        } else {
            added_ids.emplace(std::move(id), added.size());
            added.push_back(std::move(line));
        }
    }
    if (added.empty()) return;

    auto end = ini->section_ends.find(section_id);
    std::vector<std::string> block;
    size_t at = ini->lines.size();
    // New lines end the way the line before them does.
    bool cr = !ini->lines.empty() && EndsWithCr(ini->lines.back());
    if (end == ini->section_ends.end()) {
        if (!ini->lines.empty() && !Trim(ini->lines.back()).empty()) block.emplace_back();
        block.push_back('[' + std::string(section) + ']');
    } else {
        at = end->second + 1;
        cr = EndsWithCr(ini->lines[end->second]);
    }
    for (std::string& line : added) block.push_back(std::move(line));
    if (cr) {
        for (std::string& line : block) line += '\r';
    }
    if (at == ini->lines.size()) ini->final_newline = true;
    ini->lines.insert(ini->lines.begin() + static_cast<long>(at),
                      std::make_move_iterator(block.begin()), std::make_move_iterator(block.end()));
    Reindex(ini);
}

std::string IniText(const IniFile& ini) {
    size_t size = 0;
    for (const std::string& line : ini.lines) size += line.size() + 1;
    std::string text;
    text.reserve(size);
    for (size_t i = 0; i < ini.lines.size(); ++i) {
        text += ini.lines[i];
        if (i + 1 < ini.lines.size() || ini.final_newline) text += '\n';
    }
    return text;
}

bool IniWriteText(const char* path, const std::string& text, mode_t new_file_mode) {
    std::string target = FollowLinks(path);
    size_t slash = target.rfind('/');
    std::string dir = slash == std::string::npos ? std::string(".") : target.substr(0, slash);
    if (slash == 0) dir = "/";

    struct stat old;
    bool exists = stat(target.c_str(), &old) == 0;
    // Only a plain file is replaced, and only one we could have written in place.
    if (exists && (!S_ISREG(old.st_mode) || access(target.c_str(), W_OK) != 0)) return false;

    // Named apart from the target: a target whose name is near the longest a
    // name may be could otherwise not have one.
    std::string temp = dir + "/.vek-save-XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0) return false;
    bool ok = true;
    if (exists) {
        // A run as root must not hand the user's file to root.
        struct stat made;
        ok = fstat(fd, &made) == 0 && ((made.st_uid == old.st_uid && made.st_gid == old.st_gid) ||
                                       fchown(fd, old.st_uid, old.st_gid) == 0);
    }
    ok = ok && fchmod(fd, exists ? old.st_mode & 07777 : new_file_mode) == 0 &&
         WriteAll(fd, text) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok) ok = rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) unlink(temp.c_str());
    return ok;
}

}  // namespace vek
