// URL streams end to end at the network level: a server of our own on
// 127.0.0.1, the stream opened as the stream reader opens it, the pipe read
// until its end and compared with what was served.
#include "net/url_stream.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "settings/settings.h"
#include "tests/net/url_stream_fixture.h"

namespace vek {
namespace {

using namespace test;

TEST_F(UrlStreamTest, RequestCarriesAgentAndAcceptHeader) {
    server.Serve("/a.mp3", HttpReply::Bytes("x"));
    int fd = OpenUrlStream(server.Url("/a.mp3").c_str());
    ASSERT_GE(fd, 0);
    ReadToEnd(fd);
    CloseStream(fd);
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].target, "/a.mp3");
    EXPECT_EQ(requests[0].Header("User-Agent"), "VekMP3 v0.90");
    EXPECT_EQ(requests[0].Header("Accept"), "audio/x-mpeg, audio/x-mpegurl, */*");
    EXPECT_EQ(requests[0].HeaderCount("Accept"), 1u);
    EXPECT_EQ(requests[0].Header("Icy-MetaData"), "1");
}

TEST_F(UrlStreamTest, ConnectsDirectlyWhateverTheProxyEnvironmentSays) {
    std::string proxy = "http://127.0.0.1:" + std::to_string(test::UnusedLocalPort());
    setenv("http_proxy", proxy.c_str(), 1);
    setenv("ALL_PROXY", proxy.c_str(), 1);
    server.Serve("/a.mp3", HttpReply::Bytes("direct"));
    int fd = OpenUrlStream(server.Url("/a.mp3").c_str());
    std::string got = fd >= 0 ? ReadToEnd(fd) : std::string();
    if (fd >= 0) CloseStream(fd);
    unsetenv("http_proxy");
    unsetenv("ALL_PROXY");
    ASSERT_GE(fd, 0);
    EXPECT_EQ(got, "direct");
}

// A body arrives whole, or as far as a server that closes early sent it; with
// DownloadOption 1 the save file holds just what arrived, with 0 and 2 there is none.
TEST_F(UrlStreamTest, StreamsWhatIsServedAndSavesItOnlyWithOptionOne) {
    // Without a length a plain server ends the body by closing, or marks it.
    HttpReply closed = HttpReply::Bytes(Body(70000, 2));
    closed.send_length = false;
    HttpReply chunked = closed;
    chunked.chunked = true;
    chunked.piece_bytes = 30000;
    HttpReply cut = HttpReply::Bytes(Body(50000, 3));
    cut.send_limit = 20000;  // promises 50000, closes after 20000
    HttpReply slow = HttpReply::Bytes(Body(12000, 7));
    slow.piece_bytes = 97;
    slow.piece_delay_ms = 2;
    struct Case {
        const char* name;
        HttpReply reply;
        int option;
        size_t arrives;
    } cases[] = {
        {"clip.mp3", HttpReply::Bytes(Body(300000)), 0, 300000},
        {"live", chunked, 0, 70000},
        {"closed", closed, 0, 70000},
        {"empty.mp3", HttpReply::Bytes(""), 0, 0},
        {"two.mp3", HttpReply::Bytes(Body(10000, 8)), 2, 10000},
        {"cut.mp3", cut, 1, 20000},
        {"song.mp3", HttpReply::Bytes(Body(200000, 4)), 1, 200000},
        {"slow.mp3", slow, 1, 12000},
    };
    size_t saved = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.Serve(std::string("/music/") + c.name, c.reply);
        gSettings.DownloadOption = c.option;
        int fd = OpenUrlStream(server.Url(std::string("/music/") + c.name).c_str());
        ASSERT_GE(fd, 0);
        EXPECT_EQ(fcntl(fd, F_GETPIPE_SZ), 65536);
        std::string got = ReadToEnd(fd);
        CloseStream(fd);
        EXPECT_TRUE(got == c.reply.body.substr(0, c.arrives)) << got.size();
        if (c.option == 1) {
            ++saved;
            EXPECT_TRUE(ReadFileText(save_dir.File(c.name)) == got);
        }
        EXPECT_EQ(FilesIn(save_dir.path()), saved);
    }
    EXPECT_TRUE(desktop.Boxes().empty());
}

