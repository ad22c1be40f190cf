#include "tags/track_tags.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include "tags/cover_cache.h"
#include "tests/support/tagged_file.h"
#include "tests/support/test_support.h"

namespace vek::test {
namespace {

using Strings = std::vector<std::string>;
const char kClip[] = "made/mpeg1_l3_cbr128_44k.mp3";
constexpr size_t kMegabyte = 1 << 20;

// Files as taggers write them, and what the player reads from each.
TEST(TrackTagsTest, EachKindOfTagIsReadIntoUtf8WithinItsBounds) {
    using W = TagWriting;
    struct Case {
        const char* name;
        std::vector<TagWriting> written;
        std::string line;  // TagTitle
        Strings artists;
        std::string album;
        Strings album_artists, genres;
        int track, year;
        size_t cover;
    } cases[] = {
        {"ID3v2.3",
         {{.kind = W::kId3v23,
           .title = "Song",
           .artists = {"Band"},
           .album = "LP",
           .album_artist = "Various",
           .genre = "Rock",
           .track = "3/12",
           .date = "1999-05-01",
           .picture = JpegLike(1000)}},
         "Band - Song",
         {"Band"},
         "LP",
         {"Various"},
         {"Rock"},
         3,
         1999,
         1000},
        {"ID3v2.4 in UTF-8, a terminal's escape taken out",
         {{.kind = W::kId3v24,
           .title = "\xc3\x9cn\xc3\xaf \xe2\x98\x83\x1b[2J",
           .artists = {"A", "B"},
           .genre = "17"}},
         "A, B - \xc3\x9cn\xc3\xaf \xe2\x98\x83[2J",
         {"A", "B"},
         "",
         {},
         {"Rock"},
         0,
         0,
         0},
        {"ID3v1 only, in Latin-1",
         {{.kind = W::kId3v1,
           .title = "Caf\xc3\xa9",
           .artists = {"Old"},
           .album = "Vinyl",
           .genre = "Jazz",
           .track = "5",
           .date = "1987"}},
         "Old - Caf\xc3\xa9",
         {"Old"},
         "Vinyl",
         {},
         {"Jazz"},
         5,
         1987,
         0},
        {"APE",
         {{.kind = W::kApe,
           .title = "Ape",
           .album_artist = "Zoo",
           .track = "7",
           .picture = JpegLike(2000)}},
         "Ape",
         {},
         "",
         {"Zoo"},
         {},
         7,
         0,
         2000},
        {"a Latin-1 frame",
         {{.kind = W::kId3v23,
           .title = "Caf\xc3\xa9",
           .artists = {"\xc3\x89mile"},
           .latin1 = true}},
         "\xc3\x89mile - Caf\xc3\xa9",
         {"\xc3\x89mile"},
         "",
         {},
         {},
         0,
         0,
         0},
        {"a 20 MB picture: its tag is skipped",
         {{.kind = W::kId3v24, .title = "Hidden", .picture = JpegLike(20 * kMegabyte)},
          {.kind = W::kId3v1, .title = "Shown"}},
         "Shown",
         {},
         "",
         {},
         {},
         0,
         0,
         0},
        {"a 9 MB picture: the text is read",
         {{.kind = W::kId3v24, .title = "Big", .picture = JpegLike(9 * kMegabyte)}},
         "Big",
         {},
         "",
         {},
         {},
         0,
         0,
         0},
        {"no tags", {}, "", {}, "", {}, {}, 0, 0, 0},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = dir.File("track.mp3");
        ASSERT_TRUE(WriteTaggedCopy(DataPath(kClip), path, c.written));
        TrackTags tags;
        TrackCover cover;
        EXPECT_EQ(ReadTrackTags(path.c_str(), &tags, &cover), !c.written.empty());
        EXPECT_EQ(TagTitle(tags), c.line);
        EXPECT_EQ(tags.artists, c.artists);
        EXPECT_EQ(tags.album, c.album);
        EXPECT_EQ(tags.album_artists, c.album_artists);
        EXPECT_EQ(tags.genres, c.genres);
        EXPECT_EQ(tags.track, c.track);
        EXPECT_EQ(tags.year, c.year);
        EXPECT_EQ(cover.bytes.size(), c.cover);
        EXPECT_EQ(cover.extension, c.cover ? "jpg" : "");
    }
}

void SetUsed(const std::string& path, time_t seconds) {
    struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

// Tracks of one album share one file; past the bound the picture used least
// recently goes.
TEST(CoverCacheTest, EachPictureIsStoredOnceAndTheLeastRecentlyUsedGoesFirst) {
    TempDir cache;
    EnvRestorer restore("XDG_CACHE_HOME");
    setenv("XDG_CACHE_HOME", cache.path().c_str(), 1);
    SetCoverCacheBound(2500);
    const TrackCover a{JpegLike(1000), "jpg"}, b{JpegLike(1001), "jpg"}, c{JpegLike(1002), "png"};
    std::string a_path = StoreCover(a), b_path = StoreCover(b);
    EXPECT_EQ(a_path.rfind(cache.path() + "/vek/art/", 0), 0u) << a_path;
    EXPECT_NE(a_path, b_path);
    SetUsed(a_path, 1000);
    SetUsed(b_path, 2000);
    EXPECT_EQ(StoreCover(a), a_path) << "used again: now the most recent";
    std::string c_path = StoreCover(c);
    SetCoverCacheBound(0);
    EXPECT_EQ(ReadFileText(a_path), a.bytes);
    EXPECT_EQ(ReadFileText(c_path), c.bytes);
    EXPECT_TRUE(c_path.ends_with(".png"));
    EXPECT_FALSE(FileExists(b_path));
}

}  // namespace
}  // namespace vek::test
