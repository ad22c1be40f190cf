// Stations hand out links to small playlists (listen.pls, radio.m3u) rather
// than to their audio. Such an answer is fetched whole and handed to the main
// window, which puts the playlist's entries in the place of the link.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vek {

enum class LinkKind : char { kNone = 0, kPls = 'p', kM3u = 'm' };

// A link's body is read whole up to this size; a larger one is refused.
inline constexpr size_t kMaxLinkBytes = size_t{1} << 20;

// What an answer is, from its Content-Type value (parameters and case do not
// matter) and the URL it came from: a playlist type gives its kind; a missing
// or generic type (text/plain, application/octet-stream) goes by the ending of
// the URL's path (.pls; .m3u or .m3u8), query and fragment left out; anything
// else is audio (kNone). Pure; takes any bytes.
LinkKind PlaylistLinkKind(std::string_view content_type, std::string_view url);

// UIM_PLAYLIST_LINK, posted with PostWindowText to the main window, if any:
// url is the entry as played, base where the body came from after redirects.
// A body over kMaxLinkBytes is reported without its text, as over_limit.
struct PlaylistLinkReport {
    std::string_view url;
    std::string_view base;
    LinkKind kind = LinkKind::kNone;
    bool over_limit = false;
    std::string_view body;
};
void PostPlaylistLink(const PlaylistLinkReport& report);

// Reads a report from the wparam and lparam its handler got; the views point
// into the message's text. False when they do not hold one.
bool ReadPlaylistLink(uintptr_t wparam, intptr_t lparam, PlaylistLinkReport* report);

}  // namespace vek
