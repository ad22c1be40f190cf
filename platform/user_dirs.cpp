#include "platform/user_dirs.h"

#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace vek {
namespace {

std::string HomeDirectory() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    if (struct passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/";
}

std::string WithoutTrailingSlash(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

// An absolute folder from the variable, else the one below the home folder.
std::string XdgDirectory(const char* variable, const char* below_home) {
    if (const char* xdg = std::getenv(variable); xdg && xdg[0] == '/')
        return WithoutTrailingSlash(xdg);
    return WithoutTrailingSlash(HomeDirectory()) + below_home;
}

}  // namespace

std::string SettingsDirectory() {
    if (const char* dir = std::getenv("VEK_CONFIG_DIR"); dir && *dir) return WithoutTrailingSlash(dir);
    return UserConfigDirectory() + "/vek";
}

std::string UserConfigDirectory() {
    return XdgDirectory("XDG_CONFIG_HOME", "/.config");
}

std::string UserCacheDirectory() {
    return XdgDirectory("XDG_CACHE_HOME", "/.cache");
}

std::string UserDataDirectory() {
    return XdgDirectory("XDG_DATA_HOME", "/.local/share");
}

std::vector<std::string> SystemDataDirectories() {
    const char* value = std::getenv("XDG_DATA_DIRS");
    std::string list = value && *value ? value : "/usr/local/share:/usr/share";
    std::vector<std::string> dirs;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(':', start);
        if (end == std::string::npos) end = list.size();
        std::string dir = list.substr(start, end - start);
        if (!dir.empty() && dir[0] == '/') dirs.push_back(WithoutTrailingSlash(dir));
        start = end + 1;
    }
    return dirs;
}

std::string HomeDirectoryWithSlash() {
    std::string home = HomeDirectory();
    if (home.empty() || home.back() != '/') home += '/';
    return home;
}

std::string ExecutablePath() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    return std::string(buffer, static_cast<size_t>(n));
}

std::string ExecutableDirectory() {
    std::string path = ExecutablePath();
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace vek
