#include <gtest/gtest.h>

#include <dirent.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/user_dirs.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"

namespace vek {
namespace {

using test::ReadFileText;
using test::ScopedConfigDir;
using test::WriteFileText;

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { ResetSettingsToDefaults(); }
    ScopedConfigDir config_;
};

TEST_F(SettingsTest, MissingFileGivesDefaultsAndTheFirstSaveWritesAll47KeysInOrder) {
    LoadSettings();
    EXPECT_EQ(gSettings.AudioOutputSystem, 0);
    EXPECT_FLOAT_EQ(gSettings.AudioBufTime, 2.5f);
    EXPECT_EQ(gSettings.WinMMOutputDev, -1);
    EXPECT_EQ(gSettings.EqVolume, 7);
    EXPECT_EQ(gSettings.Channels, -1);
    EXPECT_EQ(gSettings.DecoderPriority, 3);
    EXPECT_EQ(gSettings.AutoPlayOnOpen, 1);
    EXPECT_EQ(gSettings.ShowSplashScreen, 1);
    EXPECT_EQ(gSettings.PlaylistX, -1);
    EXPECT_EQ(gSettings.WindowY, 100);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(gSettings.EqBand[i], 1.0f);
    EXPECT_EQ(gSettings.InternetDLDir.Get(), HomeDirectoryWithSlash());
    EXPECT_EQ(gSettings.PreviousDir.Get(), HomeDirectoryWithSlash());

    SaveSettings();
    std::string home = HomeDirectoryWithSlash();
    std::string expected =
        "[vek]\nAudioBufTime=2.50\nAudioOutputSystem=0\nAudioOutput8Bit=0\nAudioBypassACM=0\n"
        "AudioAllowSyncDev=0\nWinMMCallback=0\nWinMMOutputDev=-1\nEqEnabled=0\n"
        "EqLoudness=0\nEqVolume=7\n";
    for (int i = 0; i < 12; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "EqBand%02d=1.000000000000\n", i);
        expected += line;
    }
    expected +=
        "DownSample=0\nChannels=-1\nGapless=1\nDecoderPriority=3\n"
        "ReplayGain=0\nReplayGainPreamp=0\nShufflePlay=0\nRepeatPlay=0\n"
        "AutoPlayOnOpen=1\nMultipleInstances=0\nDownloadOption=0\nInternetDLDir=" + home +
        "\nDownloadPlayAfterSave=0\nPreviousDir=" + home +
        "\nShowSplashScreen=1\nMinimizeLocation=0\nStartupExpanded=0\nWinShade=0\n"
        "AlwaysOnTop=0\nEasyMove=0\nShowTagTitles=0\nPlaylistX=-1\nPlaylistY=-1\nWindowX="
        "100\nWindowY=100\n";
    EXPECT_EQ(ReadFileText(config_.IniPath()), expected);
}

TEST_F(SettingsTest, VolumeAboveFifteenLoadsAsFourteen) {
    struct Case {
        const char* text;
        int expected;
    } cases[] = {{"20", 14}, {"15", 15}, {"16", 14}, {"0", 0}, {"-3", 0}};
    for (const Case& c : cases) {
        WriteFileText(config_.IniPath(), std::string("[vek]\nEqVolume=") + c.text + "\n");
        LoadSettings();
        EXPECT_EQ(gSettings.EqVolume, c.expected) << c.text;
    }
}

TEST_F(SettingsTest, OutputDeviceIsSavedAsClampedAndAnUnsignedMinusOneLoads) {
    WriteFileText(config_.IniPath(), "[vek]\nWinMMOutputDev=-5\n");
    LoadSettings();
    SaveSettings();
    EXPECT_NE(ReadFileText(config_.IniPath()).find("WinMMOutputDev=-1\n"), std::string::npos);
    WriteFileText(config_.IniPath(), "[vek]\nWinMMOutputDev=4294967295\n");
    gSettings.WinMMOutputDev = 0;
    LoadSettings();
    EXPECT_EQ(gSettings.WinMMOutputDev, -1);
    gSettings.WinMMOutputDev = 2;
    SaveSettings();
    EXPECT_NE(ReadFileText(config_.IniPath()).find("WinMMOutputDev=2\n"), std::string::npos);
}

