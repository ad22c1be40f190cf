#include "settings/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

bool MakeDirectories(const std::string& dir) {
    if (dir.empty()) return true;
    struct stat st;
    if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    size_t slash = dir.rfind('/');
    if (slash != std::string::npos && slash > 0 && !MakeDirectories(dir.substr(0, slash)))
        return false;
    return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

}  // namespace

void IniParse(IniFile* ini, std::string_view text) {
    ini->lines.clear();
    while (!text.empty()) {
        size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        ini->lines.emplace_back(line);
        if (nl == std::string_view::npos) break;
        text.remove_prefix(nl + 1);
    }
    Reindex(ini);
}

bool IniLoad(IniFile* ini, const char* path) {
    ini->lines.clear();
    ini->keys.clear();
    ini->section_ends.clear();
    FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    std::string text;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
    bool ok = !std::ferror(file);
    std::fclose(file);
    IniParse(ini, text);
    return ok;
}

const char* IniFind(const IniFile& ini, std::string_view section, std::string_view key,
                    std::string* value) {
    auto it = ini.keys.find(KeyId(Trim(section), Trim(key)));
    if (it == ini.keys.end()) return nullptr;
    std::string_view name, text;
    ParseKey(ini.lines[it->second], &name, &text);
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
    section = Trim(section);
    key = Trim(key);
    std::string line = std::string(key) + '=' + std::string(value);
    auto found = ini->keys.find(KeyId(section, key));
    if (found != ini->keys.end()) {
        ini->lines[found->second] = line;
        return;
    }
    std::string section_id = Lower(section);
    auto end = ini->section_ends.find(section_id);
    if (end == ini->section_ends.end()) {
        if (!ini->lines.empty() && !Trim(ini->lines.back()).empty()) ini->lines.emplace_back();
        ini->lines.push_back('[' + std::string(section) + ']');
        ini->lines.push_back(line);
    } else {
        ini->lines.insert(ini->lines.begin() + static_cast<long>(end->second) + 1, line);
    }
    Reindex(ini);
}

bool IniSave(const IniFile& ini, const char* path) {
    // Follow a symbolic link so that a linked settings file stays linked.
    std::string target = path;
    char resolved[PATH_MAX];
    if (realpath(path, resolved)) target = resolved;

    size_t slash = target.rfind('/');
    std::string dir = slash == std::string::npos ? std::string(".") : target.substr(0, slash);
    if (slash == 0) dir = "/";
    if (!MakeDirectories(dir)) return false;

    std::string data;
    for (const std::string& line : ini.lines) {
        data += line;
        data += '\n';
    }

    std::string temp = target + ".XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0) return false;
    struct stat old;
    mode_t mode = 0600;
    if (stat(target.c_str(), &old) == 0) mode = old.st_mode & 07777;
    bool ok = fchmod(fd, mode) == 0 && WriteAll(fd, data) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok) ok = rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) unlink(temp.c_str());
    return ok;
}

}  // namespace vek
