// Arbitrary bytes as what a station's server says about a link, cut at line
// feeds into the Content-Type value, the URL and an entry of the list the
// link brings. The link's kind ignores the type's case and parameters and the
// URL's query and fragment; a playlist type decides alone, a generic one
// leaves it to the path's ending (never to the host), any other type means
// audio. An entry resolves to a URL without a byte a URL cannot hold, within
// the station's site unless it names a host of its own, its dot segments
// folded.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "net/playlist_link.h"
#include "playlist/playlist_paths.h"

namespace {

using vek::LinkKind;

// A broken promise names its line.
void Check(bool promise, unsigned line = __builtin_LINE()) {
    if (promise) return;
    std::fprintf(stderr, "promise broken at line %u\n", line);
    std::abort();
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

bool EndsWith(std::string_view text, std::string_view ending) {
    return Lower(text).ends_with(ending);
}

// The next piece of input, up to a line feed.
std::string_view Piece(std::string_view* input) {
    std::string_view piece = input->substr(0, input->find('\n'));
    input->remove_prefix(std::min(input->size(), piece.size() + 1));
    return piece;
}

void CheckKind(std::string_view type, std::string_view url) {
    LinkKind kind = vek::PlaylistLinkKind(type, url);
    std::string bare = Lower(type.substr(0, type.find(';')));
    std::string upper(bare);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    Check(vek::PlaylistLinkKind(upper + "; charset=\"x;y\"", url) == kind);
    Check(vek::PlaylistLinkKind(type, std::string(url) + "?a.pls#b.m3u") == kind);

    bare = bare.substr(std::min(bare.find_first_not_of(" \t"), bare.size()));
    bare = bare.substr(0, bare.find_last_not_of(" \t") + 1);
    bool generic = bare.empty() || bare == "text/plain" || bare == "application/octet-stream";
    LinkKind by_type = vek::PlaylistLinkKind(type, "");
    if (!generic) {
        Check(kind == by_type && vek::PlaylistLinkKind(type, "http://h/a.pls") == by_type);
        return;
    }
    Check(by_type == LinkKind::kNone);
    std::string_view path = url.substr(0, url.find_first_of("?#"));
    Check(kind == LinkKind::kNone ||
          (kind == LinkKind::kPls ? EndsWith(path, ".pls")
                                  : EndsWith(path, ".m3u") || EndsWith(path, ".m3u8")));
    std::string host(url);
    std::erase_if(host, [](char c) { return c == '/' || c == '?' || c == '#'; });
    Check(vek::PlaylistLinkKind(type, "http://" + host) == LinkKind::kNone);
}

void CheckEntry(std::string_view base, std::string_view text) {
    bool blank = text.find_first_not_of(" \t\r\n") == std::string_view::npos;
    for (std::string_view against : {base, std::string_view("http://h:8000/radio/s.pls?id=1#t")}) {
        std::string url = vek::ResolveLinkEntry(against, text);
        Check(url.empty() == blank);
        for (char c : url) Check(static_cast<unsigned char>(c) > 0x20 && c < 0x7F);
    }
    // Against a station's URL: a relative entry stays on its site.
    std::string url = vek::ResolveLinkEntry("http://h:8000/radio/s.pls?id=1#t", text);
    std::string reference(text.substr(std::min(text.find_first_not_of(" \t\r\n"), text.size())));
    std::replace(reference.begin(), reference.end(), '\\', '/');
    if (blank || text.find("://") != std::string_view::npos) return;
    Check(url.starts_with(reference.starts_with("//") ? "http://" : "http://h:8000/"));
    std::string path = url.substr(7, url.find_first_of("?#") - 7);
    path += '/';
    Check(path.find("/./") == std::string::npos && path.find("/../") == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string_view type = Piece(&input);
    std::string_view url = Piece(&input);
    CheckKind(type, url);
    CheckEntry(url, input);
    return 0;
}
