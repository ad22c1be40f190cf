// A second start of the player hands its names to the running one: two real
// processes, this test being the running player.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "control/transport.h"
#include "platform/single_instance.h"
#include "tests/app/app_test_support.h"

extern char** environ;

namespace vek::app {
namespace {

using test::Pump;
using test::PumpUntil;

const char* const kFirst = "made/mpeg1_l3_cbr128_44k.mp3";
const char* const kSecond = "made/mpeg1_l3_crc_48k.mp3";

class HandOverTest : public test::WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        gSettings.AudioOutputSystem = 1;  // .wav files show what was played
        gSettings.Gapless = 0;            // as the reference was decoded
        desktop_.SetSaveNames({dir_.File("1.wav"), dir_.File("2.wav")});
    }

    // Starts the player again with these arguments and keeps this one's loop
    // running until it has ended; returns its exit code.
    int SecondStart(std::vector<std::string> args, const std::string& cwd = "") {
        args.insert(args.begin(), VEK_PLAYER_PATH);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        std::string log = dir_.File("second.log");
        posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
        pid_t pid;
        EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        int status = -1;
        bool ended = PumpUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 10000);
        if (!ended) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            ADD_FAILURE() << "the second start did not end";
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::vector<std::string> Entries() {
        std::vector<std::string> entries;
        for (PlaylistEntry* e = gPlaylist.first; e; e = e->next) entries.emplace_back(e->path);
        return entries;
    }

    vek::test::TempDir dir_;
};

TEST_F(HandOverTest, ASecondStartWithAFileReplacesTheListAndPlaysIt) {
    ASSERT_TRUE(AddFileByName(vek::test::DataPath(kFirst).c_str()));
    Open();
    ASSERT_TRUE(PumpUntil([&] { return desktop_.SaveRequests() == 1; }, 5000));

    EXPECT_EQ(SecondStart({vek::test::DataPath(kSecond)}), 0);
    EXPECT_EQ(Entries(), std::vector<std::string>{vek::test::DataPath(kSecond)});
    ASSERT_TRUE(PumpUntil([&] { return desktop_.SaveRequests() == 2; }, 5000));
    vek::test::WavFile wav;
    ASSERT_TRUE(PumpUntil([&] { return GetPlayState() == PlayState::Stopped; }, 5000));
    Pump(50);
    ASSERT_TRUE(vek::test::ReadWav(dir_.File("2.wav"), &wav));
    EXPECT_EQ(wav.rate, 48000);
    EXPECT_TRUE(wav.data ==
                vek::test::ReadFileBytes(vek::test::DataPath("made/mpeg1_l3_crc_48k.pcm")));
}

TEST_F(HandOverTest, ARelativeNameIsHandedOverWithTheSecondStartsDirectory) {
    gSettings.AudioOutputSystem = 0;
    Open();
    EXPECT_EQ(SecondStart({"mpeg1_l3_cbr128_44k.mp3"}, vek::test::DataPath("made")), 0);
    EXPECT_EQ(Entries(), std::vector<std::string>{vek::test::DataPath(kFirst)});
}

TEST_F(HandOverTest, ASecondStartWithoutArgumentsChangesNothing) {
    ASSERT_TRUE(AddFileByName(vek::test::DataPath(kFirst).c_str()));
    gSettings.AudioOutputSystem = 0;
    Open();
    EXPECT_EQ(SecondStart({}), 0);
    EXPECT_EQ(Entries(), std::vector<std::string>{vek::test::DataPath(kFirst)});
}

TEST_F(HandOverTest, ASecondStartWithOnlyASwitchEmptiesTheList) {
    ASSERT_TRUE(AddFileByName(vek::test::DataPath(kFirst).c_str()));
    gSettings.AudioOutputSystem = 0;
    Open();
    EXPECT_EQ(SecondStart({"-x"}), 0);
    EXPECT_TRUE(Entries().empty());
    EXPECT_TRUE(desktop_.Boxes().empty());
}

TEST_F(HandOverTest, WithMultipleInstancesASecondPlayerRunsOnItsOwn) {
    Open();
    // The second player reads MultipleInstances from the shared settings file.
    gSettings.MultipleInstances = 1;
    gSettings.AudioOutputSystem = 0;
    SaveSettings();
    // It plays on its own device; interrupted once it takes SIGINT, it closes
    // the normal way.
    std::string device = dir_.File("device.raw");
    vek::test::ProgramRun run = vek::test::RunProgram(
        {VEK_PLAYER_PATH, vek::test::DataPath(kFirst)},
        {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + device}, 20000, [&](pid_t pid) {
            return vek::test::FileExists(device) && vek::test::SignalIn(pid, "SigCgt", SIGINT);
        });
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Entries().empty()) << "nothing was handed over";
}

TEST_F(HandOverTest, WhatFailsDuringAHandOverIsShownAfterItInOneBox) {
    gSettings.AudioOutputSystem = 0;
    Open();
    const std::string too_long(5000, 'n');
    const std::string missing = dir_.File("missing.m3u");
    std::atomic<bool> done{false};
    size_t boxes_meanwhile = 99;
    std::thread second([&] {
        int c = ConnectToRunningPlayer();
        bool answered = c >= 0 && SendHandOverRecord(c, CDS_CLEAR, 0, nullptr) &&
                        SendHandOverRecord(c, CDS_ADD, too_long.size(), too_long.data()) &&
                        SendHandOverRecord(c, CDS_ADD, missing.size(), missing.data()) &&
                        SendHandOverRecord(c, CDS_PLAY_FIRST, 0, nullptr);
        // A box up now would still be holding the start at its second record.
        if (answered) boxes_meanwhile = desktop_.Count("Error...");
        CloseHandOverConnection(c);
        done = true;
    });
    PumpUntil([&] { return done.load(); }, 5000);
    second.join();
    EXPECT_EQ(boxes_meanwhile, 0u);
    ASSERT_TRUE(PumpUntil([&] { return desktop_.Count("Error...") > 0; }, 2000));
    Pump(50);
    ASSERT_EQ(desktop_.Count("Error..."), 1u);
    std::string shown = desktop_.Boxes().back().text;
    EXPECT_EQ(shown.substr(0, shown.find('\n')),
              "Error Processing File: " + std::string(200, 'n') + "\xE2\x80\xA6");
    EXPECT_NE(shown.find("\nError Loading Playlist: " + missing), std::string::npos);
}

TEST_F(HandOverTest, ASecondStartThatIsNotAnsweredSaysSoAndFails) {
    // A player that takes the connection and goes away.
    int gone = vek::test::ListenAt(HandOverSocketPath());
    ASSERT_GE(gone, 0);
    std::thread hang_up([&] { close(accept(gone, nullptr, nullptr)); });
    EXPECT_EQ(SecondStart({vek::test::DataPath(kFirst)}), 1);
    hang_up.join();
    close(gone);
    unlink(HandOverSocketPath().c_str());
    EXPECT_NE(
        vek::test::ReadFileText(dir_.File("second.log")).find("the running player did not answer"),
        std::string::npos);
}

}  // namespace
}  // namespace vek::app
