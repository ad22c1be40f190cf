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

const char kClip[] = "made/mpeg1_l3_cbr128_44k.mp3";
constexpr size_t kMegabyte = 1 << 20;

// What was read, in one line: "Artist - Title|album|album artists|genres|track|
// year|cover bytes and ending".
std::string Read(const std::string& path, bool* found) {
    TrackTags tags;
    TrackCover cover;
    *found = ReadTrackTags(path.c_str(), &tags, &cover);
    auto join = [](const std::vector<std::string>& list) {
        std::string text;
        for (const std::string& item : list) text += (text.empty() ? "" : ",") + item;
        return text;
    };
    return TagTitle(tags) + "|" + tags.album + "|" + join(tags.album_artists) + "|" +
           join(tags.genres) + "|" + std::to_string(tags.track) + "|" +
           std::to_string(tags.year) + "|" + std::to_string(cover.bytes.size()) + cover.extension;
}

// Files as taggers write them, and what the player reads from each.
TEST(TrackTagsTest, EachKindOfTagIsReadIntoUtf8WithinItsBounds) {
    using W = TagWriting;
    const struct {
        std::vector<TagWriting> written;
        const char* read;
    } cases[] = {
        // clang-format off
        {{{.kind = W::kId3v23, .title = "Song", .artists = {"Band"}, .album = "LP",
           .album_artist = "Various", .genre = "Rock", .track = "3/12", .date = "1999-05-01",
           .picture = JpegLike(1000)}},
         "Band - Song|LP|Various|Rock|3|1999|1000jpg"},
        // UTF-8, a terminal's escape taken out, a genre by its ID3v1 number
        {{{.kind = W::kId3v24, .title = "\xc3\x9cn\xc3\xaf \xe2\x98\x83\x1b[2J",
           .artists = {"A", "B"}, .genre = "17"}},
         "A, B - \xc3\x9cn\xc3\xaf \xe2\x98\x83[2J|||Rock|0|0|0"},
        {{{.kind = W::kId3v1, .title = "Caf\xc3\xa9", .artists = {"Old"}, .album = "Vinyl",
           .genre = "Jazz", .track = "5", .date = "1987"}},
         "Old - Caf\xc3\xa9|Vinyl||Jazz|5|1987|0"},
        {{{.kind = W::kApe, .title = "Ape", .album_artist = "Zoo", .track = "7",
           .picture = JpegLike(2000)}},
         "Ape||Zoo||7|0|2000jpg"},
        {{{.kind = W::kId3v23, .title = "Caf\xc3\xa9", .artists = {"\xc3\x89mile"},
           .latin1 = true}},
         "\xc3\x89mile - Caf\xc3\xa9||||0|0|0"},
        // A 20 MB picture: its whole tag is skipped; a 9 MB one alone.
        {{{.kind = W::kId3v24, .title = "Hidden", .picture = JpegLike(20 * kMegabyte)},
          {.kind = W::kId3v1, .title = "Shown"}},
         "Shown||||0|0|0"},
        {{{.kind = W::kId3v24, .title = "Big", .picture = JpegLike(9 * kMegabyte)}},
         "Big||||0|0|0"},
        {{}, "||||0|0|0"},
        // clang-format on
    };
    TempDir dir;
    for (const auto& c : cases) {
        std::string path = dir.File("track.mp3");
        ASSERT_TRUE(WriteTaggedCopy(DataPath(kClip), path, c.written));
        bool found = false;
        EXPECT_EQ(Read(path, &found), c.read);
        EXPECT_EQ(found, !c.written.empty()) << c.read;
    }
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
    // Stored long ago, b after a.
    for (auto [path, seconds] : {std::pair{a_path, 1000}, std::pair{b_path, 2000}}) {
        struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
    }
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