TEST_F(UrlStreamTest, EmptyDownloadDirectorySavesIntoTheCurrentDirectory) {
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(save_dir.path().c_str()), 0);
    server.Serve("/here.mp3", HttpReply::Bytes("saved here"));
    gSettings.DownloadOption = 1;
    gSettings.InternetDLDir.Set("");
    int fd = OpenUrlStream(server.Url("/here.mp3").c_str());
    if (fd >= 0) {
        ReadToEnd(fd);
        CloseStream(fd);
    }
    ASSERT_EQ(chdir(previous), 0);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(ReadFileText(save_dir.File("here.mp3")), "saved here");
}

TEST_F(UrlStreamTest, UrlEndingInSlashWarnsAndStillStreams) {
    std::string body = Body(30000, 9);
    server.Serve("/radio/", HttpReply::Bytes(body));
    gSettings.DownloadOption = 1;
    int fd = OpenUrlStream(server.Url("/radio/").c_str());
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(ReadToEnd(fd) == body);
    CloseStream(fd);
    auto boxes = desktop.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "ERROR!");
    EXPECT_EQ(boxes[0].text, kSaveFailedText);
    EXPECT_EQ(boxes[0].style & MB_ICONWARNING, MB_ICONWARNING);
    EXPECT_EQ(FilesIn(save_dir.path()), 0u);
}

TEST_F(UrlStreamTest, FollowsHttpRedirectsAndSavesUnderTheNameAsked) {
    std::string body = Body(4000, 10);
    server.Serve("/old.mp3", HttpReply::Redirect("/new/real.mp3", 301));
    server.Serve("/new/real.mp3", HttpReply::Bytes(body));
    gSettings.DownloadOption = 1;
    int fd = OpenUrlStream(server.Url("/old.mp3").c_str());
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(ReadToEnd(fd) == body);
    CloseStream(fd);
    EXPECT_TRUE(ReadFileText(save_dir.File("old.mp3")) == body);
    EXPECT_EQ(server.Requests().size(), 2u);
}

TEST_F(UrlStreamTest, FiveRedirectsAreFollowedSixAreNot) {
    for (int i = 0; i < 6; ++i) {
        server.Serve("/r" + std::to_string(i), HttpReply::Redirect("/r" + std::to_string(i + 1)));
    }
    server.Serve("/r6", HttpReply::Bytes("end of the chain"));
    int fd = OpenUrlStream(server.Url("/r1").c_str());  // five hops to /r6
    ASSERT_GE(fd, 0);
    EXPECT_EQ(ReadToEnd(fd), "end of the chain");
    CloseStream(fd);
    EXPECT_TRUE(desktop.Boxes().empty());

    test::Box box = OpenMustFail(server.Url("/r0"));  // six hops
    EXPECT_NE(box.text.find("redirect"), std::string::npos) << box.text;
}

