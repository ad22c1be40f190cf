#include "tags/cover_cache.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/user_dirs.h"

namespace vek {
namespace {

std::atomic<int64_t> g_bound{kCoverCacheBytes};

// 64-bit FNV-1a: names pictures by their bytes, the same in every run.
uint64_t Fnv1a(const std::string& bytes) {
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (unsigned char c : bytes) hash = (hash ^ c) * 0x100000001b3ULL;
    return hash;
}

bool MakeFolder(const std::string& path) {
    return mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

// Creates the art folder and those above it that are missing.
bool MakeArtFolder(const std::string& art) {
    for (size_t slash = art.find('/', 1); slash != std::string::npos;
         slash = art.find('/', slash + 1))
        MakeFolder(art.substr(0, slash));
    return MakeFolder(art);
}

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Written beside its place under a name of its own, then renamed, so that
// another player never reads half a picture.
bool WriteCover(const std::string& art, const std::string& path, const std::string& bytes) {
    std::string temporary = art + "/.cover-XXXXXX";
    int fd = mkstemp(temporary.data());
    if (fd < 0) return false;
    bool written = WriteAll(fd, bytes);
    written = close(fd) == 0 && written;
    if (written && rename(temporary.c_str(), path.c_str()) == 0) return true;
    unlink(temporary.c_str());
    return false;
}

// Removes the pictures used least recently until the folder is within the
// bound; the one just stored stays.
void Trim(const std::string& art, const std::string& keep) {
    struct Stored {
        int64_t used_ns;
        int64_t bytes;
        std::string path;
    };
    std::vector<Stored> stored;
    int64_t total = 0;
    DIR* dir = opendir(art.c_str());
    if (!dir) return;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        std::string path = art + "/" + entry->d_name;
        struct stat info;
        if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        total += info.st_size;
        if (path != keep)
            stored.push_back(
                {info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec, info.st_size, path});
    }
    closedir(dir);
    std::sort(stored.begin(), stored.end(),
              [](const Stored& a, const Stored& b) { return a.used_ns < b.used_ns; });
    for (const Stored& file : stored) {
        if (total <= g_bound.load(std::memory_order_relaxed)) break;
        if (unlink(file.path.c_str()) == 0) total -= file.bytes;
    }
}

}  // namespace

std::string StoreCover(const TrackCover& cover) {
    if (cover.bytes.empty() || cover.extension.empty()) return {};
    std::string art = UserCacheDirectory() + "/vek/art";
    char name[32];
    std::snprintf(name, sizeof name, "/%016llx.",
                  static_cast<unsigned long long>(Fnv1a(cover.bytes)));
    std::string path = art + name + cover.extension;
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        info.st_size == static_cast<off_t>(cover.bytes.size())) {
        // Used again: the trimming takes it last.
        utimensat(AT_FDCWD, path.c_str(), nullptr, 0);
        return path;
    }
    if (!MakeArtFolder(art) || !WriteCover(art, path, cover.bytes)) return {};
    Trim(art, path);
    return path;
}

void SetCoverCacheBound(int64_t bytes) {
    g_bound.store(bytes > 0 ? bytes : kCoverCacheBytes, std::memory_order_relaxed);
}

}  // namespace vek
