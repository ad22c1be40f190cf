// How the names written inside a playlist file become full names.
#pragma once

#include <string>
#include <string_view>

namespace vek {

// The playlist's name cut before its last '/'; a name without any '/' lies in
// the current directory. "/x.m3u" gives the empty folder, which still resolves
// entries under "/".
std::string PlaylistFolder(const char* playlist_name);

// An absolute path or a URL stands as written. Anything else is relative to the
// folder, with '\' read as '/' because many lists are written on Windows.
std::string ResolvePlaylistEntry(std::string_view folder, std::string_view text);

// An entry of a playlist fetched from base_url, as a URL: a text with a scheme
// of its own ("http://...") stands as written; anything else is resolved
// against base_url as a browser resolves a link ("x.mp3", "../x", "/x",
// "//host/x", "?q"), with '\' read as '/' and "." and ".." folded. Blanks
// around are cut; bytes a URL cannot hold (controls, spaces, non-ASCII) are
// percent-encoded. Empty for a blank text. Pure; takes any bytes.
std::string ResolveLinkEntry(std::string_view base_url, std::string_view text);

// The name a list shows for an entry: the text after the path's last '/' (the
// file's name; for a URL its last segment), or the whole path when nothing
// follows that '/' ("http://radio.example/") or there is none.
std::string_view EntryFileTitle(std::string_view path);

}  // namespace vek