TEST_F(SettingsTest, RealValuesParseAsLeadingNumbersAndSaveWithFixedDecimals) {
    WriteFileText(config_.IniPath(),
                  "[vek]\nAudioBufTime=abc\nEqBand03=0.5\nEqBand04=1.25dB\nEqBand05=+2e-1x\n");
    LoadSettings();
    EXPECT_EQ(gSettings.AudioBufTime, 0.0f);
    EXPECT_EQ(gSettings.EqBand[3], 0.5f);
    EXPECT_EQ(gSettings.EqBand[4], 1.25f);
    EXPECT_EQ(gSettings.EqBand[5], 0.2f);
    gSettings.AudioBufTime = 2.5f;
    gSettings.EqBand[6] = 3.0f / 7.0f;
    SaveSettings();
    std::string text = ReadFileText(config_.IniPath());
    EXPECT_NE(text.find("AudioBufTime=2.50\n"), std::string::npos);
    EXPECT_NE(text.find("EqBand03=0.500000000000\n"), std::string::npos);
    EXPECT_NE(text.find("EqBand06=0.428571432829\n"), std::string::npos) << text;
}

TEST_F(SettingsTest, LeadingNumberRule) {
    EXPECT_EQ(ParseLeadingDouble("2.5abc"), 2.5);
    EXPECT_EQ(ParseLeadingDouble("+3"), 3.0);
    EXPECT_EQ(ParseLeadingDouble(".5"), 0.5);
    EXPECT_EQ(ParseLeadingDouble("1e"), 1.0);
    EXPECT_EQ(ParseLeadingDouble("1e2"), 100.0);
    EXPECT_EQ(ParseLeadingDouble("-"), 0.0);
    EXPECT_EQ(ParseLeadingDouble("."), 0.0);
    EXPECT_EQ(ParseLeadingDouble(""), 0.0);
}

TEST_F(SettingsTest, PartialFileKeepsDefaultsAndForeignLinesSurviveTheSave) {
    WriteFileText(config_.IniPath(),
                  "; my notes\n[Other]\nkeep=me\n\n[VEK]\nrepeatplay=1\nMyOwnKey=42\nWindowX=-5\n"
                  "[Tail]\nz=1\n");
    LoadSettings();
    EXPECT_EQ(gSettings.RepeatPlay, 1) << "names match without regard to case";
    EXPECT_EQ(gSettings.WindowX, -5);
    EXPECT_EQ(gSettings.WindowY, 100);
    SaveSettings();
    std::string text = ReadFileText(config_.IniPath());
    EXPECT_EQ(text.rfind("; my notes\n[Other]\nkeep=me\n\n[VEK]\nRepeatPlay=1\nMyOwnKey=42\nWindowX=-5\n", 0), 0u)
        << text;
    EXPECT_NE(text.find("[Tail]\nz=1\n"), std::string::npos);
    // Every one of our keys is present once, inside the [VEK] section.
    size_t tail = text.find("[Tail]");
    for (const char* key : {"AudioBufTime=", "EqBand11=", "WindowY=100", "PreviousDir="}) {
        size_t at = text.find(key);
        EXPECT_NE(at, std::string::npos) << key;
        EXPECT_LT(at, tail) << key;
    }
    int lines = 0;
    for (size_t at = text.find("[VEK]"); at < tail; at = text.find('\n', at) + 1) lines++;
    EXPECT_EQ(lines, 1 + kSettingsKeyCount + 1) << "the header, our keys and the foreign one";
}

TEST_F(SettingsTest, EmptyIntegerValueCountsAsMissing) {
    WriteFileText(config_.IniPath(), "[vek]\nWindowX=\nDecoderPriority=abc\n");
    LoadSettings();
    EXPECT_EQ(gSettings.WindowX, 100);
    EXPECT_EQ(gSettings.DecoderPriority, 0);
}

