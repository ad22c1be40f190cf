#include "net/save_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/limits.h"
#include "tests/support/test_support.h"

namespace vek {
namespace {

TEST(SavePath, NamedAfterTheLastSlashInTheDirectory) {
    std::string path;
    ASSERT_TRUE(BuildSavePath("http://host/music/song.mp3", "/down", &path));
    EXPECT_EQ(path, "/down/song.mp3");
}

TEST(SavePath, DirectoryWithTrailingSlashGivesTheSamePath) {
    std::string path;
    ASSERT_TRUE(BuildSavePath("http://host/music/song.mp3", "/down/", &path));
    EXPECT_EQ(path, "/down/song.mp3");
}

TEST(SavePath, EmptyDirectoryMeansTheCurrentDirectory) {
    std::string path;
    ASSERT_TRUE(BuildSavePath("http://host/music/song.mp3", "", &path));
    EXPECT_EQ(path, "song.mp3");
}

TEST(SavePath, QueryStaysPartOfTheName) {
    std::string path;
    ASSERT_TRUE(BuildSavePath("http://host/a/b.mp3?x=1", "/d", &path));
    EXPECT_EQ(path, "/d/b.mp3?x=1");
}

TEST(SavePath, UrlEndingInSlashGivesNoName) {
    std::string path;
    ASSERT_TRUE(BuildSavePath("http://host/music/", "/down", &path));
    EXPECT_EQ(path, "/down/");
    EXPECT_EQ(CreateSaveFile(path), -1);
    EXPECT_EQ(CreateSaveFile(""), -1);
}

TEST(SavePath, HiddenNamesAndLinksAreNotWritten) {
    test::TempDir dir;
    // A stream named like a dotfile must not replace the user's own.
    std::string hidden;
    ASSERT_TRUE(BuildSavePath("http://host/.bashrc", dir.path(), &hidden));
    test::WriteFileText(hidden, "mine");
    EXPECT_EQ(CreateSaveFile(hidden), -1);
    std::vector<uint8_t> kept = test::ReadFileBytes(hidden);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "mine");
    // Nor may a link lead the bytes elsewhere.
    std::string target = dir.File("target"), link = dir.File("song.mp3");
    test::WriteFileText(target, "mine");
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    EXPECT_EQ(CreateSaveFile(link), -1);
    kept = test::ReadFileBytes(target);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "mine");
}

TEST(SavePath, TooLongIsRefusedNotCut) {
    std::string path = "untouched";
    std::string dir(kPathField - 5, 'd');
    EXPECT_FALSE(BuildSavePath("http://host/song.mp3", "/" + dir, &path));
    EXPECT_EQ(path, "untouched");
}

TEST(SaveFile, ReplacesAnExistingFile) {
    test::TempDir dir;
    std::string path = dir.File("song.mp3");
    ASSERT_TRUE(test::WriteFileText(path, "an older and much longer content"));
    int fd = CreateSaveFile(path);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(write(fd, "new", 3), 3);
    close(fd);
    auto bytes = test::ReadFileBytes(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "new");
}

TEST(SaveFile, AFifoAtTheNameIsRefusedWithoutWaiting) {
    test::TempDir dir;
    std::string path = dir.File("song.mp3");
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    // Without a reader the open would wait for one; with one the stream's bytes
    // would go to whoever reads, and stall playback once the pipe is full.
    EXPECT_EQ(test::RunInChild([&] { return CreateSaveFile(path) == -1 ? 0 : 1; }, 3000), 0);
    int reader = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(CreateSaveFile(path), -1);
    close(reader);
}

}  // namespace
}  // namespace vek
