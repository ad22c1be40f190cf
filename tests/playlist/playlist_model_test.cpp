#include <string>

#include "tests/playlist/playlist_fixture.h"

namespace vek::test {
namespace {

int g_refreshes = 0;
void CountRefresh() {
    ++g_refreshes;
}

using PlaylistModel = PlaylistTest;

TEST_F(PlaylistModel, EmptyListRefusesEverythingButClear) {
    char buffer[kPathField] = "untouched";
    EXPECT_FALSE(GetCurrentPath(buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_FALSE(SelectEntry(0));
    EXPECT_FALSE(SelectNext());
    EXPECT_FALSE(SelectPrevious());
    EXPECT_FALSE(ShufflePlaylist());
    EXPECT_EQ(PlaylistCount(), 0);
    EXPECT_EQ(CurrentPosition(), -1);

    g_refreshes = 0;
    SetPlaylistRefreshHook(CountRefresh);
    EXPECT_TRUE(ClearPlaylist());
    EXPECT_EQ(g_refreshes, 1);
    EXPECT_EQ(gPlaylist.first, nullptr);
}

TEST_F(PlaylistModel, ClearWithoutEditorDoesNothingMore) {
    AppendAll({"/a.mp3"});
    EXPECT_TRUE(ClearPlaylist());  // no hook set: must not call through null
    EXPECT_EQ(gPlaylist.first, nullptr);
    EXPECT_EQ(gPlaylist.current, nullptr);
    EXPECT_EQ(gPlaylist.last, nullptr);
}

TEST_F(PlaylistModel, ClearFreesAndRefreshesAfterwards) {
    AppendAll({"/a.mp3", "/b.mp3", "/c.mp3"});
    g_refreshes = 0;
    // The editor must see the empty list when it is asked to refresh.
    SetPlaylistRefreshHook([] {
        ++g_refreshes;
        EXPECT_EQ(gPlaylist.first, nullptr);
        EXPECT_EQ(gPlaylist.current, nullptr);
    });
    EXPECT_TRUE(ClearPlaylist());
    EXPECT_EQ(g_refreshes, 1);
    EXPECT_EQ(PlaylistCount(), 0);
    EXPECT_TRUE(AppendEntry("/d.mp3"));
    EXPECT_EQ(Paths(), (std::vector<std::string>{"/d.mp3"}));
}

TEST_F(PlaylistModel, FirstAppendBecomesCurrentLaterOnesDoNot) {
    EXPECT_TRUE(AppendEntry("/m/a.mp3"));
    EXPECT_EQ(CurrentPath(), "/m/a.mp3");
    EXPECT_TRUE(AppendEntry("/m/b.mp3"));
    EXPECT_TRUE(AppendEntry("http://host/radio"));
    EXPECT_EQ(CurrentPath(), "/m/a.mp3");
    ASSERT_TRUE(SelectNext());
    EXPECT_TRUE(AppendEntry("/m/c.mp3"));
    EXPECT_EQ(CurrentPath(), "/m/b.mp3");
    EXPECT_EQ(Paths(),
              (std::vector<std::string>{"/m/a.mp3", "/m/b.mp3", "http://host/radio", "/m/c.mp3"}));
    EXPECT_EQ(PlaylistCount(), 4);
}

TEST_F(PlaylistModel, AppendKeepsTextExactly) {
    // No test of form: blanks, odd endings and backslashes stay as given.
    AppendAll({" spaced .mp3 ", "C:\\x\\y.wav", ""});
    EXPECT_EQ(Paths(), (std::vector<std::string>{" spaced .mp3 ", "C:\\x\\y.wav", ""}));
}

TEST_F(PlaylistModel, AppendRefusesWhatDoesNotFitAPathField) {
    std::string longest(kPathField - 1, 'a');
    EXPECT_TRUE(AppendEntry(longest.c_str()));
    std::string too_long(kPathField, 'b');
    EXPECT_FALSE(AppendEntry(too_long.c_str()));
    EXPECT_EQ(PlaylistCount(), 1);
    EXPECT_EQ(CurrentPath(), longest);
}

TEST_F(PlaylistModel, GetCurrentPathRefusesASmallBuffer) {
    AppendAll({"/m/abc.mp3"});
    char small[10] = "untouched";
    EXPECT_FALSE(GetCurrentPath(small, sizeof small));
    EXPECT_STREQ(small, "untouched");
    char exact[11];
    EXPECT_TRUE(GetCurrentPath(exact, sizeof exact));
    EXPECT_STREQ(exact, "/m/abc.mp3");
}

TEST_F(PlaylistModel, SelectBeyondTheEndLeavesTheLastCurrent) {
    AppendAll({"/1.mp3", "/2.mp3", "/3.mp3"});
    EXPECT_FALSE(SelectEntry(5));
    EXPECT_EQ(CurrentPath(), "/3.mp3");
    EXPECT_EQ(CurrentPosition(), 2);
    EXPECT_FALSE(SelectEntry(3));
    EXPECT_EQ(CurrentPath(), "/3.mp3");
    EXPECT_TRUE(SelectEntry(1));
    EXPECT_EQ(CurrentPath(), "/2.mp3");
    EXPECT_TRUE(SelectEntry(0));
    EXPECT_EQ(CurrentPath(), "/1.mp3");
}

TEST_F(PlaylistModel, EntriesAreFoundByPositionAndNoneOutsideTheList) {
    AppendAll({"/1.mp3", "/2.mp3", "/3.mp3"});
    EXPECT_STREQ(EntryAt(1)->path, "/2.mp3");
    EXPECT_EQ(EntryAt(2), gPlaylist.last);
    EXPECT_EQ(EntryAt(3), nullptr);
    EXPECT_EQ(EntryAt(-1), nullptr);
    ClearPlaylist();
    EXPECT_EQ(EntryAt(0), nullptr);
}

TEST_F(PlaylistModel, NegativePositionSelectsTheFirst) {
    AppendAll({"/1.mp3", "/2.mp3"});
    ASSERT_TRUE(SelectEntry(1));
    EXPECT_TRUE(SelectEntry(-4));
    EXPECT_EQ(CurrentPosition(), 0);
}

TEST_F(PlaylistModel, NextAndPreviousStopAtTheEnds) {
    AppendAll({"/1.mp3", "/2.mp3", "/3.mp3"});
    EXPECT_FALSE(SelectPrevious());
    EXPECT_EQ(CurrentPath(), "/1.mp3");
    EXPECT_TRUE(SelectNext());
    EXPECT_TRUE(SelectNext());
    EXPECT_EQ(CurrentPath(), "/3.mp3");
    EXPECT_FALSE(SelectNext());
    EXPECT_EQ(CurrentPath(), "/3.mp3");
    EXPECT_TRUE(SelectPrevious());
    EXPECT_EQ(CurrentPath(), "/2.mp3");
    EXPECT_EQ(CurrentPosition(), 1);
}

}  // namespace
}  // namespace vek::test
