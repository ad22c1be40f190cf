// HTTP streams through the whole engine: served by a small server of our own on
// 127.0.0.1, fetched by the download thread, read from its pipe by the decoder.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "control/transport.h"
#include "engine/decoder_thread.h"
#include "net/playlist_link.h"
#include "net/url_stream.h"
#include "platform/messages.h"
#include "playlist/playlist.h"
#include "settings/settings.h"
#include "tests/net/http_test_server.h"
#include "tests/playback/playback_harness.h"
#include "tests/support/test_support.h"

namespace vek {
namespace {

using test::DataPath;
using test::HttpReply;
using test::HttpTestServer;
using test::IcyBody;
using test::PlaybackHarness;
using test::ReadWav;
using test::ReferencePcm;
using test::WavFile;

class StreamPlaybackTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetSettingsToDefaults();
        gSettings.AudioOutputSystem = 1;
        gSettings.Gapless = 0;  // as the reference was decoded
        ClearPlaylist();
        desktop_.SetSaveNames({dir_.File("out.wav")});
        clip_ = test::ReadFileText(DataPath("made/mpeg1_l3_cbr128_44k.mp3"));
    }
    void TearDown() override {
        SetUrlStreamTimeScale(1.0);
        ClearPlaylist();
    }

    // Plays the list a name gives (a URL, a local list) to its end into out.wav.
    void PlayToEnd(const std::string& name, PlaybackHarness* player) {
        ASSERT_TRUE(AddNameOrComplain(name.c_str()));
        ASSERT_TRUE(SelectEntry(0));
        PlayCurrentEntry();
        ASSERT_TRUE(player->PlayToEnd(20000));
        ASSERT_TRUE(player->Stop());
    }
    std::vector<uint8_t> Decoded(const char* name = "out.wav") {
        WavFile wav;
        EXPECT_TRUE(ReadWav(dir_.File(name), &wav));
        return wav.data;
    }

    test::ScopedConfigDir config_;
    test::TempDir dir_;
    test::RecordingDesktop desktop_;
    HttpTestServer server_;
    std::string clip_;
};

// A radio's titles go to its entry and stay out of both the audio and the save file.
TEST_F(StreamPlaybackTest, AServedClipDecodesExactlyAsTheFileAndTheSaveFileKeepsItsBytes) {
    gSettings.DownloadOption = 1;
    gSettings.InternetDLDir.Set(dir_.path().c_str());  // no trailing slash
    HttpReply radio = HttpReply::Radio(
        IcyBody(clip_, 8192,
                {"StreamTitle='One';", "", "StreamTitle='Two';", "StreamTitle='Two';"}),
        8192);
    radio.send_length = true;  // so that it ends with the body
    struct Case {
        const char* name;
        HttpReply reply;
        std::vector<std::string> titles;
    } cases[] = {{"clip.mp3", HttpReply::Bytes(clip_), {}},
                 {"radio.mp3", radio, {"Test Radio", "One", "Two"}}};
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.reply.piece_bytes = 1500;  // odd pieces, so headers and bodies straddle pipe reads
        c.reply.piece_delay_ms = 1;
        server_.Serve(std::string("/music/") + c.name, c.reply);
        desktop_.SetSaveNames({dir_.File("out.wav")});
        ClearPlaylist();
        PlaybackHarness player;
        PlayToEnd(server_.Url(std::string("/music/") + c.name), &player);
        EXPECT_TRUE(Decoded() == ReferencePcm({"made/mpeg1_l3_cbr128_44k.pcm"}));
        EXPECT_EQ(test::ReadFileText(dir_.File(c.name)), clip_);
        // Without a length to measure, progress shows 0 until the end sends 100.
        for (const test::Report& r : player.reports()) {
            if (r.message == UIM_PROGRESS) {
                EXPECT_TRUE(r.lparam == 0 || r.lparam == 100) << r.lparam;
            }
        }
        EXPECT_EQ(player.Count(UIM_TRACK_ENDED), 1);
        EXPECT_EQ(player.titles(), c.titles);
    }
    EXPECT_TRUE(desktop_.Boxes().empty());
}

