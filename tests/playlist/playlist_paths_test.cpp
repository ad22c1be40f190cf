#include "playlist/playlist_paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <string>

namespace vek {
namespace {

TEST(PlaylistPaths, FolderIsTheNameBeforeItsLastSlash) {
    EXPECT_EQ(PlaylistFolder("/lists/x.pls"), "/lists");
    EXPECT_EQ(PlaylistFolder("/a/b/c.m3u"), "/a/b");
    EXPECT_EQ(PlaylistFolder("rel/y.m3u"), "rel");
    EXPECT_EQ(PlaylistFolder("/x.m3u"), "");
    EXPECT_EQ(PlaylistFolder("//x.m3u"), "/");
}

TEST(PlaylistPaths, NameWithoutSlashLiesInTheCurrentDirectory) {
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(PlaylistFolder("x.m3u"), cwd);
}

TEST(PlaylistPaths, RelativeEntriesJoinTheFolderWithOneSlash) {
    EXPECT_EQ(ResolvePlaylistEntry("/lists", "a.mp3"), "/lists/a.mp3");
    EXPECT_EQ(ResolvePlaylistEntry("/", "a.mp3"), "/a.mp3");
    EXPECT_EQ(ResolvePlaylistEntry("", "a.mp3"), "/a.mp3") << "playlist in the root";
    EXPECT_EQ(ResolvePlaylistEntry("/lists", ""), "/lists/");
    // Nothing is folded.
    EXPECT_EQ(ResolvePlaylistEntry("/lists", "../a.mp3"), "/lists/../a.mp3");
    EXPECT_EQ(ResolvePlaylistEntry("/lists", " a.mp3 "), "/lists/ a.mp3 ");
}

TEST(PlaylistPaths, BackslashesOfRelativeEntriesBecomeSlashes) {
    EXPECT_EQ(ResolvePlaylistEntry("/lists", "sub\\a.mp3"), "/lists/sub/a.mp3");
    EXPECT_EQ(ResolvePlaylistEntry("/lists", "C:\\m\\a.mp3"), "/lists/C:/m/a.mp3");
    EXPECT_EQ(ResolvePlaylistEntry("/lists", "\\\\server\\a.mp3"), "/lists///server/a.mp3");
}

TEST(PlaylistPaths, AbsolutePathsAndUrlsStandAsWritten) {
    EXPECT_EQ(ResolvePlaylistEntry("/lists", "/e/b.mp3"), "/e/b.mp3");
    EXPECT_EQ(ResolvePlaylistEntry("/lists", "/e\\b.mp3"), "/e\\b.mp3");
    EXPECT_EQ(ResolvePlaylistEntry("/lists", "http://radio.example/live.mp3"),
              "http://radio.example/live.mp3");
    EXPECT_EQ(ResolvePlaylistEntry("/lists", "https://h/a\\b.mp3"), "https://h/a\\b.mp3");
    EXPECT_EQ(ResolvePlaylistEntry("/lists", "http:/h/a.mp3"), "/lists/http:/h/a.mp3");
    EXPECT_EQ(ResolvePlaylistEntry("/lists", "notes://"), "/lists/notes://")
        << "nothing after the separator: a file name, as everywhere else";
}

TEST(PlaylistPaths, EntriesOfAFetchedListResolveAgainstItsUrlAsABrowserDoes) {
    const char* base = "http://h:8000/radio/lists/s.pls?id=1#top";
    const struct {
        const char* text;
        const char* url;
    } cases[] = {
        {"live.mp3", "http://h:8000/radio/lists/live.mp3"},
        {" ..\\..\\a b\xc3\xa9.mp3\r", "http://h:8000/a%20b%C3%A9.mp3"},
        {"./../../../x/./y/..", "http://h:8000/x/"},
        {"/top.mp3?x=../y", "http://h:8000/top.mp3?x=../y"},
        {"//cdn.example/a.mp3", "http://cdn.example/a.mp3"},
        {"//cdn.example/a/./../b.mp3?x=../y", "http://cdn.example/b.mp3?x=../y"},
        {"?id=2", "http://h:8000/radio/lists/s.pls?id=2"},
        {"a.mp3?u=http://x/", "http://h:8000/radio/lists/a.mp3?u=http://x/"},
        {"HTTPS://other/\x01", "HTTPS://other/%01"},
        {"C:\\m\\a.mp3", "http://h:8000/radio/lists/C:/m/a.mp3"},
        {" \t", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ResolveLinkEntry(base, c.text), c.url) << c.text;
    EXPECT_EQ(ResolveLinkEntry("http://h", "a.mp3"), "http://h/a.mp3");
    EXPECT_EQ(ResolveLinkEntry("http://h?q", "../a.mp3"), "http://h/a.mp3");
}

TEST(PlaylistPaths, FileTitleIsTheTextAfterTheLastSlash) {
    const struct {
        const char* path;
        const char* title;
    } cases[] = {
        {"/m/a b.mp3", "a b.mp3"},
        {"/a.mp3", "a.mp3"},
        {"bare.mp3", "bare.mp3"},
        {"http://radio.example/live.mp3", "live.mp3"},
        {"http://radio.example/", "http://radio.example/"},
        {"http://radio.example", "radio.example"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(EntryFileTitle(c.path), c.title) << c.path;
}

}  // namespace
}  // namespace vek
