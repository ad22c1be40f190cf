// Radio metadata at its own level: blocks taken out of the audio, titles read
// from them.
#include "net/icy_metadata.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/net/http_test_server.h"
#include "tests/net/icy_capture.h"

namespace vek {
namespace {

TEST(IcyMetadata, BlocksComeOutWhereverTheBodyIsCut) {
    std::mt19937 random(5);
    std::string audio(50000, '\0');
    for (char& byte : audio) byte = static_cast<char>(random());
    std::vector<std::string> texts = {"StreamTitle='One';", "", std::string(255 * 16, 'x')};
    std::string body = test::IcyBody(audio, 8192, texts);
    for (size_t piece : {size_t{1}, size_t{7}, size_t{2048}, body.size()}) {
        IcyDemuxer demuxer;
        StartIcyBody(&demuxer, 8192);
        test::IcyCapture split;
        for (size_t at = 0; at < body.size(); at += piece) {
            size_t size = std::min(piece, body.size() - at);
            FeedIcyBody(&demuxer, body.data() + at, size, split.Sink());
        }
        EXPECT_TRUE(split.audio == audio) << "pieces of " << piece;
        ASSERT_EQ(split.blocks.size(), 2u)
            << "pieces of " << piece;  // the empty ones are not blocks
        EXPECT_EQ(split.blocks[0], std::string("StreamTitle='One';") + std::string(14, '\0'));
        EXPECT_EQ(split.blocks[1], texts[2]);
    }
}

TEST(IcyMetadata, AnIntervalIsAPlainCount) {
    struct Case {
        const char* value;
        uint32_t interval;
    } cases[] = {{"8192", 8192}, {" 16000\t", 16000}, {"", 0},     {"12k", 0},
                 {"-1", 0},      {"4294967296", 0},   {"0x100", 0}};
    for (const Case& c : cases) EXPECT_EQ(ParseIcyInterval(c.value), c.interval) << c.value;
}

std::string Repeat(const std::string& text, int times) {
    std::string all;
    for (int i = 0; i < times; ++i) all += text;
    return all;
}

TEST(IcyMetadata, StreamTitles) {
    struct Case {
        std::string block;
        bool found;
        std::string title;
    } cases[] = {
        {"StreamTitle='Artist - Song';StreamUrl='';", true, "Artist - Song"},
        {std::string("StreamTitle='Padded';\0\0\0\0", 25), true, "Padded"},
        {"StreamTitle='Don't Stop';StreamUrl='http://x/';", true, "Don't Stop"},
        {"StreamUrl='http://x/';StreamTitle='Second field';", true, "Second field"},
        {"StreamTitle='Cut off", true, "Cut off"},
        {"StreamTitle='';", true, ""},
        // Controls go, in either form; UTF-8 stays, anything else is Latin-1.
        {"StreamTitle=' \x1b[2JClear\r\nscreen\x7f ';", true, "[2JClearscreen"},
        {"StreamTitle='C1 \xc2\x9b"
         "31m \xef\xbf\xbd';",
         true, "C1 31m"},
        {"StreamTitle='Caf\xc3\xa9';", true, "Caf\xc3\xa9"},
        {"StreamTitle='Caf\xe9 \x9b"
         "31m';",
         true, "Caf\xc3\xa9 31m"},
        {"StreamTitle='\xc0\xaf \xed\xa0\x80';", true, "\xc3\x80\xc2\xaf \xc3\xad\xc2\xa0"},
        {"StreamTitle='" + Repeat("\xc3\xa9", 300) + "';", true, Repeat("\xc3\xa9", 255)},
        {"StreamUrl='http://x/';", false, ""},
    };
    for (const Case& c : cases) {
        std::string title = "unchanged";
        EXPECT_EQ(FindStreamTitle(c.block, &title), c.found) << c.block;
        EXPECT_EQ(title, c.found ? c.title : "unchanged") << c.block;
    }
}

}  // namespace
}  // namespace vek