TEST_F(StreamPlaybackTest, AMissingStreamFailsTheOpenWithBothMessages) {
    std::string url = server_.Url("/nothing.mp3");
    PlaybackHarness player;
    PostPlay(url.c_str());
    ASSERT_TRUE(
        player.PumpUntil([&] { return desktop_.Count("Decoder Error Message...") == 1; }, 10000));
    std::vector<test::Box> boxes = desktop_.Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, "VEK Internet Error Message...");
    EXPECT_EQ(boxes[0].text, "HTTP/1.1 404 Not Found");
    EXPECT_EQ(boxes[1].text, "Could not open file: " + url);
    EXPECT_EQ(player.Count(UIM_PLAY_STARTED), 0);
}

TEST_F(StreamPlaybackTest, StoppingAStreamEndsItsDownload) {
    // A long stream sent slowly: the stop must not wait for the rest.
    std::string long_clip;
    for (int i = 0; i < 20; ++i) long_clip += clip_;
    HttpReply reply = HttpReply::Bytes(long_clip);
    reply.piece_bytes = 2048;
    reply.piece_delay_ms = 5;
    server_.Serve("/long.mp3", reply);
    desktop_.SetSaveNames({dir_.File("long.wav")});
    PlaybackHarness player;
    PostPlay(server_.Url("/long.mp3").c_str());
    ASSERT_TRUE(player.PumpUntil([&] { return player.Count(UIM_PLAY_STARTED) == 1; }, 10000));
    PostStop(player.decoder());
    EXPECT_TRUE(server_.WaitForConnectionsToEnd(3000));
    EXPECT_LT(server_.BodyBytesSent(), long_clip.size());
    EXPECT_EQ(player.Count(UIM_TRACK_ENDED), 0);
}

// A stream of nothing but 0xFF bytes: every word looks half like a header.
HttpReply Ones(size_t piece_bytes, int piece_delay_ms) {
    HttpReply reply = HttpReply::Bytes(std::string(20 << 20, '\xFF'));
    reply.send_length = false;
    reply.piece_bytes = piece_bytes;
    reply.piece_delay_ms = piece_delay_ms;
    return reply;
}

TEST_F(StreamPlaybackTest, AStreamOfOnesEndsWithTheSyncMessageInsteadOfSpinning) {
    server_.Serve("/ones", Ones(65536, 0));
    PlaybackHarness player;
    PostPlay(server_.Url("/ones").c_str());
    // The bound is generous for slow sanitizer builds; that the search gave up
    // early is told by the bytes sent, below.
    ASSERT_TRUE(player.PumpUntil([&] { return player.Count(UIM_TRACK_ENDED) == 1; }, 30000));
    std::vector<test::Box> boxes = desktop_.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "This does not look like a valid MPEG Audio File");
    EXPECT_TRUE(server_.WaitForConnectionsToEnd(3000));
    EXPECT_LT(server_.BodyBytesSent(), size_t{20} << 20);
}

class SearchInterruptTest : public StreamPlaybackTest {
  protected:
    // Starts a slow stream of ones and waits until the decoder is searching it.
    void StartSearching(PlaybackHarness* player) {
        server_.Serve("/ones", Ones(4096, 20));
        PostPlay(server_.Url("/ones").c_str());
        ASSERT_TRUE(player->PumpUntil([&] { return player->Count(UIM_PLAY_STARTED) == 1; }, 5000));
        player->PumpUntil([&] { return server_.BodyBytesSent() > 16384; }, 5000);
    }
};

TEST_F(SearchInterruptTest, AStopDuringASearchIsAnsweredAndTheNextTrackPlays) {
    PlaybackHarness player;
    StartSearching(&player);
    desktop_.SetSaveNames({dir_.File("next.wav")});
    PostStop(player.decoder());
    PostPlay(DataPath("made/mpeg1_l3_cbr128_44k.mp3").c_str());
    ASSERT_TRUE(player.PumpUntil([&] { return player.Count(UIM_PLAY_STARTED) == 2; }, 1000));
    ASSERT_TRUE(player.PumpUntil([&] { return player.Count(UIM_TRACK_ENDED) == 1; }, 10000));
    EXPECT_TRUE(desktop_.Boxes().empty()) << "the stopped search reports nothing";
    EXPECT_TRUE(server_.WaitForConnectionsToEnd(3000));
}

