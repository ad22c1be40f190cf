#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "platform/desktop_hooks.h"
#include "platform/priority.h"
#include "platform/regular_file.h"
#include "platform/shared_library.h"
#include "platform/url_name.h"
#include "platform/user_dirs.h"
#include "tests/support/test_support.h"

namespace vek {
namespace {

// A library older than the functions Vek calls: the missing one is named.
TEST(SharedLibrary, FunctionsAreFoundByNameAndAMissingOneIsNamed) {
    std::string error;
    void* libc = OpenSharedLibrary("libc.so.6", &error);
    ASSERT_NE(libc, nullptr) << error;
    size_t (*length)(const char*) = nullptr;
    ASSERT_TRUE(BindSharedFunction(libc, "strlen", &length, &error)) << error;
    EXPECT_EQ(length("four"), 4u);
    int (*missing)() = nullptr;
    EXPECT_FALSE(BindSharedFunction(libc, "vek_no_such_function", &missing, &error));
    EXPECT_EQ(missing, nullptr);
    EXPECT_NE(error.find("vek_no_such_function"), std::string::npos) << error;
}

TEST(Priority, LevelsMapOntoNiceness) {
    EXPECT_GT(NicenessOfLevel(0), NicenessOfLevel(1));
    EXPECT_GT(NicenessOfLevel(1), NicenessOfLevel(2));
    EXPECT_EQ(NicenessOfLevel(2), 0);
    EXPECT_LT(NicenessOfLevel(3), 0);
    EXPECT_LT(NicenessOfLevel(5), NicenessOfLevel(4));
    EXPECT_EQ(NicenessOfLevel(6), 0);
    EXPECT_EQ(NicenessOfLevel(-1), 0);
}

TEST(Priority, LoweringAThreadChangesOnlyThatThread) {
    int process_before = getpriority(PRIO_PROCESS, 0);
    int seen = -100;
    std::thread([&] {
        SetPriorityLevel(0);
        seen = getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
    }).join();
    EXPECT_EQ(seen, std::min(19, process_before + NicenessOfLevel(0)));
    EXPECT_EQ(getpriority(PRIO_PROCESS, 0), process_before);
}

TEST(UserDirs, SettingsDirectoryFollowsTheEnvironment) {
    test::EnvRestorer a("VEK_CONFIG_DIR"), b("XDG_CONFIG_HOME"), c("HOME");
    setenv("HOME", "/home/someone", 1);
    unsetenv("VEK_CONFIG_DIR");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(SettingsDirectory(), "/home/someone/.config/vek");
    EXPECT_EQ(HomeDirectoryWithSlash(), "/home/someone/");
    setenv("XDG_CONFIG_HOME", "/xdg/", 1);
    EXPECT_EQ(SettingsDirectory(), "/xdg/vek");
    setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored
    EXPECT_EQ(SettingsDirectory(), "/home/someone/.config/vek");
    setenv("VEK_CONFIG_DIR", "/tmp/vekcfg/", 1);
    EXPECT_EQ(SettingsDirectory(), "/tmp/vekcfg");
}

TEST(DesktopHooks, HeadlessAnswersAreConfigurable) {
    SetDesktopHooks(HeadlessDesktopHooks());
    EXPECT_EQ(ShowMessageBox(nullptr, "text", "Caption", MB_OK), IDOK);
    EXPECT_EQ(ShowMessageBox(nullptr, "Try?", "Question", MB_YESNO), IDNO);
    SetHeadlessYesNoAnswer(IDYES);
    EXPECT_EQ(ShowMessageBox(nullptr, "Try?", "Question", MB_YESNO), IDYES);
    SetHeadlessYesNoAnswer(IDNO);

    char name[64];
    SetHeadlessSaveName(nullptr);
    EXPECT_FALSE(ChooseSaveFile(nullptr, "Waveform Audio", "*.wav", "t", "WAV", name, sizeof name));
    SetHeadlessSaveName("/tmp/out.wav");
    ASSERT_TRUE(ChooseSaveFile(nullptr, "Waveform Audio", "*.wav", "t", "WAV", name, sizeof name));
    EXPECT_STREQ(name, "/tmp/out.wav");
    EXPECT_FALSE(ChooseSaveFile(nullptr, "Waveform Audio", "*.wav", "t", "WAV", name, 4))
        << "a name that does not fit is never cut";
    SetHeadlessSaveName(nullptr);
}

// A file of exactly the limit is read whole; one byte more is refused. The
// size spans two reads of the buffer, so both checks of the limit take part.
TEST(RegularFileTest, AFileOfExactlyTheLimitIsRead) {
    test::TempDir dir;
    const std::string bytes(70000, 'x');
    ASSERT_TRUE(test::WriteFileText(dir.File("f"), bytes));
    std::string read;
    EXPECT_EQ(ReadRegularFile(dir.File("f").c_str(), bytes.size(), &read), ReadOutcome::kRead);
    EXPECT_TRUE(read == bytes);
    EXPECT_EQ(ReadRegularFile(dir.File("f").c_str(), bytes.size() - 1, &read),
              ReadOutcome::kRefused);
}

TEST(UrlRuleTest, NeedsACharacterAfterTheSeparator) {
    for (const char* url : {"http://example.org/a.mp3", "://x", "a://b"}) EXPECT_TRUE(IsUrl(url));
    for (const char* name :
         {"name://", "/music/song.mp3", "c:/x", "", static_cast<const char*>(nullptr)})
        EXPECT_FALSE(IsUrl(name)) << (name ? name : "nullptr");
    // Only the text it is given counts, not what follows it.
    EXPECT_FALSE(IsUrl(std::string_view("http://x").substr(0, 7)));
}

}  // namespace
}  // namespace vek