// Each open that cannot play fails with one box saying why, and saves nothing.
TEST_F(UrlStreamTest, AnOpenThatCannotPlayFailsWithTheReason) {
    server.Serve("/nowhere.mp3", HttpReply::Status(302, "Found"));  // nowhere to go
    server.Serve("/trap.mp3", HttpReply::Redirect("file:///etc/passwd"));
    std::string port = std::to_string(server.port());
    std::string refused = std::to_string(test::UnusedLocalPort());
    struct Case {
        std::string url;
        std::string text;  // the box's whole text, or else a part of it
        bool whole;
        size_t requests;  // that the server gets
    } cases[] = {
        {server.Url("/nothing.mp3"), "HTTP/1.1 404 Not Found", true, 1},
        {server.Url("/nowhere.mp3"), "HTTP/1.1 302 Found", true, 1},
        {"http://127.0.0.1:" + refused + "/clip.mp3", refused, false, 0},
        {server.Url("/trap.mp3"), "file", false, 1},
        // Only http and https are spoken.
        {"file:///etc/passwd", "", false, 0},
        {"ftp://127.0.0.1:" + port + "/clip.mp3", "", false, 0},
        {"gopher://127.0.0.1:" + port + "/clip.mp3", "", false, 0},
        {"http://", "", false, 0},
    };
    gSettings.DownloadOption = 1;
    size_t requests = 0;
    for (const Case& c : cases) {
        Box box = OpenMustFail(c.url);
        EXPECT_FALSE(box.text.empty()) << c.url;
        if (c.whole) {
            EXPECT_EQ(box.text, c.text);
        }
        EXPECT_NE(box.text.find(c.text), std::string::npos) << box.text;
        requests += c.requests;
        EXPECT_EQ(server.Requests().size(), requests) << c.url;
    }
    EXPECT_EQ(FilesIn(save_dir.path()), 0u);
}