TEST_F(StreamPlaybackTest, AStopWhileTheNetworkIsSilentIsAnsweredAtOnce) {
    HttpReply reply = HttpReply::Bytes(clip_);
    reply.pause_at = 20000;  // mid-stream, then silence far beyond the test
    reply.pause_ms = 20000;
    server_.Serve("/silent.mp3", reply);
    PlaybackHarness player;
    PostPlay(server_.Url("/silent.mp3").c_str());
    ASSERT_TRUE(player.PumpUntil([&] { return server_.BodyBytesSent() >= 20000; }, 5000));
    player.PumpUntil([] { return false; }, 300);  // it has read what came and waits for more
    desktop_.SetSaveNames({dir_.File("next.wav")});
    PostStop(player.decoder());
    PostPlay(DataPath("made/mpeg1_l3_cbr128_44k.mp3").c_str());
    ASSERT_TRUE(player.PumpUntil([&] { return player.Count(UIM_PLAY_STARTED) == 2; }, 1000));
    EXPECT_EQ(player.Count(UIM_TRACK_ENDED), 0) << "a stopped stream has not ended";
    EXPECT_TRUE(desktop_.Boxes().empty());
}

TEST_F(SearchInterruptTest, AQuitDuringASearchEndsTheThreadInTime) {
    PlaybackHarness player;
    StartSearching(&player);
    EXPECT_TRUE(player.Stop(1000));
    EXPECT_EQ(player.Count(UIM_TRACK_ENDED), 0);
}

TEST_F(StreamPlaybackTest, TheDecoderFindsItsWayThroughAJoinInsideAFrame) {
    SetUrlStreamTimeScale(0.05);
    // What comes after a cut rarely goes on where the cut was: here 1000
    // bytes, over two frames, are missing.
    server_.ServeInTurn(
        "/live", {HttpReply::Radio(clip_.substr(0, 20000)), HttpReply::Radio(clip_.substr(21000)),
                  HttpReply::ClosedAtOnce()});
    PlaybackHarness player;
    PlayToEnd(server_.Url("/live"), &player);
    size_t whole = ReferencePcm({"made/mpeg1_l3_cbr128_44k.pcm"}).size();
    size_t decoded = Decoded().size();
    constexpr size_t kFrameBytes = 1152 * 4;
    std::printf("[ figure ] %zu of %zu bytes decoded\n", decoded, whole);
    EXPECT_LT(decoded, whole);
    EXPECT_GE(decoded, whole - 5 * kFrameBytes);
    EXPECT_EQ(player.Count(UIM_TRACK_ENDED), 1);
    ASSERT_EQ(desktop_.Boxes().size(), 1u);
    EXPECT_EQ(desktop_.Boxes()[0].text, "Empty reply from server; gave up after 3 tries");
}

HttpReply Typed(const std::string& type, const std::string& body) {
    HttpReply reply = HttpReply::Bytes(body);
    if (!type.empty()) reply.headers.push_back("Content-Type: " + type);
    return reply;
}

TEST_F(StreamPlaybackTest, AStationsPlaylistLinkTakesItsPlaceAndTheStreamItNamesPlays) {
    std::string live = server_.Url("/radio/live");
    server_.Serve("/radio/live", HttpReply::Bytes(clip_));
    std::string pls = "[playlist]\nNumberOfEntries=1\nFile1=" + live + "\n";
    server_.Serve("/radio/a.pls", Typed("audio/x-scpls", pls));
    server_.Serve("/radio/b.m3u", Typed("audio/x-mpegurl", "#EXTM3U\n#EXTINF:-1,x.mp3\nlive\n"));
    server_.Serve("/radio/c.m3u8", Typed("application/x-mpegurl", "\xEF\xBB\xBF" + live + "\r\n"));
    server_.Serve("/radio/d.pls", Typed("text/plain", pls));
    ASSERT_TRUE(test::WriteFileText(dir_.File("local.m3u"), server_.Url("/radio/d.pls") + "\n"));
    for (std::string name : {"b.m3u", "a.pls", "c.m3u8", "local.m3u"}) {
        SCOPED_TRACE(name);
        ClearPlaylist();
        desktop_.SetSaveNames({dir_.File("out.wav")});
        PlaybackHarness player;
        PlayToEnd(name == "local.m3u" ? dir_.File(name) : server_.Url("/radio/" + name), &player);
        EXPECT_TRUE(Decoded() == ReferencePcm({"made/mpeg1_l3_cbr128_44k.pcm"}));
        ASSERT_EQ(PlaylistCount(), 1);
        EXPECT_EQ(EntryAt(0)->path, live);
    }
    // A stop given while the link is fetched holds for its entries too.
    ClearPlaylist();
    ASSERT_TRUE(AppendEntry(server_.Url("/radio/a.pls").c_str()));
    PlaybackHarness player;
    CommandPlayCurrent();
    CommandStop();
    ASSERT_TRUE(player.Stop());  // a play posted before would have started by now
    EXPECT_EQ(player.Count(UIM_PLAY_STARTED), 0);
    EXPECT_TRUE(desktop_.Boxes().empty());
}

