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

}  // namespace

std::string SettingsDirectory() {
    if (const char* dir = std::getenv("VEK_CONFIG_DIR"); dir && *dir) return WithoutTrailingSlash(dir);
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg && xdg[0] == '/')
        return WithoutTrailingSlash(xdg) + "/vek";
    return WithoutTrailingSlash(HomeDirectory()) + "/.config/vek";
}

std::string HomeDirectoryWithSlash() {
    std::string home = HomeDirectory();
    if (home.empty() || home.back() != '/') home += '/';
    return home;
}

std::string ExecutableDirectory() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    std::string path(buffer, static_cast<size_t>(n));
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace vek
