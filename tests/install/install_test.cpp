// `cmake --install` lays out the programs, the clip, the manual pages, the
// desktop entry, its metadata and the icons; the validators of the desktop
// accept them, the installed vekplay finds its clip under its prefix, and the
// uninstall script takes back what the install laid out.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace vek {
namespace {

using test::FileExists;
using test::ProgramRun;
using test::RunProgram;

constexpr bool kWithApp = VEK_WITH_APP;

class InstallTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        prefix_ = new test::TempDir;
        // Named, the component writes a manifest of its own, so the build's
        // install_manifest.txt, which `uninstall` reads, stays the user's.
        install_ = RunProgram({VEK_CMAKE_COMMAND, "--install", VEK_BUILD_DIR, "--prefix",
                               prefix_->path(), "--component", "Unspecified"},
                              {}, 120000);
    }
    static void TearDownTestSuite() {
        delete prefix_;
        prefix_ = nullptr;
    }
    void SetUp() override { ASSERT_EQ(install_.status, 0) << install_.out << install_.err; }

    static std::string Installed(const std::string& path) { return prefix_->File(path); }

    static inline test::TempDir* prefix_ = nullptr;
    static inline ProgramRun install_;
};

// What no other test below reads; the clip, the pages and the icons are read
// by the tests that check them.
TEST_F(InstallTest, LaysOutTheProgramsAndTheirFiles) {
    std::vector<std::string> expected = {"bin/vekplay", "share/doc/vek/README.md",
                                         "share/doc/vek/CHANGELOG.md", "share/doc/vek/copyright"};
    if (kWithApp)
        for (const char* path : {"bin/vek", "share/applications/vek.desktop"})
            expected.emplace_back(path);
    for (const std::string& path : expected) EXPECT_TRUE(FileExists(Installed(path))) << path;
    EXPECT_EQ(access(Installed("bin/vekplay").c_str(), X_OK), 0);
}

#if VEK_WITH_APP
TEST_F(InstallTest, EachIconHasTheSizeOfItsThemeFolder) {
    for (int size : {16, 32, 48, 128, 256}) {
        std::string dir = std::to_string(size) + "x" + std::to_string(size);
        std::vector<uint8_t> png =
            test::ReadFileBytes(Installed("share/icons/hicolor/" + dir + "/apps/vek.png"));
        ASSERT_GE(png.size(), 24u) << size;
        auto be32 = [&](size_t at) {
            return static_cast<int>(uint32_t(png[at]) << 24 | uint32_t(png[at + 1]) << 16 |
                                    uint32_t(png[at + 2]) << 8 | png[at + 3]);
        };
        EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG") << size;
        EXPECT_EQ(be32(16), size);
        EXPECT_EQ(be32(20), size);
    }
}

#endif

// The checkers of the manual pages (compressed) and of the desktop's metadata
// accept them.
TEST_F(InstallTest, TheManualPagesAndTheMetainfoPassTheirCheckers) {
    auto man = [](const char* page) -> std::vector<std::string> {
        std::string path = Installed(std::string("share/man/man1/") + page + ".gz");
        return {"/bin/sh", "-c", "gzip -dc \"$0\" | groff -man -Tutf8 -ww -z", path};
    };
    std::vector<std::vector<std::string>> checks = {man("vekplay.1")};
    if (kWithApp)
        checks.insert(checks.end(), {man("vek.1"),
                                     {"/usr/bin/appstreamcli", "validate", "--no-net",
                                      Installed("share/metainfo/io.github.vek.Vek.metainfo.xml")}});
    for (const std::vector<std::string>& check : checks) {
        ProgramRun run = RunProgram(check);
        EXPECT_EQ(run.status, 0) << check.back() << run.out << run.err;
        EXPECT_EQ(run.err, "") << check.back();
    }
}

// Every option vekplay's own help names is in its manual page.
TEST_F(InstallTest, TheVekplayPageDescribesEveryOptionOfTheHelp) {
    ProgramRun help = RunProgram({Installed("bin/vekplay"), "--help"});
    ASSERT_EQ(help.status, 0);
    std::string page =
        RunProgram({"/bin/gzip", "-dc", Installed("share/man/man1/vekplay.1.gz")}).out;
    for (size_t at; (at = page.find("\\-")) != std::string::npos;) page.replace(at, 2, "-");
    std::set<std::string> options;
    for (size_t at = 0; (at = help.out.find("--", at)) != std::string::npos;) {
        size_t end = help.out.find_first_not_of("abcdefghijklmnopqrstuvwxyz-@", at + 2);
        options.insert(help.out.substr(at, end - at));
        at = end;
    }
    EXPECT_GE(options.size(), 8u);
    for (const std::string& option : options)
        EXPECT_NE(page.find(option), std::string::npos) << option << " is not in vekplay.1";
}

TEST_F(InstallTest, TheInstalledVekplayPlaysTheClipFromItsPrefix) {
    test::TempDir work;
    std::string disk = work.File("device.raw");
    ProgramRun run = RunProgram({Installed("bin/vekplay")},
                                {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + disk,
                                 "SDL_DISKAUDIODELAY=0", "VEK_CONFIG_DIR=" + work.path()});
    EXPECT_EQ(run.status, 0) << run.err;
    char clip[PATH_MAX];
    ASSERT_TRUE(realpath(Installed("share/vek/clip.mp3").c_str(), clip));
    EXPECT_EQ(run.out, "Playing " + std::string(clip) + "\nTitle: clip.mp3\n");
    EXPECT_GE(test::ReadFileBytes(disk).size(), 3u * 44100 * 4) << "three seconds of stereo";
}

// Everything listed goes, Vek's own folders with it; a file the install did
// not lay out stays, and so do the shared folders.
TEST_F(InstallTest, UninstallRemovesWhatTheManifestListsAndNothingElse) {
    test::TempDir prefix, work;
    ASSERT_EQ(RunProgram({VEK_CMAKE_COMMAND, "--install", VEK_BUILD_DIR, "--prefix", prefix.path(),
                          "--component", "Unspecified"},
                         {}, 120000)
                  .status,
              0);
    ProgramRun listed = RunProgram({"/usr/bin/find", prefix.path(), "-type", "f"});
    ASSERT_TRUE(test::WriteFileText(work.File("manifest.txt"), listed.out));
    ASSERT_TRUE(test::WriteFileText(prefix.File("bin/other"), "not Vek's"));
    ProgramRun run = RunProgram({VEK_CMAKE_COMMAND, "-DVEK_MANIFEST=" + work.File("manifest.txt"),
                                 "-P", VEK_SOURCE_DIR "/cmake/uninstall.cmake"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(RunProgram({"/usr/bin/find", prefix.path(), "-type", "f"}).out,
              prefix.File("bin/other") + "\n");
    for (const char* folder : {"share/vek", "share/doc/vek"})
        EXPECT_FALSE(FileExists(prefix.File(folder))) << folder;
    EXPECT_TRUE(FileExists(prefix.File("share/man/man1")));
}

}  // namespace
}  // namespace vek