TEST_F(SettingsTest, OverlongPathIsRefusedAndTheDefaultStands) {
    std::string longdir(kPathField + 10, 'a');
    WriteFileText(config_.IniPath(), "[vek]\nInternetDLDir=/" + longdir + "\nPreviousDir=/music/\n");
    LoadSettings();
    EXPECT_EQ(gSettings.InternetDLDir.Get(), HomeDirectoryWithSlash());
    EXPECT_EQ(gSettings.PreviousDir.Get(), "/music/");
}

TEST_F(SettingsTest, UnwritableLocationChangesNothingAndReportsNothing) {
    // A directory that cannot exist (its parent is a file), also for root.
    std::string blocker = config_.dir().File("blocker");
    WriteFileText(blocker, "x");
    setenv("VEK_CONFIG_DIR", (blocker + "/sub").c_str(), 1);
    LoadSettings();
    gSettings.EqVolume = 3;
    EXPECT_TRUE(SaveSettings());
    EXPECT_EQ(gSettings.EqVolume, 3);
    EXPECT_FALSE(test::FileExists(blocker + "/sub/vek.ini"));
}

TEST_F(SettingsTest, SaveCreatesTheDirectoryAndLeavesNoTemporaryFiles) {
    std::string dir = config_.dir().File("a/b");
    setenv("VEK_CONFIG_DIR", dir.c_str(), 1);
    LoadSettings();
    SaveSettings();
    SaveSettings();
    ASSERT_TRUE(test::FileExists(dir + "/vek.ini"));
    DIR* d = opendir(dir.c_str());
    ASSERT_NE(d, nullptr);
    int entries = 0;
    while (struct dirent* e = readdir(d)) entries += e->d_name[0] != '.';
    closedir(d);
    EXPECT_EQ(entries, 1);
}

TEST_F(SettingsTest, SnapshotIsAWholeCopy) {
    LoadSettings();
    gSettings.EqBand[2] = 0.25f;
    gSettings.PreviousDir.Set("/a/");
    SettingsSnapshot copy = gSettings;
    gSettings.EqBand[2] = 2.0f;
    gSettings.PreviousDir.Set("/b/");
    EXPECT_EQ(copy.EqBand[2], 0.25f);
    EXPECT_EQ(copy.PreviousDir.Get(), "/a/");
    gSettings = copy;
    EXPECT_EQ(gSettings.EqBand[2], 0.25f);
    EXPECT_EQ(gSettings.PreviousDir.Get(), "/a/");
}

TEST_F(SettingsTest, SetByKeyConvertsLikeTheLoader) {
    EXPECT_TRUE(SetSettingByKey("downsample", "1"));
    EXPECT_EQ(gSettings.DownSample, 1);
    EXPECT_TRUE(SetSettingByKey("EqBand00", "2.0"));
    EXPECT_EQ(gSettings.EqBand[0], 2.0f);
    EXPECT_TRUE(SetSettingByKey("EqVolume", "99"));
    EXPECT_EQ(gSettings.EqVolume, 14);
    EXPECT_FALSE(SetSettingByKey("NoSuchKey", "1"));
    std::string text;
    ASSERT_TRUE(FormatSettingByKey("WinMMOutputDev", &text));
    EXPECT_EQ(text, "-1");
}

TEST_F(SettingsTest, FieldsAreReadWholeWhileAnotherThreadWrites) {
    // Run under ThreadSanitizer this shows the record is free of data races.
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        int64_t sum = 0;
        char dir[kPathField];
        while (!stop.load()) {
            sum += gSettings.EqVolume + gSettings.DownSample;
            gSettings.InternetDLDir.Get(dir, sizeof dir);
        }
        (void)sum;
    });
    for (int i = 0; i < 10000; ++i) {
        gSettings.EqVolume = i % 16;
        gSettings.InternetDLDir.Set(i % 2 ? "/a/" : "/bb/");
    }
    stop = true;
    reader.join();
}

}  // namespace
}  // namespace vek
