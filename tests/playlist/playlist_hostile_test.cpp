// Playlists made to hurt: files naming each other thousands of times, nesting
// without end, and names that lead to FIFOs, devices and huge files.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "tests/playlist/playlist_fixture.h"

namespace vek::test {
namespace {

class PlaylistBounds : public PlaylistTest {
  protected:
    void TearDown() override {
        SetPlaylistLoadBounds(0, 0);
        SetPlaylistLoadingStopped(false);
        PlaylistTest::TearDown();
    }
    // A file holding `line` `times` times, one per line.
    std::string Repeat(const std::string& name, const std::string& line, int times) {
        std::string text;
        for (int i = 0; i < times; ++i) text += line + "\n";
        EXPECT_TRUE(WriteFileText(dir_.File(name), text));
        return dir_.File(name);
    }
    size_t LoadErrors() { return desktop_.Count("Error..."); }

    TempDir dir_;
};

TEST_F(PlaylistBounds, ABombStopsAtTheEntryBoundAndSaysSoOnce) {
    SetPlaylistLoadBounds(5000, 0);
    // 100 x 100 x 100 entries asked for by three files of a few kilobytes.
    std::string top = Repeat("a.m3u", "b.m3u", 100);
    Repeat("b.m3u", "c.pls", 100);
    std::string pls = "[playlist]\nNumberOfEntries=100\n";
    for (int i = 1; i <= 100; ++i) pls += "File" + std::to_string(i) + "=x.mp3\n";
    ASSERT_TRUE(WriteFileText(dir_.File("c.pls"), pls));

    EXPECT_TRUE(AddFileByName(top.c_str()));
    EXPECT_EQ(PlaylistCount(), 5000) << "what was added stays";
    ASSERT_EQ(LoadErrors(), 1u);
    EXPECT_EQ(desktop_.Boxes()[0].text, "Error Loading Playlist: " + top);
}

TEST_F(PlaylistBounds, NestingDeeperThanSixteenStopsThere) {
    // l0.m3u names x0.mp3 and l1.m3u, l1.m3u names x1.mp3 and l2.m3u, and so on.
    constexpr int kLists = 20;
    for (int i = 0; i < kLists; ++i) {
        std::string text = "x" + std::to_string(i) + ".mp3\nl" + std::to_string(i + 1) + ".m3u\n";
        ASSERT_TRUE(WriteFileText(dir_.File("l" + std::to_string(i) + ".m3u"), text));
    }
    AddFileByName(dir_.File("l0.m3u").c_str());
    EXPECT_EQ(PlaylistCount(), kMaxPlaylistDepth) << "one entry from each list being read";
    EXPECT_EQ(std::string(gPlaylist.last->path), dir_.File("x15.mp3"));
    ASSERT_EQ(LoadErrors(), 1u) << "not one box per level";
    EXPECT_EQ(desktop_.Boxes()[0].text, "Error Loading Playlist: " + dir_.File("l0.m3u"));
}

// A box hook that stops loading, as SIGINT does while a nested list's box is up.
int StopOnBox(Window*, const char*, const char*, unsigned) {
    SetPlaylistLoadingStopped(true);
    return IDOK;
}

TEST_F(PlaylistBounds, AStoppedLoadAddsNothingMoreAndSaysNothing) {
    std::string top = dir_.File("a.m3u");
    ASSERT_TRUE(WriteFileText(top, "x1.mp3\nmissing.m3u\nx2.mp3\n"));
    SetDesktopHooks(DesktopHooks{StopOnBox, HeadlessDesktopHooks().choose_save_file});
    AddFileByName(top.c_str());
    EXPECT_EQ(Paths(), std::vector<std::string>{dir_.File("x1.mp3")});

    ClearPlaylist();
    SetDesktopHooks(HeadlessDesktopHooks());
    AddFileByName(top.c_str());
    EXPECT_EQ(PlaylistCount(), 0) << "a later load reads nothing either";
}

TEST_F(PlaylistBounds, CountingTakesNoWalk) {
    constexpr int kEntries = 100000;
    for (int i = 0; i < kEntries; ++i) ASSERT_TRUE(AppendEntry("/m/a.mp3"));
    auto start = std::chrono::steady_clock::now();
    long long total = 0;
    for (int i = 0; i < kEntries; ++i) total += PlaylistCount();  // a walk each: many seconds
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_EQ(total, static_cast<long long>(kEntries) * kEntries);
}

// Loads name in a child process (a reader that blocks or spins would hang this
// one) and gives what the child saw: 1 + boxes * 10 + entries, -1 on time-out.
int LoadInChild(const std::string& name) {
    return RunInChild(
        [&] {
            RecordingDesktop desktop;
            AddFileByName(name.c_str());
            return 1 + static_cast<int>(desktop.Count("Error...")) * 10 + PlaylistCount();
        },
        3000);
}

TEST_F(PlaylistBounds, PlaylistsThatAreNotRegularFilesOrAreHugeFailAtOnce) {
    ASSERT_EQ(mkfifo(dir_.File("fifo.m3u").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(dir_.File("fifo.pls").c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", dir_.File("zero.m3u").c_str()), 0);
    ASSERT_TRUE(
        WriteFileText(dir_.File("huge.pls"), "[playlist]\nNumberOfEntries=1\nFile1=a.mp3\n"));
    ASSERT_EQ(truncate(dir_.File("huge.pls").c_str(), (16 << 20) + 1), 0);  // sparse: no disk used
    for (const char* name : {"fifo.m3u", "fifo.pls", "zero.m3u", "huge.pls"})
        EXPECT_EQ(LoadInChild(dir_.File(name)), 11) << name << ": one box, no entry, no wait";
}

}  // namespace
}  // namespace vek::test