TEST_F(StreamPlaybackTest, ALinkOverTheLimitsOrNamingItselfEndsWithThePlaylistError) {
    std::string big;
    while (big.size() <= kMaxLinkBytes) big += "live.mp3\n";
    HttpReply unmeasured = HttpReply::Bytes(big);
    unmeasured.send_length = false;
    server_.Serve("/big.m3u", HttpReply::Bytes(big));
    server_.Serve("/long.m3u", unmeasured);
    server_.Serve("/self.pls",
                  Typed("audio/x-scpls", "[playlist]\nNumberOfEntries=1\nFile1=self.pls"));
    server_.Serve("/a.m3u", HttpReply::Bytes("b.m3u"));
    server_.Serve("/b.m3u", HttpReply::Bytes("c.m3u"));
    server_.Serve("/c.m3u", HttpReply::Bytes("live.mp3"));
    SetPlaylistLoadBounds(0, 2);  // links in a chain
    size_t boxes = 0;
    for (std::string name : {"/big.m3u", "/long.m3u", "/self.pls", "/a.m3u"}) {
        std::string refused = server_.Url(name == "/a.m3u" ? "/c.m3u" : name);
        ClearPlaylist();
        PlaybackHarness player;
        PlayToEnd(server_.Url(name), &player);
        ASSERT_EQ(desktop_.Boxes().size(), ++boxes) << name;
        EXPECT_EQ(desktop_.Boxes().back().caption, "Error...");
        EXPECT_EQ(desktop_.Boxes().back().text, "Error Loading Playlist: " + refused);
        ASSERT_EQ(PlaylistCount(), 1);
        EXPECT_EQ(EntryAt(0)->path, refused) << "the link stays";
        EXPECT_EQ(player.Count(UIM_PLAY_STARTED), 0);
    }
    SetPlaylistLoadBounds(0, 0);
    EXPECT_EQ(server_.Requests().size(), 6u) << "each link fetched once";
}

// A station that drops after 12 s of audio (at 128 kbit/s) plays on through
// the failed tries that follow; one that never held would end at the fourth.
TEST_F(StreamPlaybackTest, AStationThatHeldIsFetchedAgainWhenItDrops) {
    SetUrlStreamTimeScale(0.05);
    std::string twelve = clip_ + clip_ + clip_ + clip_;
    HttpReply closed = HttpReply::ClosedAtOnce(), last = HttpReply::Radio(twelve);
    last.send_length = true;
    server_.ServeInTurn("/live", {HttpReply::Radio(twelve), closed, closed,
                                  HttpReply::Radio(twelve), closed, closed, last});
    server_.Serve("/whole", HttpReply::Bytes(twelve + twelve + twelve));
    for (const char* name : {"/live", "/whole"}) {
        ClearPlaylist();
        desktop_.SetSaveNames({dir_.File(name + 1 + std::string(".wav"))});
        PlaybackHarness player;
        PlayToEnd(server_.Url(name), &player);
    }
    EXPECT_EQ(server_.Requests().size(), 8u);
    EXPECT_TRUE(Decoded("live.wav") == Decoded("whole.wav"));
    EXPECT_TRUE(desktop_.Boxes().empty());
}

}  // namespace
}  // namespace vek
