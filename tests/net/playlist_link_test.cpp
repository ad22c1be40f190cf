// Which answers are links to a playlist rather than audio.
#include "net/playlist_link.h"

#include <gtest/gtest.h>

namespace vek {
namespace {

TEST(PlaylistLink, TheTypeSaysWhatAnAnswerIsAndAGenericOneLeavesItToThePath) {
    const struct {
        const char* type;
        const char* url;
        LinkKind kind;
    } cases[] = {
        {"audio/x-scpls", "http://h/listen", LinkKind::kPls},
        {" Application/PLS+XML ; charset=UTF-8", "http://h/x.m3u", LinkKind::kPls},
        {"audio/mpegurl", "http://h/x.mp3", LinkKind::kM3u},
        {"application/x-mpegurl", "http://h/", LinkKind::kM3u},
        {"audio/mpeg", "http://h/station.pls", LinkKind::kNone},
        {"text/html", "http://h/station.pls", LinkKind::kNone},
        {"text/plain", "http://h/a/Station.PLS?sid=1#x", LinkKind::kPls},
        {"application/octet-stream", "http://h/radio.m3u8", LinkKind::kM3u},
        {"", "https://h/radio.m3u", LinkKind::kM3u},
        {"", "http://h/a.pls/stream", LinkKind::kNone},
        {"", "http://radio.pls", LinkKind::kNone},
        {"", "http://h/get?file=a.pls", LinkKind::kNone},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PlaylistLinkKind(c.type, c.url), c.kind) << c.type << " " << c.url;
}

}  // namespace
}  // namespace vek
