// Arbitrary bytes as a .pls and as a .m3u file, read the way a user's playlist
// would be: no input may fault, hang or leak. The files may name themselves or
// each other, which exercises the nesting guard.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/desktop_hooks.h"
#include "playlist/playlist.h"

namespace {

int SilentBox(vek::Window*, const char*, const char*, unsigned) {
    return vek::IDOK;
}
bool NoSaveFile(vek::Window*, const char*, const char*, const char*, const char*, char*, size_t) {
    return false;
}

std::string g_folder;

void RemoveFiles() {
    unlink((g_folder + "/x.pls").c_str());
    unlink((g_folder + "/x.m3u").c_str());
    rmdir(g_folder.c_str());
}

bool WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    vek::SetDesktopHooks(vek::DesktopHooks{SilentBox, NoSaveFile});
    char pattern[] = "/tmp/vek-fuzz-playlist-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    g_folder = pattern;
    std::atexit(RemoveFiles);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Playlists are small; a bound keeps every run quick.
    if (size > 1 << 16) return 0;
    // Both files lie in one folder, so an input naming "x.pls" or "x.m3u"
    // reaches nesting and self-nesting.
    std::string pls = g_folder + "/x.pls";
    std::string m3u = g_folder + "/x.m3u";
    if (!WriteBytes(pls, data, size) || !WriteBytes(m3u, data, size)) std::abort();
    vek::AddFileByName(pls.c_str());
    vek::AddFileByName(m3u.c_str());
    // Walk the result the way the editor would.
    for (vek::PlaylistEntry* entry = vek::gPlaylist.first; entry; entry = entry->next) {
        if (entry->next && entry->next->previous != entry) std::abort();
    }
    (void)vek::SelectEntry(vek::PlaylistCount() / 2);
    (void)vek::ShufflePlaylist();
    vek::ClearPlaylist();
    return 0;
}
