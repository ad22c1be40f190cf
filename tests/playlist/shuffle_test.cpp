#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "tests/playlist/playlist_fixture.h"

namespace vek::test {
namespace {

uint32_t g_seed = 0;
int g_seed_requests = 0;
uint32_t FixedSeed() {
    ++g_seed_requests;
    return g_seed;
}

// The order the shuffle must give, worked out here from the stated rule on
// plain indices: draw = ((state = state * 214013 + 2531011) >> 16) & 0x7FFF,
// partner = (draw mod 4(n-1)) div 4, one pass per position in order.
std::vector<std::string> ExpectedOrder(std::vector<std::string> paths, uint32_t seed) {
    uint64_t state = seed;
    const uint64_t n = paths.size();
    for (uint64_t pass = 0; pass < n; ++pass) {
        state = (state * 214013 + 2531011) % 4294967296ULL;
        uint64_t draw = (state / 65536) % 32768;
        uint64_t partner = (draw % (4 * (n - 1))) / 4;
        std::swap(paths[pass], paths[partner]);
    }
    return paths;
}

using Shuffle = PlaylistTest;

TEST_F(Shuffle, OneAndTwoEntriesAreNeverShuffled) {
    SetShuffleSeedSource(FixedSeed);
    AppendAll({"/a.mp3"});
    EXPECT_FALSE(ShufflePlaylist());
    EXPECT_EQ(Paths(), (std::vector<std::string>{"/a.mp3"}));
    AppendAll({"/b.mp3"});
    // With seed 1 a two-entry list would otherwise swap on the first pass.
    g_seed = 1;
    EXPECT_FALSE(ShufflePlaylist());
    EXPECT_EQ(Paths(), (std::vector<std::string>{"/a.mp3", "/b.mp3"}));
    AppendAll({"/c.mp3"});
    EXPECT_TRUE(ShufflePlaylist());
}

TEST_F(Shuffle, FiveEntriesWithSeedOneGiveTheHandWorkedOrder) {
    // Seed 1 draws 41, 18467, 6334, 26500, 19169. With n = 5 the partners are
    // (r mod 16) div 4 = 2, 0, 3, 1, 0, so ABCDE -> CBADE -> BCADE -> BCDAE
    // -> BADCE -> EADCB.
    SetShuffleSeedSource(FixedSeed);
    g_seed = 1;
    AppendAll({"A.mp3", "B.mp3", "C.mp3", "D.mp3", "E.mp3"});
    ASSERT_TRUE(ShufflePlaylist());
    EXPECT_EQ(Paths(), (std::vector<std::string>{"E.mp3", "A.mp3", "D.mp3", "C.mp3", "B.mp3"}));
}

TEST_F(Shuffle, MatchesTheRuleForSeedsThatWrap) {
    SetShuffleSeedSource(FixedSeed);
    const std::vector<std::string> start{"1", "2", "3", "4", "5", "6", "7"};
    for (uint32_t seed : {0u, 12345u, 0x5F3759DFu, 0xFFFFFFFFu, 1700000000u}) {
        ClearPlaylist();
        AppendAll(start);
        g_seed = seed;
        ASSERT_TRUE(ShufflePlaylist());
        EXPECT_EQ(Paths(), ExpectedOrder(start, seed)) << "seed " << seed;
    }
}

TEST_F(Shuffle, LongListsUseTheSameRule) {
    // Past 8193 entries a draw can no longer reach every position.
    SetShuffleSeedSource(FixedSeed);
    std::vector<std::string> start;
    for (int i = 0; i < 9000; ++i) start.push_back(std::to_string(i));
    AppendAll(start);
    g_seed = 777;
    ASSERT_TRUE(ShufflePlaylist());
    EXPECT_EQ(Paths(), ExpectedOrder(start, 777));
}

TEST_F(Shuffle, SeedsAnewForEveryShuffle) {
    SetShuffleSeedSource(FixedSeed);
    const std::vector<std::string> start{"a", "b", "c", "d", "e", "f"};
    AppendAll(start);
    g_seed = 99;
    g_seed_requests = 0;
    ASSERT_TRUE(ShufflePlaylist());
    std::vector<std::string> once = Paths();
    ASSERT_TRUE(ShufflePlaylist());
    EXPECT_EQ(g_seed_requests, 2);
    // The same seed again from the shuffled order, not a continued sequence.
    EXPECT_EQ(Paths(), ExpectedOrder(once, 99));
}

TEST_F(Shuffle, DefaultSeedIsTheTimeInSeconds) {
    const std::vector<std::string> start{"a", "b", "c", "d", "e", "f", "g", "h"};
    for (int attempt = 0; attempt < 5; ++attempt) {
        ClearPlaylist();
        AppendAll(start);
        std::time_t before = std::time(nullptr);
        ASSERT_TRUE(ShufflePlaylist());
        std::time_t after = std::time(nullptr);
        if (before != after) continue;  // a second boundary passed; try again
        EXPECT_EQ(Paths(), ExpectedOrder(start, static_cast<uint32_t>(before)));
        return;
    }
    FAIL() << "the clock kept changing second";
}

TEST_F(Shuffle, CurrentEntryKeepsItsPosition) {
    SetShuffleSeedSource(FixedSeed);
    g_seed = 1;
    AppendAll({"A.mp3", "B.mp3", "C.mp3", "D.mp3", "E.mp3"});
    ASSERT_TRUE(SelectEntry(3));
    PlaylistEntry* current = gPlaylist.current;
    ASSERT_TRUE(ShufflePlaylist());
    EXPECT_EQ(gPlaylist.current, current);
    EXPECT_EQ(CurrentPosition(), 3);
    EXPECT_EQ(CurrentPath(), "C.mp3");  // the fourth of EADCB
}

TEST_F(Shuffle, ATitleAndALengthGoWithTheirAddress) {
    SetShuffleSeedSource(FixedSeed);
    g_seed = 1;
    AppendAll({"A.mp3", "http://b/", "C.mp3", "D.mp3", "E.mp3"});
    ASSERT_TRUE(SetEntryTitle(EntryAt(1), "Song"));
    for (int i = 0; i < 5; ++i) EntryAt(i)->length_ms = EntryAt(i)->path[0];
    uint64_t version = PlaylistVersion();
    ASSERT_TRUE(ShufflePlaylist());
    EXPECT_NE(PlaylistVersion(), version);
    for (PlaylistEntry* e = gPlaylist.first; e; e = e->next) {
        EXPECT_EQ(e->title != nullptr, std::string(e->path) == "http://b/") << e->path;
        EXPECT_EQ(e->length_ms, e->path[0]) << e->path;
    }
}

}  // namespace
}  // namespace vek::test
