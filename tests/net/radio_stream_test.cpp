// Internet radio at the network level: metadata blocks taken out of the audio
// and their titles reported, and streams cut off fetched again.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "net/stream_title.h"
#include "net/url_stream.h"
#include "platform/desktop_hooks.h"
#include "platform/messages.h"
#include "platform/thread_queue.h"
#include "tests/net/url_stream_fixture.h"

namespace vek {
namespace {

using namespace test;

// The delays before fetching again run twenty times faster here: 50, 100 and
// 200 ms stand for 1, 2 and 4 s; 1.5 s of silence for the 30 s stall limit.
constexpr double kFast = 0.05;
constexpr auto kFastDelay = std::chrono::milliseconds(50);

class RadioStreamTest : public UrlStreamTest {
  protected:
    void SetUp() override {
        UrlStreamTest::SetUp();
        SetUrlStreamTimeScale(kFast);
        InitWindow(&window_, KeepTitle, this);
        SetMainWindow(&window_);
    }
    void TearDown() override {
        SetMainWindow(nullptr);
        ForgetWindow(&window_);
        SetUrlStreamTimeScale(1.0);
        UrlStreamTest::TearDown();
    }

    // The titles reported so far for url, in order.
    std::vector<std::string> Titles(const std::string& url) {
        Message m;
        while (PeekMessage(&m)) DispatchMessage(m);
        std::vector<std::string> found;
        for (const auto& [from, title] : titles_) {
            if (from == url) found.push_back(title);
        }
        return found;
    }

  private:
    static intptr_t KeepTitle(Window* window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
        std::string_view url, title;
        if (message == UIM_STREAM_TITLE && ReadStreamTitle(wparam, lparam, &url, &title)) {
            static_cast<RadioStreamTest*>(window->user)->titles_.emplace_back(url, title);
        }
        return 0;
    }
    Window window_;
    std::vector<std::pair<std::string, std::string>> titles_;
};

TEST_F(RadioStreamTest, AStationSendingTitlesAfterEveryFewBytesIsNotReportedAtThatRate) {
    std::string audio = Body(40960, 26);
    std::vector<std::string> texts;
    for (int i = 0; i < 2560; ++i) texts.push_back("StreamTitle='" + std::to_string(i) + "';");
    HttpReply reply = HttpReply::Radio(IcyBody(audio, 16, texts), 16);
    reply.send_length = true;
    server.Serve("/radio", reply);
    std::string url = server.Url("/radio");
    int fd = OpenUrlStream(url.c_str());
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(ReadToEnd(fd) == audio);
    CloseStream(fd);
    // The name, then one title per 2048 bytes of audio.
    std::vector<std::string> titles = Titles(url);
    EXPECT_EQ(titles.size(), 1 + 40960 / 2048) << titles.back();
}

TEST_F(RadioStreamTest, AStreamTheNetworkCutsOffIsFetchedAgainAndReadOn) {
    // A plain server, no radio: it falls silent past the stall limit.
    std::string audio = Body(40000, 21);
    HttpReply first = HttpReply::Bytes(audio.substr(0, 15000));
    first.send_length = false;
    first.silent_at_limit = true;
    HttpReply rest = HttpReply::Bytes(audio.substr(15000));
    server.ServeInTurn("/stream", {first, rest});
    int fd = OpenUrlStream(server.Url("/stream").c_str());
    ASSERT_GE(fd, 0);
    std::string got = ReadToEnd(fd);
    CloseStream(fd);
    EXPECT_TRUE(got == audio) << got.size();
    EXPECT_EQ(server.Requests().size(), 2u);
}

TEST_F(RadioStreamTest, AStationThatSendsAByteAndClosesEndsAfterThreeTriesWithTheBox) {
    server.Serve("/radio/live.mp3", HttpReply::Radio("x"));
    gSettings.DownloadOption = 1;
    int fd = OpenUrlStream(server.Url("/radio/live.mp3").c_str());
    ASSERT_GE(fd, 0);
    EXPECT_EQ(ReadExactly(fd, 5), "xxxx");
    CloseStream(fd);
    EXPECT_EQ(ReadFileText(save_dir.File("live.mp3")), "xxxx");
    std::vector<HttpRequest> requests = server.Requests();
    ASSERT_EQ(requests.size(), 4u);
    for (size_t i = 1; i < requests.size(); ++i)
        EXPECT_GE(requests[i].arrived - requests[i - 1].arrived, kFastDelay * (1 << (i - 1))) << i;
    std::vector<Box> boxes = desktop.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, kInternetCaption);
    EXPECT_EQ(boxes[0].text, "The station closed the connection; gave up after 3 tries");
}

// The station's name stands in only until the first song's title: a fetch
// again does not put it back.
TEST_F(RadioStreamTest, TheSongsTitleOutlastsAFetchAgain) {
    std::string a = Body(8192, 27), b = Body(8192, 28);
    server.ServeInTurn("/radio", {HttpReply::Radio(IcyBody(a, 4096, {"StreamTitle='Song';"}), 4096),
                                  HttpReply::Radio(b), HttpReply::ClosedAtOnce()});
    std::string url = server.Url("/radio");
    int fd = OpenUrlStream(url.c_str());
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(ReadToEnd(fd) == a + b);
    CloseStream(fd);
    EXPECT_EQ(Titles(url), (std::vector<std::string>{"Test Radio", "Song"}));
}

TEST_F(RadioStreamTest, AnErrorStatusOnATryEndsTheStream) {
    std::string audio = Body(10000, 24);
    server.ServeInTurn("/radio", {HttpReply::Radio(audio), HttpReply::Status(404, "Not Found"),
                                  HttpReply::Radio(audio)});
    int fd = OpenUrlStream(server.Url("/radio").c_str());
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(ReadToEnd(fd) == audio);
    CloseStream(fd);
    EXPECT_EQ(server.Requests().size(), 2u);
    EXPECT_TRUE(desktop.Boxes().empty());
}

TEST_F(RadioStreamTest, AStopWhileWaitingToFetchAgainEndsAtOnce) {
    SetUrlStreamTimeScale(1.0);  // a whole second before the try
    std::string audio = Body(10000, 25);
    server.Serve("/radio", HttpReply::Radio(audio));
    int fd = OpenUrlStream(server.Url("/radio").c_str());
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(ReadExactly(fd, audio.size()) == audio);
    ASSERT_TRUE(server.WaitForConnectionsToEnd(2000));
    auto took = CloseStream(fd);
    EXPECT_LT(took.count(), 500);
    EXPECT_EQ(server.Requests().size(), 1u);
}

}  // namespace
}  // namespace vek
