// Arbitrary bytes as a family of playlists in one folder, read from the first:
// the input is cut at form feeds into the files 0.m3u, 1.pls, 2.m3u, 3.pls,
// 4.m3u and 5.pls, which may name each other and themselves any number of
// times. Small files can ask for billions of entries this way; every run must
// still end quickly, within the load bounds, without a fault or a leak.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/desktop_hooks.h"
#include "playlist/playlist.h"

namespace {

constexpr int kFiles = 6;
// Lower than the player's, so that a run that reaches them stays short.
constexpr int kEntryBound = 5000;

int SilentBox(vek::Window*, const char*, const char*, unsigned) {
    return vek::IDOK;
}
bool NoSaveFile(vek::Window*, const char*, const char*, const char*, const char*, char*, size_t) {
    return false;
}

std::string g_folder;

std::string FileName(int i) {
    return g_folder + "/" + std::to_string(i) + (i % 2 == 0 ? ".m3u" : ".pls");
}

void RemoveFiles() {
    for (int i = 0; i < kFiles; ++i) unlink(FileName(i).c_str());
    rmdir(g_folder.c_str());
}

bool WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = size == 0 || std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    vek::SetDesktopHooks(vek::DesktopHooks{SilentBox, NoSaveFile});
    vek::SetPlaylistLoadBounds(kEntryBound, 0);
    char pattern[] = "/tmp/vek-fuzz-nested-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    g_folder = pattern;
    std::atexit(RemoveFiles);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t start = 0;
    for (int i = 0; i < kFiles; ++i) {
        size_t end = start;
        while (end < size && data[end] != '\f') ++end;
        if (!WriteBytes(FileName(i), data + start, end - start)) std::abort();
        start = end < size ? end + 1 : size;
    }
    vek::AddFileByName(FileName(0).c_str());
    vek::AddFileByName(FileName(1).c_str());
    // Each of the two names brings in at most the bound.
    if (vek::PlaylistCount() > 2 * kEntryBound) std::abort();
    int count = 0;
    for (vek::PlaylistEntry* entry = vek::gPlaylist.first; entry; entry = entry->next) {
        if (entry->next && entry->next->previous != entry) std::abort();
        ++count;
    }
    if (count != vek::PlaylistCount()) std::abort();
    vek::ClearPlaylist();
    return 0;
}
