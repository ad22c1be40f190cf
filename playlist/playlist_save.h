// Saving the list as a playlist file that the .m3u and .pls readers read back
// to the same entries in the same order. Main thread only.
#pragma once

#include <string>

namespace vek {

enum class PlaylistFormat {
    kM3u,  // extended M3U: "#EXTM3U", "#EXTINF:seconds,title" where the length is known
    kPls,  // "[playlist]" with File<n>, Title<n>, Length<n> (-1 unknown), NumberOfEntries,
           // Version=2
};

// ".pls" (any case) is PLS; every other name M3U.
PlaylistFormat FormatOfName(const char* name);

// The whole list as the file name would hold it. Paths below the file's
// folder are written relative to it, other paths and URLs as they stand. A
// path with a line break in it cannot be written in either form; such entries
// are left out and counted in *left_out.
std::string PlaylistText(const char* name, PlaylistFormat format, int* left_out);

// Writes PlaylistText to name through a temporary file that replaces it
// whole, so that a full disk or a crash never leaves half a list. False when
// it could not be written; an existing file is then unchanged.
bool SavePlaylist(const char* name, PlaylistFormat format, int* left_out);

}  // namespace vek
