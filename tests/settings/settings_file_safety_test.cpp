// vek.ini as users keep it and as it can go wrong: unreadable, a FIFO, huge, a
// link, written by another editor with CR LF line ends, owned by the user while
// the player runs as root, and hand-edited with numbers out of every range.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "settings/ini_file.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"

namespace vek {
namespace {

using test::ReadFileText;
using test::WriteFileText;

constexpr uid_t kNobody = 65534;

class SettingsFileSafety : public ::testing::Test {
  protected:
    void SetUp() override { ResetSettingsToDefaults(); }
    std::string Ini() const { return config_.IniPath(); }
    test::ScopedConfigDir config_;
};

// Loads, changes a value and saves, as a run of the player does.
void LoadChangeAndSave() {
    LoadSettings();
    gSettings.EqVolume = 3;
    SaveSettings();
}

// A file that is there but cannot be read may hold the user's other sections.
// Each run is made in a child: a load that waits for a FIFO's writer would
// hang this process.
TEST_F(SettingsFileSafety, AFileThatCannotBeReadIsNeitherWaitedForNorReplaced) {
    enum Kind { kNoAccess, kFifo, kHuge };
    for (Kind kind : {kNoAccess, kFifo, kHuge}) {
        unlink(Ini().c_str());
        if (kind == kFifo) {
            ASSERT_EQ(mkfifo(Ini().c_str(), 0600), 0);
        } else {
            ASSERT_TRUE(WriteFileText(Ini(), "[mine]\nkeep=all of it\n[vek]\nEqVolume=9\n"));
        }
        if (kind == kHuge) {
            ASSERT_EQ(truncate(Ini().c_str(), (16 << 20) + 1), 0);
        }
        if (kind == kNoAccess) {
            ASSERT_EQ(chmod(Ini().c_str(), 0200), 0);
        }
        // Root reads any file: the run is made as a user the mode shuts out.
        bool as_nobody = kind == kNoAccess && geteuid() == 0;
        if (as_nobody) {
            ASSERT_EQ(chown(config_.dir().path().c_str(), kNobody, kNobody), 0);
            ASSERT_EQ(chown(Ini().c_str(), kNobody, kNobody), 0);
        }
        struct stat before, after;
        ASSERT_EQ(lstat(Ini().c_str(), &before), 0);
        int result = test::RunInChild(
            [as_nobody] {
                if (as_nobody && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) return 2;
                LoadChangeAndSave();
                return gSettings.EqVolume == 3 ? 0 : 1;
            },
            3000);
        EXPECT_EQ(result, 0) << "case " << kind;
        ASSERT_EQ(lstat(Ini().c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino) << "replaced; case " << kind;
        EXPECT_EQ(after.st_size, before.st_size) << "case " << kind;
    }
}

TEST_F(SettingsFileSafety, AReplacedFileKeepsItsOwnerGroupAndMode) {
    ASSERT_TRUE(WriteFileText(Ini(), "[vek]\nEqVolume=9\n"));
    uid_t owner = geteuid() == 0 ? kNobody : geteuid();
    gid_t group = geteuid() == 0 ? kNobody : getegid();
    ASSERT_EQ(chown(Ini().c_str(), owner, group), 0);
    ASSERT_EQ(chmod(Ini().c_str(), 0640), 0);
    LoadChangeAndSave();
    struct stat st;
    ASSERT_EQ(stat(Ini().c_str(), &st), 0);
    EXPECT_NE(ReadFileText(Ini()).find("EqVolume=3\n"), std::string::npos);
    EXPECT_EQ(st.st_uid, owner);
    EXPECT_EQ(st.st_gid, group);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(SettingsFileSafety, ALinkedFileStaysALinkAndItsTargetIsWritten) {
    for (bool target_exists : {true, false}) {
        std::string target = config_.dir().File(target_exists ? "real.ini" : "later.ini");
        if (target_exists) {
            ASSERT_TRUE(WriteFileText(target, "[vek]\nEqVolume=9\n"));
        }
        unlink(Ini().c_str());
        // A relative link, as dotfile managers make them.
        ASSERT_EQ(symlink(target_exists ? "real.ini" : "later.ini", Ini().c_str()), 0);
        LoadChangeAndSave();
        struct stat st;
        ASSERT_EQ(lstat(Ini().c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode)) << target;
        EXPECT_NE(ReadFileText(target).find("EqVolume=3\n"), std::string::npos) << target;
    }
    unlink(Ini().c_str());
    ASSERT_EQ(symlink("gone/vek.ini", Ini().c_str()), 0);
    LoadChangeAndSave();
    EXPECT_FALSE(test::FileExists(config_.dir().File("gone"))) << "no folder is made for a link";
}

TEST_F(SettingsFileSafety, CrLfLineEndsAreKept) {
    ASSERT_TRUE(WriteFileText(Ini(), "[mine]\r\nkeep=1\r\n[vek]\r\nEqVolume=9\r\n"));
    LoadChangeAndSave();
    std::string text = ReadFileText(Ini());
    EXPECT_EQ(text.rfind("[mine]\r\nkeep=1\r\n[vek]\r\nEqVolume=3\r\nAudioBufTime=2.50\r\n", 0), 0u)
        << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'),
              std::count(text.begin(), text.end(), '\r'));
}

TEST_F(SettingsFileSafety, UnchangedSettingsAreNotWrittenAgain) {
    LoadSettings();
    SaveSettings();
    struct stat first, second;
    ASSERT_EQ(stat(Ini().c_str(), &first), 0);
    LoadSettings();
    SaveSettings();
    ASSERT_EQ(stat(Ini().c_str(), &second), 0);
    EXPECT_EQ(second.st_ino, first.st_ino) << "a rewrite makes a new file";
    gSettings.EqVolume = 2;
    SaveSettings();
    ASSERT_EQ(stat(Ini().c_str(), &second), 0);
    EXPECT_NE(second.st_ino, first.st_ino) << "a change is written";
}

TEST_F(SettingsFileSafety, SavingTakesTimeLinearInTheFileSize) {
    // Many keys of another program and none of ours yet: each key of ours
    // used to re-index the whole file.
    std::string text = "[other]\n";
    for (int i = 0; i < 200000; ++i) text += "key" + std::to_string(i) + "=value\n";
    ASSERT_TRUE(WriteFileText(Ini(), text));
    auto start = std::chrono::steady_clock::now();
    IniFile parsed;
    IniParse(&parsed, text);
    auto parse = std::chrono::steady_clock::now() - start;
    start = std::chrono::steady_clock::now();
    SaveSettings();
    auto save = std::chrono::steady_clock::now() - start;
    // A save reads, parses, indexes, renders and writes once: a few parses'
    // worth, and a flush to disk.
    EXPECT_LT(save, parse * 20);
}

TEST_F(SettingsFileSafety, NumbersOutOfRangeAreBroughtIntoIt) {
    struct Case {
        const char* key;
        const char* text;
        const char* loads_as;  // as the next save writes it
    } cases[] = {
        {"EqVolume", "-2147483648", "0"},
        {"EqBand00", "1e300", "2.000000000000"},
        {"EqBand01", "-3", "0.000000000000"},
        {"AudioBufTime", "1e300", "60.00"},
        {"Channels", "3", "-1"},
        {"DecoderPriority", "6", "3"},
        {"ReplayGain", "3", "0"},
        {"ReplayGainPreamp", "-2147483648", "-12"},
        {"WinMMOutputDev", "4294967290", "-1"},
        {"DownloadOption", "2", "0"},
        {"ShufflePlay", "-4", "1"},
        {"WindowX", "-2147483648", "-32768"},
        {"EqLoudness", "-2147483648", "-2147483648"},
    };
    for (const Case& c : cases) {
        ResetSettingsToDefaults();
        ASSERT_TRUE(WriteFileText(Ini(), std::string("[vek]\n") + c.key + "=" + c.text + "\n"));
        LoadSettings();
        std::string text;
        ASSERT_TRUE(FormatSettingByKey(c.key, &text));
        EXPECT_EQ(text, c.loads_as) << c.key << "=" << c.text;
    }
}

TEST_F(SettingsFileSafety, ANumberThatIsNotFiniteIsNeverWritten) {
    gSettings.EqBand[3] = INFINITY;
    gSettings.AudioBufTime = NAN;
    SaveSettings();
    std::string text = ReadFileText(Ini());
    EXPECT_NE(text.find("EqBand03=1.000000000000\n"), std::string::npos) << text;
    EXPECT_NE(text.find("AudioBufTime=2.50\n"), std::string::npos) << text;
}

}  // namespace
}  // namespace vek
