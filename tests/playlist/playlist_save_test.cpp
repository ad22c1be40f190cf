#include "playlist/playlist_save.h"

#include <sys/stat.h>

#include "tests/playlist/playlist_fixture.h"

namespace vek::test {
namespace {

using PlaylistSave = PlaylistTest;

// A name with a line break cannot be written in either form: it is left out
// and counted.
TEST_F(PlaylistSave, M3uIsExtendedWithLengthsWhereKnownAndPathsBelowTheFolderRelative) {
    AppendAll({"/m/Artist/01 One.mp3", "/other/two.mp3", "/m/two\nlines.mp3",
               "http://radio.example/live", "/music/x.mp3"});
    EntryAt(0)->length_ms = 215400;
    EntryAt(3)->length_ms = kLengthUnknown;
    int left_out = -1;
    EXPECT_EQ(PlaylistText("/m/list.m3u", PlaylistFormat::kM3u, &left_out),
              "#EXTM3U\n"
              "#EXTINF:215,01 One\n"
              "Artist/01 One.mp3\n"
              "/other/two.mp3\n"
              "http://radio.example/live\n"
              "/music/x.mp3\n");  // a sibling folder whose name begins like the list's
    EXPECT_EQ(left_out, 1);
}

TEST_F(PlaylistSave, PlsNumbersItsEntriesAndGivesMinusOneForUnknownLengths) {
    AppendAll({"/m/a.mp3", "http://radio.example/live"});
    EntryAt(0)->length_ms = 59600;
    int left_out = -1;
    EXPECT_EQ(PlaylistText("/m/list.pls", PlaylistFormat::kPls, &left_out),
              "[playlist]\n"
              "File1=a.mp3\nTitle1=a\nLength1=60\n"
              "File2=http://radio.example/live\nTitle2=live\nLength2=-1\n"
              "NumberOfEntries=2\nVersion=2\n");
}

TEST_F(PlaylistSave, TheNameChoosesTheFormat) {
    EXPECT_EQ(FormatOfName("/m/x.PLS"), PlaylistFormat::kPls);
    EXPECT_EQ(FormatOfName("/m/x.m3u"), PlaylistFormat::kM3u);
    EXPECT_EQ(FormatOfName("/m/pls"), PlaylistFormat::kM3u);
}

// Saved and read back by the readers, each format gives the same entries in
// the same order, whatever the names hold.
TEST_F(PlaylistSave, BothFormatsReadBackToTheSameList) {
    TempDir dir;
    const std::vector<std::string> entries = {
        dir.File("with blanks/01 A Song.mp3"),
        dir.File("Sigur Rós/Hoppípolla — live.mp3"),
        dir.File("back\\slash.mp3"),
        dir.File("#1 hit.mp3"),
        dir.File(" leading blank.mp3"),
        dir.File("sub/deeper/x.mp2"),
        "/elsewhere/y.mp3",
        "http://radio.example:8000/stream.mp3",
        "https://radio.example/a b?c=d",
    };
    for (const char* name : {"list.m3u", "list.pls"}) {
        ClearPlaylist();
        AppendAll(entries);
        EntryAt(0)->length_ms = 1000;
        std::string saved = dir.File(name);
        int left_out = -1;
        ASSERT_TRUE(SavePlaylist(saved.c_str(), FormatOfName(saved.c_str()), &left_out)) << name;
        EXPECT_EQ(left_out, 0);
        ClearPlaylist();
        ASSERT_TRUE(AddFileByName(saved.c_str()));
        EXPECT_EQ(Paths(), entries) << name;
        EXPECT_EQ(desktop_.Boxes().size(), 0u);
    }
}

TEST_F(PlaylistSave, AFileThatCannotBeWrittenLeavesWhatWasThere) {
    TempDir dir;
    AppendAll({"/m/a.mp3"});
    int left_out = 0;
    ASSERT_TRUE(WriteFileText(dir.File("not_a_folder"), "x"));
    EXPECT_FALSE(
        SavePlaylist(dir.File("not_a_folder/l.m3u").c_str(), PlaylistFormat::kM3u, &left_out));
    ASSERT_EQ(mkdir(dir.File("folder.m3u").c_str(), 0700), 0);
    EXPECT_FALSE(SavePlaylist(dir.File("folder.m3u").c_str(), PlaylistFormat::kM3u, &left_out));
    // A name as long as a name may be is saved like any other.
    std::string longest = dir.File(std::string(251, 'n') + ".m3u");
    EXPECT_TRUE(SavePlaylist(longest.c_str(), PlaylistFormat::kM3u, &left_out));
    // Saved over an old list, the new one replaces it whole.
    ASSERT_TRUE(WriteFileText(dir.File("old.m3u"), std::string(10000, '#') + "\n"));
    ASSERT_TRUE(SavePlaylist(dir.File("old.m3u").c_str(), PlaylistFormat::kM3u, &left_out));
    EXPECT_EQ(ReadFileText(dir.File("old.m3u")), "#EXTM3U\n/m/a.mp3\n");
}

}  // namespace
}  // namespace vek::test
