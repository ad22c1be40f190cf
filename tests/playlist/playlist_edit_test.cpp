#include "playlist/playlist_edit.h"

#include <functional>

#include "tests/playlist/playlist_fixture.h"

namespace vek::test {
namespace {

using PlaylistEdit = PlaylistTest;

const std::vector<std::string> kFive = {"/a.mp3", "/b.mp3", "/c.mp3", "/d.mp3", "/e.mp3"};

TEST_F(PlaylistEdit, RemovingOthersKeepsTheCurrentEntryWhereverItGoes) {
    AppendAll(kFive);
    SelectEntry(3);
    EXPECT_EQ(RemoveEntries({0, 4, 0, 9, -1}), 2) << "repeats and outside positions do not count";
    EXPECT_EQ(Paths(), (std::vector<std::string>{"/b.mp3", "/c.mp3", "/d.mp3"}));
    EXPECT_EQ(CurrentPath(), "/d.mp3");
    EXPECT_EQ(CurrentPosition(), 2);
    EXPECT_STREQ(EntryAt(1)->path, "/c.mp3");
}

// Once the current entry went, Next and Previous continue from its place,
// also when its neighbours go after it.
TEST_F(PlaylistEdit, AfterTheCurrentEntryWentNextAndPreviousContinueFromItsPlace) {
    const struct {
        int current;
        std::vector<std::vector<int>> removals;
        bool (*select)();
        const char* then;  // "" when there is nothing on that side
    } cases[] = {
        {2, {{1, 2}}, SelectNext, "/d.mp3"},   {2, {{2, 3}}, SelectPrevious, "/b.mp3"},
        {1, {{1}, {1}}, SelectNext, "/d.mp3"}, {0, {{0}}, SelectPrevious, ""},
        {1, {{1}}, SelectPrevious, "/a.mp3"},  {4, {{4}}, SelectNext, ""},
    };
    for (const auto& c : cases) {
        ClearPlaylist();
        AppendAll(kFive);
        SelectEntry(c.current);
        for (const auto& removal : c.removals) RemoveEntries(removal);
        EXPECT_TRUE(gPlaylist.current_removed);
        EXPECT_EQ(c.select(), *c.then != '\0') << c.current;
        if (*c.then) {
            EXPECT_EQ(CurrentPath(), c.then) << c.current;
        }
    }
    // The last one went: what is added after it comes next.
    AppendAll({"/f.mp3"});
    ASSERT_TRUE(SelectNext());
    EXPECT_EQ(CurrentPath(), "/f.mp3");
}

TEST_F(PlaylistEdit, RemovingEverythingEmptiesTheList) {
    AppendAll(kFive);
    SelectEntry(2);
    EXPECT_EQ(RemoveEntries({0, 1, 2, 3, 4}), 5);
    EXPECT_EQ(PlaylistCount(), 0);
    EXPECT_EQ(gPlaylist.current, nullptr);
    EXPECT_FALSE(SelectNext());
    AppendAll({"/f.mp3"});
    EXPECT_EQ(CurrentPath(), "/f.mp3");
    EXPECT_EQ(Paths(), std::vector<std::string>{"/f.mp3"});
}

TEST_F(PlaylistEdit, MovesKeepABlocksOrderAndStopAtTheEnds) {
    const struct {
        std::vector<int> positions;
        int delta;
        bool moves;
        const char* order;  // first letters of the names afterwards
        std::vector<int> moved;
    } cases[] = {
        {{1}, -1, true, "bacde", {0}},      {{2, 3}, -1, true, "acdbe", {1, 2}},
        {{3, 1}, 1, true, "acbed", {2, 4}}, {{0, 2}, -1, false, "abcde", {}},
        {{4}, 1, false, "abcde", {}},       {{1, 2, 3}, 1, true, "aebcd", {2, 3, 4}},
    };
    for (const auto& c : cases) {
        ClearPlaylist();
        AppendAll(kFive);
        SelectEntry(2);
        std::vector<int> moved;
        EXPECT_EQ(MoveEntries(c.positions, c.delta, &moved), c.moves) << c.order;
        std::string order;
        for (const std::string& path : Paths()) order += path[1];
        EXPECT_EQ(order, c.order);
        if (c.moves) {
            EXPECT_EQ(moved, c.moved) << c.order;
        }
        EXPECT_EQ(CurrentPath(), "/c.mp3") << c.order;
    }
}

TEST_F(PlaylistEdit, TitlesCompareAsPeopleReadThem) {
    const struct {
        const char* a;
        const char* b;
        int order;
    } cases[] = {
        {"2 x.mp3", "10 x.mp3", -1},
        {"Track 9", "track 10", -1},
        {"abc", "ABC", 0},
        {"a07", "a7", 0},
        {"a", "ab", -1},
        {"b", "A", 1},
        {"x 2", "x 2b", -1},
        {"0", "00", 0},
        {"é", "z", 1},
    };
    for (const auto& c : cases) {
        int order = CompareTitles(c.a, c.b);
        EXPECT_EQ((order > 0) - (order < 0), c.order) << c.a << " / " << c.b;
    }
}

TEST_F(PlaylistEdit, SortingOrdersByFileTitleAndKeepsEqualsAndTheCurrentEntry) {
    AppendAll({"/z/10 x.mp3", "/a/2 x.mp3", "/m/B.mp3", "/k/b.mp3", "http://h/a.mp3"});
    SelectEntry(3);
    SortPlaylist(false);
    EXPECT_EQ(Paths(), (std::vector<std::string>{"/a/2 x.mp3", "/z/10 x.mp3", "http://h/a.mp3",
                                                 "/m/B.mp3", "/k/b.mp3"}));
    EXPECT_EQ(CurrentPath(), "/k/b.mp3");
    SortPlaylist(true);
    EXPECT_EQ(Paths(), (std::vector<std::string>{"/m/B.mp3", "/k/b.mp3", "http://h/a.mp3",
                                                 "/z/10 x.mp3", "/a/2 x.mp3"}));
    EXPECT_EQ(CurrentPath(), "/k/b.mp3");
    EXPECT_EQ(CurrentPosition(), 1);
}

TEST_F(PlaylistEdit, EveryEditMovesTheVersionOnAndSelectingTellsTheHook) {
    AppendAll(kFive);
    std::vector<int> moved;
    const std::function<void()> edits[] = {[] { RemoveEntries({0}); },
                                           [&] { MoveEntries({1}, 1, &moved); },
                                           [] { SortPlaylist(true); }};
    for (const auto& edit : edits) {
        uint64_t before = PlaylistVersion();
        edit();
        EXPECT_GT(PlaylistVersion(), before);
    }
    static int told = 0;
    SetCurrentEntryHook([] { ++told; });
    SelectEntry(1);
    SelectNext();
    SelectPrevious();
    SetCurrentEntryHook(nullptr);
    EXPECT_EQ(told, 3);
}

}  // namespace
}  // namespace vek::test
