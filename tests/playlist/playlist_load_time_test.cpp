#include <chrono>
#include <cstdio>
#include <string>

#include "tests/playlist/playlist_fixture.h"

namespace vek::test {
namespace {

using PlaylistLoadTime = PlaylistTest;

TEST_F(PlaylistLoadTime, TwentyThousandEntriesLoadWellUnderASecond) {
    constexpr int kEntries = 20000;
    TempDir dir;
    std::string text = "#EXTM3U\r\n";
    for (int i = 0; i < kEntries; ++i) {
        char line[96];
        std::snprintf(line, sizeof line,
                      "#EXTINF:215,Artist %05d - Title\r\nmusic\\track%05d.mp3\r\n", i, i);
        text += line;
    }
    std::string m3u = dir.File("big.m3u");
    ASSERT_TRUE(WriteFileText(m3u, text));

    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(AddFileByName(m3u.c_str()));
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("loaded %d entries in %.1f ms\n", kEntries, seconds * 1000);
    RecordProperty("load_ms", static_cast<int>(seconds * 1000));

    EXPECT_EQ(PlaylistCount(), kEntries);
    EXPECT_EQ(std::string(gPlaylist.last->path), dir.File("music/track19999.mp3"));
    EXPECT_LT(seconds, 1.0);

    start = std::chrono::steady_clock::now();
    ClearPlaylist();
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("cleared them in %.1f ms\n", seconds * 1000);
    EXPECT_LT(seconds, 1.0);
}

}  // namespace
}  // namespace vek::test
