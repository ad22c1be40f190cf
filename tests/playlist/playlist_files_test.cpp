#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <string>
#include <vector>

#include "tests/playlist/playlist_fixture.h"

namespace vek::test {
namespace {

using Strings = std::vector<std::string>;

class PlaylistFiles : public PlaylistTest {
  protected:
    std::string Write(const std::string& name, const std::string& text) {
        std::string path = dir_.File(name);
        EXPECT_TRUE(WriteFileText(path, text)) << path;
        return path;
    }
    std::string Folder() const { return dir_.path(); }
    std::string In(const std::string& name) const { return dir_.File(name); }

    Strings BoxTexts(const std::string& caption = "Error...") {
        Strings texts;
        for (const Box& box : desktop_.Boxes()) {
            EXPECT_EQ(box.caption, caption);
            EXPECT_EQ(box.style, MB_OK);
            texts.push_back(box.text);
        }
        return texts;
    }

    TempDir dir_;
};

TEST_F(PlaylistFiles, AddByNameAppendsOnlyAudioNames) {
    for (const char* name :
         {"/m/a.Mp3", "/m/b.MPG", "/m/c.mp2", "/m/d.mp", "/m/e.mp3 ", "/m/f.wav", "mp3", ""})
        EXPECT_TRUE(AddFileByName(name)) << name;
    EXPECT_EQ(Paths(), (Strings{"/m/a.Mp3", "/m/b.MPG", "/m/c.mp2"}));
    EXPECT_TRUE(desktop_.Boxes().empty());
}

TEST_F(PlaylistFiles, AddByNameRefusesANameThatDoesNotFit) {
    // The caller shows the box; the add itself only reports.
    std::string audio = "/" + std::string(kPathField, 'a') + ".mp3";
    EXPECT_FALSE(AddFileByName(audio.c_str()));
    std::string list = "/" + std::string(kPathField, 'a') + ".m3u";
    EXPECT_FALSE(AddFileByName(list.c_str()));
    std::string other = "/" + std::string(kPathField, 'a') + ".txt";
    EXPECT_TRUE(AddFileByName(other.c_str()));
    EXPECT_EQ(PlaylistCount(), 0);
    EXPECT_TRUE(desktop_.Boxes().empty());
}

TEST_F(PlaylistFiles, AHandedNameIsAUrlOrGoesByItsEnding) {
    EXPECT_TRUE(AddNameOrComplain("http://radio.example/live"));
    EXPECT_TRUE(AddNameOrComplain("/m/notes.txt"));
    EXPECT_TRUE(AddNameOrComplain("/m/a.mp3"));
    EXPECT_EQ(Paths(), (Strings{"http://radio.example/live", "/m/a.mp3"}));
    std::string long_name = "/" + std::string(kPathField, 'a') + ".mp3";
    EXPECT_FALSE(AddNameOrComplain(long_name.c_str()));
    EXPECT_EQ(BoxTexts(), (Strings{"Error Processing File: " + long_name.substr(0, 200) + "…"}));
}

TEST_F(PlaylistFiles, PlsWithAMissingEntry) {
    std::string pls = Write("x.pls",
                            "[playlist]\r\nNumberOfEntries=3\r\nFile1=a.mp3\r\n"
                            "File3=/e/b.mp3\r\nTitle1=Something.mp3\r\nVersion=2\r\n");
    EXPECT_TRUE(AddFileByName(pls.c_str()));
    EXPECT_EQ(Paths(), (Strings{In("a.mp3"), "/e/b.mp3"}));
    EXPECT_EQ(CurrentPath(), In("a.mp3"));
    EXPECT_TRUE(desktop_.Boxes().empty());
}

TEST_F(PlaylistFiles, PlsWithoutCountFailsWithItsFullName) {
    std::string pls = Write("nocount.pls", "[playlist]\nFile1=a.mp3\n");
    EXPECT_FALSE(LoadPlsPlaylist(pls.c_str()));
    EXPECT_TRUE(desktop_.Boxes().empty()) << "the reader leaves the box to its caller";
    EXPECT_TRUE(AddFileByName(pls.c_str()));
    EXPECT_EQ(BoxTexts(), (Strings{"Error Loading Playlist: " + pls}));
    EXPECT_EQ(PlaylistCount(), 0);
}

TEST_F(PlaylistFiles, PlsCountZeroOrNegativeSucceedsSilently) {
    std::string zero = Write("zero.pls", "[playlist]\nNumberOfEntries=0\nFile1=a.mp3\n");
    std::string negative = Write("neg.pls", "[playlist]\nNumberOfEntries=-3\nFile1=a.mp3\n");
    EXPECT_TRUE(LoadPlsPlaylist(zero.c_str()));
    EXPECT_TRUE(LoadPlsPlaylist(negative.c_str()));
    EXPECT_EQ(PlaylistCount(), 0);
    EXPECT_TRUE(desktop_.Boxes().empty());
}

TEST_F(PlaylistFiles, PlsCountMinusOneOrMissingSectionOrFileFails) {
    EXPECT_FALSE(LoadPlsPlaylist(Write("m1.pls", "[playlist]\nNumberOfEntries=-1\n").c_str()));
    EXPECT_FALSE(LoadPlsPlaylist(Write("empty.pls", "[playlist]\nNumberOfEntries=\n").c_str()));
    EXPECT_FALSE(LoadPlsPlaylist(Write("other.pls", "[list]\nNumberOfEntries=2\n").c_str()));
    EXPECT_FALSE(LoadPlsPlaylist(In("absent.pls").c_str()));
    ASSERT_EQ(mkdir(In("folder.pls").c_str(), 0700), 0);
    EXPECT_FALSE(LoadPlsPlaylist(In("folder.pls").c_str()));
}

TEST_F(PlaylistFiles, PlsKeysFollowTheIniRules) {
    std::string pls = Write("keys.pls",
                            "[Playlist]\n"
                            "numberofentries = 4\n"
                            "FILE2 = second.mp3 \n"
                            "File01=leading-zero.mp3\n"
                            "File1=first.mp3\n"
                            "File1=duplicate.mp3\n"
                            "File5=beyond-count.mp3\n"
                            "File4=\n"
                            "File-1=negative.mp3\n"
                            "File+3=signed.mp3\n");
    EXPECT_TRUE(LoadPlsPlaylist(pls.c_str()));
    EXPECT_EQ(Paths(), (Strings{In("first.mp3"), In("second.mp3")}));
}

TEST_F(PlaylistFiles, PlsHugeCountIsNotWalkedKeyByKey) {
    std::string pls = Write("huge.pls",
                            "[playlist]\nNumberOfEntries=2147483647\nFile2147483647=/last.mp3\n"
                            "File1=/first.mp3\nFile4294967297=/wrapped.mp3\n");
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(LoadPlsPlaylist(pls.c_str()));
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(Paths(), (Strings{"/first.mp3", "/last.mp3"}));
    EXPECT_LT(seconds, 1.0);
}

TEST_F(PlaylistFiles, PlsUrlsAndBackslashes) {
    std::string pls =
        Write("radio.pls",
              "[playlist]\nNumberOfEntries=3\nFile1=http://radio.example:8000/live.mp3\n"
              "File2=http://radio.example:8000/stream\nFile3=sub\\deep\\c.mp3\n");
    EXPECT_TRUE(LoadPlsPlaylist(pls.c_str()));
    // A stream is taken whatever its address ends in, as a station's list names it.
    EXPECT_EQ(Paths(), (Strings{"http://radio.example:8000/live.mp3",
                                "http://radio.example:8000/stream", In("sub/deep/c.mp3")}));
}

TEST_F(PlaylistFiles, M3uLinesWithCrLfCommentsAndUrls) {
    std::string m3u = Write("x.m3u",
                            "#EXTM3U\r\n"
                            "#EXTINF:123,Artist - Title.mp3\r\n"
                            "a.mp3\r\n"
                            "http://radio.example/live.mp3\r\n"
                            "\r\n"
                            "  spaced.mp3\r\n"
                            "trailing.mp3 \r\n"
                            "/abs/b.MP2\r\n"
                            "sub\\c.mp3\r\r\n"
                            "notes.txt\r\n"
                            "last.mp1");
    EXPECT_TRUE(AddFileByName(m3u.c_str()));
    EXPECT_EQ(Paths(), (Strings{In("a.mp3"), "http://radio.example/live.mp3", In("  spaced.mp3"),
                                "/abs/b.MP2", In("sub/c.mp3"), In("last.mp1")}));
    EXPECT_TRUE(desktop_.Boxes().empty());
}

TEST_F(PlaylistFiles, M3uThatCannotBeOpenedFails) {
    std::string absent = In("absent.m3u");
    EXPECT_FALSE(LoadM3uPlaylist(absent.c_str()));
    ASSERT_EQ(mkdir(In("folder.m3u").c_str(), 0700), 0);
    EXPECT_FALSE(LoadM3uPlaylist(In("folder.m3u").c_str()));
    EXPECT_TRUE(AddFileByName(absent.c_str()));
    EXPECT_EQ(BoxTexts(), (Strings{"Error Loading Playlist: " + absent}));
}

TEST_F(PlaylistFiles, EmptyM3uSucceeds) {
    EXPECT_TRUE(LoadM3uPlaylist(Write("empty.m3u", "").c_str()));
    EXPECT_EQ(PlaylistCount(), 0);
}

TEST_F(PlaylistFiles, NestedM3uStandsBetweenThePlsEntries) {
    ASSERT_EQ(mkdir(In("sub").c_str(), 0700), 0);
    Write("sub/inner.m3u", "b1.mp3\nb2.mp3\n");
    std::string pls = Write("outer.pls",
                            "[playlist]\nNumberOfEntries=3\nFile1=a.mp3\nFile2=sub\\inner.m3u\n"
                            "File3=c.mp3\n");
    EXPECT_TRUE(AddFileByName(pls.c_str()));
    // The nested list resolves against its own folder.
    EXPECT_EQ(Paths(), (Strings{In("a.mp3"), In("sub/b1.mp3"), In("sub/b2.mp3"), In("c.mp3")}));
    EXPECT_TRUE(desktop_.Boxes().empty());
}

TEST_F(PlaylistFiles, FailingNestedListShowsItsOwnBoxAndReadingGoesOn) {
    Write("bad.pls", "[playlist]\n");
    std::string m3u = Write("outer.m3u", "a.mp3\nmissing.m3u\nbad.pls\nb.mp3\n");
    EXPECT_TRUE(AddFileByName(m3u.c_str()));
    EXPECT_EQ(Paths(), (Strings{In("a.mp3"), In("b.mp3")}));
    EXPECT_EQ(BoxTexts(), (Strings{"Error Loading Playlist: " + In("missing.m3u"),
                                   "Error Loading Playlist: " + In("bad.pls")}));
}

TEST_F(PlaylistFiles, ListNamingItselfIsReadOnce) {
    std::string m3u = Write("self.m3u", "1.mp3\nself.m3u\n2.mp3\n");
    EXPECT_TRUE(AddFileByName(m3u.c_str()));
    EXPECT_EQ(Paths(), (Strings{In("1.mp3"), In("2.mp3")}));
    EXPECT_EQ(BoxTexts(), (Strings{"Error Loading Playlist: " + m3u}));
}

TEST_F(PlaylistFiles, SelfNestingThroughTwoFiles) {
    std::string a = Write("a.m3u", "1.mp3\nb.pls\n2.mp3\n");
    std::string b =
        Write("b.pls", "[playlist]\nNumberOfEntries=3\nFile1=3.mp3\nFile2=a.m3u\nFile3=4.mp3\n");
    EXPECT_TRUE(AddFileByName(a.c_str()));
    EXPECT_EQ(Paths(), (Strings{In("1.mp3"), In("3.mp3"), In("4.mp3"), In("2.mp3")}));
    EXPECT_EQ(BoxTexts(), (Strings{"Error Loading Playlist: " + a}));

    // Started from the other end the chain is broken at the other file.
    ClearPlaylist();
    EXPECT_TRUE(AddFileByName(b.c_str()));
    EXPECT_EQ(Paths(), (Strings{In("3.mp3"), In("1.mp3"), In("2.mp3"), In("4.mp3")}));
    EXPECT_EQ(BoxTexts().back(), "Error Loading Playlist: " + b);
}

TEST_F(PlaylistFiles, SelfNestingUnderAnotherSpellingIsCaught) {
    // Each reading would name the same file with a longer name.
    std::string leaf = dir_.path().substr(dir_.path().rfind('/') + 1);
    std::string m3u = Write("loop.m3u", "x.mp3\n../" + leaf + "/loop.m3u\n");
    ASSERT_EQ(symlink(".", In("again").c_str()), 0);
    Write("linked.m3u", "y.mp3\nagain/linked.m3u\n");
    EXPECT_TRUE(AddFileByName(m3u.c_str()));
    EXPECT_TRUE(AddFileByName(In("linked.m3u").c_str()));
    EXPECT_EQ(Paths(), (Strings{In("x.mp3"), In("y.mp3")}));
    EXPECT_EQ(BoxTexts().size(), 2u);
}

TEST_F(PlaylistFiles, SameListTwiceInARowIsReadTwice) {
    Write("inner.m3u", "x.mp3\n");
    std::string outer = Write("outer.m3u", "inner.m3u\ninner.m3u\n");
    EXPECT_TRUE(AddFileByName(outer.c_str()));
    EXPECT_EQ(Paths(), (Strings{In("x.mp3"), In("x.mp3")}));
    EXPECT_TRUE(desktop_.Boxes().empty());
}

TEST_F(PlaylistFiles, LongM3uLineIsTakenInPieces) {
    // The first piece fills a path field; the rest is a line of its own.
    std::string first_piece(kPathField - 1, 'z');
    std::string m3u = Write("long.m3u", first_piece + "tail.mp3\nnext.mp3\n");
    EXPECT_TRUE(LoadM3uPlaylist(m3u.c_str()));
    EXPECT_EQ(Paths(), (Strings{In("tail.mp3"), In("next.mp3")}));
}

TEST_F(PlaylistFiles, LongCommentLineAddsNothing) {
    std::string title(kPathField + 100, 't');
    std::string m3u = Write("comment.m3u", "#EXTINF:1," + title + ".mp3\nreal.mp3\n");
    EXPECT_TRUE(LoadM3uPlaylist(m3u.c_str()));
    EXPECT_EQ(Paths(), (Strings{In("real.mp3")}));
}

TEST_F(PlaylistFiles, ResolvedNameTooLongForAPathFieldIsSkippedWithABox) {
    // The raw line fits a piece, but the folder in front makes it too long.
    std::string text(kPathField - 1 - 4 - Folder().size(), 'n');
    std::string fits(kPathField - 1 - 5 - Folder().size(), 'f');
    std::string m3u =
        Write("over.m3u", text + ".mp3\n" + fits + ".mp3\n" + text + ".txt\nok.mp3\n");
    EXPECT_TRUE(AddFileByName(m3u.c_str()));
    EXPECT_EQ(Paths(), (Strings{In(fits + ".mp3"), In("ok.mp3")}));
    EXPECT_EQ(BoxTexts(), (Strings{"Error Processing File: " + In(text).substr(0, 200) + "…"}));

    ClearPlaylist();
    std::string pls =
        Write("over.pls", "[playlist]\nNumberOfEntries=2\nFile1=" + text + ".pls\nFile2=ok.mp3\n");
    EXPECT_TRUE(AddFileByName(pls.c_str()));
    EXPECT_EQ(Paths(), (Strings{In("ok.mp3")}));
    EXPECT_EQ(BoxTexts().back(), "Error Processing File: " + In(text).substr(0, 200) + "…");
}

TEST_F(PlaylistFiles, PlaylistNameWithoutSlashUsesTheCurrentDirectory) {
    Write("here.m3u", "a.mp3\n");
    char old[PATH_MAX];
    ASSERT_NE(getcwd(old, sizeof old), nullptr);
    ASSERT_EQ(chdir(Folder().c_str()), 0);
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_TRUE(AddFileByName("here.m3u"));
    ASSERT_EQ(chdir(old), 0);
    EXPECT_EQ(Paths(), (Strings{std::string(cwd) + "/a.mp3"}));
}

}  // namespace
}  // namespace vek::test
