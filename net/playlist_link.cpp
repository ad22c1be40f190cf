#include "net/playlist_link.h"

#include <strings.h>

#include "platform/desktop_hooks.h"
#include "platform/messages.h"
#include "platform/thread_queue.h"

namespace vek {
namespace {

bool SameNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

bool EndsWithNoCase(std::string_view text, std::string_view ending) {
    return text.size() >= ending.size() &&
           SameNoCase(text.substr(text.size() - ending.size()), ending);
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// The path of a URL: after the authority, before the query or fragment.
std::string_view UrlPath(std::string_view url) {
    url = url.substr(0, url.find_first_of("?#"));
    size_t scheme_end = url.find("://");
    if (scheme_end == std::string_view::npos) return url;
    size_t path = url.find('/', scheme_end + 3);
    return path == std::string_view::npos ? std::string_view() : url.substr(path);
}

}  // namespace

LinkKind PlaylistLinkKind(std::string_view content_type, std::string_view url) {
    std::string_view type = TrimBlanks(content_type.substr(0, content_type.find(';')));
    for (std::string_view pls : {"audio/x-scpls", "application/pls+xml"}) {
        if (SameNoCase(type, pls)) return LinkKind::kPls;
    }
    for (std::string_view m3u : {"audio/x-mpegurl", "audio/mpegurl", "application/x-mpegurl"}) {
        if (SameNoCase(type, m3u)) return LinkKind::kM3u;
    }
    // Many servers label whatever they do not know as text or as bytes.
    bool generic = type.empty() || SameNoCase(type, "text/plain") ||
                   SameNoCase(type, "application/octet-stream");
    if (!generic) return LinkKind::kNone;
    std::string_view path = UrlPath(url);
    if (EndsWithNoCase(path, ".pls")) return LinkKind::kPls;
    if (EndsWithNoCase(path, ".m3u") || EndsWithNoCase(path, ".m3u8")) return LinkKind::kM3u;
    return LinkKind::kNone;
}

// The text is the URL, a NUL, the base, a NUL, the kind, '1' when over the
// limit (else '0'), then the body. Neither URL can hold a NUL.
void PostPlaylistLink(const PlaylistLinkReport& report) {
    std::string text;
    text.reserve(report.url.size() + report.base.size() + 4 + report.body.size());
    text.append(report.url);
    text += '\0';
    text.append(report.base);
    text += '\0';
    text += static_cast<char>(report.kind);
    text += report.over_limit ? '1' : '0';
    text.append(report.body);
    PostWindowText(MainWindow(), UIM_PLAYLIST_LINK, std::move(text));
}

bool ReadPlaylistLink(uintptr_t wparam, intptr_t lparam, PlaylistLinkReport* report) {
    if (lparam == 0) return false;
    std::string_view text(reinterpret_cast<const char*>(lparam), wparam);
    size_t url_end = text.find('\0');
    if (url_end == std::string_view::npos) return false;
    size_t base_end = text.find('\0', url_end + 1);
    if (base_end == std::string_view::npos || text.size() < base_end + 3) return false;
    auto kind = static_cast<LinkKind>(text[base_end + 1]);
    if (kind != LinkKind::kPls && kind != LinkKind::kM3u) return false;
    report->url = text.substr(0, url_end);
    report->base = text.substr(url_end + 1, base_end - url_end - 1);
    report->kind = kind;
    report->over_limit = text[base_end + 2] == '1';
    report->body = text.substr(base_end + 3);
    return true;
}

}  // namespace vek