TEST_F(UrlStreamTest, MissingPipeFailsTheOpen) {
    // Leave no descriptor free, so that the pipe cannot be made.
    rlimit old_limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old_limit), 0);
    rlimit tight = old_limit;
    tight.rlim_cur = static_cast<rlim_t>(OpenDescriptors() + 8);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    std::vector<int> fillers;
    for (int fd; (fd = dup(0)) >= 0;) fillers.push_back(fd);

    int result = OpenUrlStream(server.Url("/clip.mp3").c_str());

    for (int fd : fillers) close(fd);
    setrlimit(RLIMIT_NOFILE, &old_limit);
    EXPECT_EQ(result, -1);
    auto boxes = desktop.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, kInternetCaption);
    EXPECT_EQ(boxes[0].text, "Cannot Create Download Buffer...");
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(UrlStreamTest, NoDescriptorIsLeftBehind) {
    server.Serve("/a.mp3", HttpReply::Bytes(Body(100000, 11)));
    auto cycle = [&] {
        int fd = OpenUrlStream(server.Url("/a.mp3").c_str());
        ASSERT_GE(fd, 0);
        ReadExactly(fd, 1000);
        CloseStream(fd);
        EXPECT_EQ(OpenUrlStream(server.Url("/missing.mp3").c_str()), -1);
        ASSERT_TRUE(server.WaitForConnectionsToEnd(2000));
    };
    cycle();  // the library's one-time set-up may keep descriptors of its own
    int before = OpenDescriptors();
    for (int i = 0; i < 3; ++i) cycle();
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(UrlStreamTest, StopWhileThePipeIsFullEndsPromptly) {
    std::string body = Body(1 << 20, 12);
    server.Serve("/big.mp3", HttpReply::Bytes(body));
    int fd = OpenUrlStream(server.Url("/big.mp3").c_str());
    ASSERT_GE(fd, 0);
    // Wait until the download thread has filled the pipe and blocks on it. The
    // pipe counts in pages, so a piece may not fit although a little room is left.
    int queued = 0;
    for (auto deadline = Clock::now() + std::chrono::seconds(5); Clock::now() < deadline;) {
        ioctl(fd, FIONREAD, &queued);
        if (queued > 65536 - 2048) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_GT(queued, 65536 - 2048);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    int still_queued = 0;
    ioctl(fd, FIONREAD, &still_queued);
    ASSERT_EQ(still_queued, queued);
    auto took = CloseStream(fd);
    std::printf("[ figure ] stop with a full pipe took %lld ms\n",
                static_cast<long long>(took.count()));
    EXPECT_LT(took.count(), 1000);
    // The connection was let go as well, so the thread really ended.
    EXPECT_TRUE(server.WaitForConnectionsToEnd(1000));
}

TEST_F(UrlStreamTest, StopWhileTheServerIsSilentEndsPromptly) {
    std::string body = Body(100000, 13);
    HttpReply reply = HttpReply::Bytes(body);
    reply.send_limit = 10000;
    reply.silent_at_limit = true;
    server.Serve("/quiet.mp3", reply);
    gSettings.DownloadOption = 1;
    int fd = OpenUrlStream(server.Url("/quiet.mp3").c_str());
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(ReadExactly(fd, 10000) == body.substr(0, 10000));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the thread waits on the network
    auto took = CloseStream(fd);
    std::printf("[ figure ] stop with a silent server took %lld ms\n",
                static_cast<long long>(took.count()));
    // Well below what is left of the network wait's own period: the stop wakes
    // the thread rather than waiting for it to look.
    EXPECT_LT(took.count(), 500);
    EXPECT_TRUE(server.WaitForConnectionsToEnd(1000));
    // A stream stopped early leaves the bytes received so far.
    EXPECT_TRUE(ReadFileText(save_dir.File("quiet.mp3")) == body.substr(0, 10000));
}

// The stream's limits run twenty times faster here: 1.5 s of silence stands
// for the 30 s stall and answer limits, 100 ms for the 2000 ms stop wait.
constexpr double kFast = 0.05;
constexpr std::chrono::milliseconds kFastStall{1500};

class UrlStreamLimitTest : public UrlStreamTest {
  protected:
    void SetUp() override {
        UrlStreamTest::SetUp();
        SetUrlStreamTimeScale(kFast);
    }
    void TearDown() override {
        SetUrlStreamTimeScale(1.0);
        UrlStreamTest::TearDown();
    }
};

// A pause in the body of 15 s at the real pace (half the limit, and more than
// any limit so short that it would cut a server pausing for breath) loses no
// byte; one of 80 s ends the stream once the limit has passed, as if the data
// had ended, with what arrived before it.
TEST_F(UrlStreamLimitTest, APauseInTheBodyEndsTheStreamOnlyPastTheStallLimit) {
    std::string body = Body(100000, 16);
    for (auto [pause_ms, arrives] :
         {std::pair{static_cast<int>(kFastStall.count() / 2), body.size()},
          {4000, size_t{10000}}}) {
        HttpReply reply = HttpReply::Bytes(body);
        reply.pause_at = 10000;
        reply.pause_ms = pause_ms;
        server.Serve("/paused.mp3", reply);
        int fd = OpenUrlStream(server.Url("/paused.mp3").c_str());
        ASSERT_GE(fd, 0);
        auto start = Clock::now();
        std::string got = ReadToEnd(fd);
        auto took = Clock::now() - start;
        CloseStream(fd);
        EXPECT_TRUE(got == body.substr(0, arrives)) << pause_ms << " ms: " << got.size();
        if (arrives < body.size()) {
            EXPECT_GE(took, kFastStall * 9 / 10);
        }
    }
    EXPECT_TRUE(desktop.Boxes().empty());
}

TEST_F(UrlStreamLimitTest, AServerThatNeverAnswersFailsTheOpen) {
    HttpReply reply;
    reply.silent_before_headers = true;
    server.Serve("/mute.mp3", reply);
    auto start = Clock::now();
    test::Box box = OpenMustFail(server.Url("/mute.mp3"));
    auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    EXPECT_GE(waited.count(), kFastStall.count() * 9 / 10);
    EXPECT_LT(waited.count(), kFastStall.count() * 3);
    EXPECT_NE(box.text.find("30 seconds"), std::string::npos) << box.text;
}

// A link is answered once its body is in: one that trickles in is no answer.
TEST_F(UrlStreamLimitTest, ALinkThatTricklesInFailsTheOpen) {
    HttpReply reply = HttpReply::Bytes(std::string(200, '#'));
    reply.headers = {"Content-Type: audio/x-mpegurl"};
    reply.piece_bytes = 1;
    reply.piece_delay_ms = 50;  // 10 s in all
    server.Serve("/trickle.m3u", reply);
    EXPECT_NE(OpenMustFail(server.Url("/trickle.m3u")).text.find("no answer"), std::string::npos);
}

// A pause of playback longer than the limit (35 s at the real pace) leaves the
// download blocked on the full pipe; that is not a silent server.
TEST_F(UrlStreamLimitTest, APlaybackPauseLongerThanTheLimitIsNotAStall) {
    std::string body = Body(1 << 20, 18);
    server.Serve("/big.mp3", HttpReply::Bytes(body));
    int fd = OpenUrlStream(server.Url("/big.mp3").c_str());
    ASSERT_GE(fd, 0);
    std::this_thread::sleep_for(kFastStall * 7 / 6);
    std::string got = ReadToEnd(fd);
    CloseStream(fd);
    EXPECT_TRUE(got == body) << got.size();
}

TEST_F(UrlStreamTest, StopBeforeReadingKeepsWhatArrivedInTheSaveFile) {
    std::string body = Body(200000, 14);
    HttpReply reply = HttpReply::Bytes(body);
    reply.piece_bytes = 1000;
    reply.piece_delay_ms = 5;
    server.Serve("/part.mp3", reply);
    gSettings.DownloadOption = 1;
    int fd = OpenUrlStream(server.Url("/part.mp3").c_str());
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(ReadExactly(fd, 5000) == body.substr(0, 5000));
    CloseStream(fd);
    std::string saved = ReadFileText(save_dir.File("part.mp3"));
    EXPECT_GE(saved.size(), 5000u);
    EXPECT_LT(saved.size(), body.size());
    EXPECT_TRUE(saved == body.substr(0, saved.size()));
}

// A save warning nobody answers holds the download thread past the bound; the
// thread is then given up on and must release everything itself when it ends.
std::mutex g_box_mutex;
std::condition_variable g_box_changed;
bool g_box_shown = false;     // guarded by g_box_mutex
bool g_box_answered = false;  // guarded by g_box_mutex

int BoxThatWaitsForAnAnswer(Window*, const char*, const char*, unsigned) {
    std::unique_lock<std::mutex> lock(g_box_mutex);
    g_box_shown = true;
    g_box_changed.notify_all();
    g_box_changed.wait(lock, [] { return g_box_answered; });
    return IDOK;
}

TEST_F(UrlStreamLimitTest, ThreadGivenUpOnReleasesEverythingWhenItEnds) {
    server.Serve("/warm.mp3", HttpReply::Bytes("x"));
    int warm = OpenUrlStream(server.Url("/warm.mp3").c_str());
    ASSERT_GE(warm, 0);
    ReadToEnd(warm);
    CloseStream(warm);
    ASSERT_TRUE(server.WaitForConnectionsToEnd(2000));
    int before = OpenDescriptors();

    SetDesktopHooks(DesktopHooks{BoxThatWaitsForAnAnswer, nullptr});
    HttpReply reply = HttpReply::Bytes(Body(200000, 15));
    reply.send_limit = 50000;  // then silence, with the connection kept open
    reply.silent_at_limit = true;
    server.Serve("/radio/", reply);
    gSettings.DownloadOption = 1;
    int fd = OpenUrlStream(server.Url("/radio/").c_str());
    ASSERT_GE(fd, 0);
    {
        std::unique_lock<std::mutex> lock(g_box_mutex);
        ASSERT_TRUE(
            g_box_changed.wait_for(lock, std::chrono::seconds(5), [] { return g_box_shown; }));
    }
    auto took = CloseStream(fd);
    EXPECT_GE(took.count(), 95);  // waited the whole bound (2000 ms at the real pace), then gave up
    EXPECT_LT(took.count(), 1000);
    EXPECT_EQ(server.OpenConnections(), 1);  // the abandoned thread still holds it

    {
        std::lock_guard<std::mutex> lock(g_box_mutex);
        g_box_answered = true;
    }
    g_box_changed.notify_all();
    // Answered, the thread sees the quit it was sent and lets go of everything.
    EXPECT_TRUE(server.WaitForConnectionsToEnd(2000));
    for (auto deadline = Clock::now() + std::chrono::seconds(2);
         OpenDescriptors() != before && Clock::now() < deadline;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

}  // namespace
}  // namespace vek
