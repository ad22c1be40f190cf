#include "platform/single_instance.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_support.h"

namespace vek {
namespace {

struct Received {
    uint32_t kind;
    uint32_t size;
    std::string data;
};

std::vector<Received>* g_received = nullptr;

intptr_t RecordCopyData(Window*, uint32_t message, uintptr_t, intptr_t lparam) {
    if (message != WM_COPYDATA) return 0;
    const auto* record = reinterpret_cast<const CopyData*>(lparam);
    g_received->push_back(Received{
        record->kind, record->size,
        record->data ? std::string(record->data, record->kind == CDS_ADD ? record->size : 0) : ""});
    return 1;
}

class SingleInstanceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const char* old = std::getenv("XDG_RUNTIME_DIR")) old_ = old, had_ = true;
        setenv("XDG_RUNTIME_DIR", dir_.path().c_str(), 1);
        g_received = &received_;
        InitWindow(&window_, RecordCopyData, nullptr);
    }
    void TearDown() override {
        StopHandOverListener();
        g_received = nullptr;
        if (had_)
            setenv("XDG_RUNTIME_DIR", old_.c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
    }
    // Runs the window's loop until done is set.
    void PumpUntil(const std::atomic<bool>& done) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!done.load() && std::chrono::steady_clock::now() < deadline) {
            Message m;
            while (PeekMessage(&m)) DispatchMessage(m);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    test::TempDir dir_;
    std::string old_;
    bool had_ = false;
    Window window_;
    std::vector<Received> received_;
};

TEST_F(SingleInstanceTest, RecordsArriveInOrderAndEachIsAnsweredBeforeTheNext) {
    EXPECT_EQ(ConnectToRunningPlayer(), -1) << "no player runs yet";
    ASSERT_TRUE(StartHandOverListener(&window_));
    struct stat st;
    ASSERT_EQ(stat(HandOverSocketPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    std::atomic<bool> done{false};
    std::vector<bool> answered;
    std::thread second([&] {
        int c = ConnectToRunningPlayer();
        if (c >= 0) {
            const char* name = "/music/a b.mp3";
            answered.push_back(SendHandOverRecord(c, CDS_CLEAR, 0, nullptr));
            answered.push_back(SendHandOverRecord(c, CDS_ADD, std::strlen(name), name));
            answered.push_back(SendHandOverRecord(c, CDS_PLAY_ENTRY, 2, nullptr));
            answered.push_back(SendHandOverRecord(c, CDS_PLAY_FIRST, 0, nullptr));
            CloseHandOverConnection(c);
        }
        done = true;
    });
    PumpUntil(done);
    second.join();
    ASSERT_EQ(answered.size(), 4u);
    for (bool a : answered) EXPECT_TRUE(a);
    ASSERT_EQ(received_.size(), 4u);
    EXPECT_EQ(received_[0].kind, CDS_CLEAR);
    EXPECT_EQ(received_[1].kind, CDS_ADD);
    EXPECT_EQ(received_[1].data, "/music/a b.mp3");
    EXPECT_EQ(received_[2].kind, CDS_PLAY_ENTRY);
    EXPECT_EQ(received_[2].size, 2u);
    EXPECT_EQ(received_[3].kind, CDS_PLAY_FIRST);
}

TEST_F(SingleInstanceTest, ARecordWhoseSizeIsNotItsBytesIsRefused) {
    ASSERT_TRUE(StartHandOverListener(&window_));
    std::atomic<bool> done{false};
    bool answered = true;
    std::thread second([&] {
        int c = ConnectToRunningPlayer();
        // A name record claiming 200 bytes but carrying none.
        uint32_t head[3] = {CDS_ADD, 200, 0};
        uint32_t result = 0;
        answered = c >= 0 && send(c, head, sizeof head, MSG_NOSIGNAL) == sizeof head &&
                   recv(c, &result, sizeof result, MSG_WAITALL) == sizeof result;
        CloseHandOverConnection(c);
        done = true;
    });
    PumpUntil(done);
    second.join();
    EXPECT_FALSE(answered) << "the player hangs up instead";
    EXPECT_TRUE(received_.empty());
}

TEST_F(SingleInstanceTest, AStartThatStopsHalfWayDoesNotBlockTheNext) {
    ASSERT_TRUE(StartHandOverListener(&window_));
    int stuck = ConnectToRunningPlayer();  // connects, then says nothing
    ASSERT_GE(stuck, 0);
    std::atomic<bool> done{false};
    bool answered = false;
    std::thread second([&] {
        int c = ConnectToRunningPlayer();
        answered = c >= 0 && SendHandOverRecord(c, CDS_PLAY_FIRST, 0, nullptr);
        CloseHandOverConnection(c);
        done = true;
    });
    auto start = std::chrono::steady_clock::now();
    auto deadline = start + std::chrono::seconds(10);
    while (!done.load() && std::chrono::steady_clock::now() < deadline) {
        Message m;
        while (PeekMessage(&m)) DispatchMessage(m);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    second.join();
    CloseHandOverConnection(stuck);
    EXPECT_TRUE(answered);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
}

TEST_F(SingleInstanceTest, WhileAnotherPlayerListensNoSecondListenerStarts) {
    // Another player's socket, answering connections.
    int other = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, HandOverSocketPath().c_str());
    ASSERT_EQ(bind(other, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(other, 4), 0);
    EXPECT_FALSE(StartHandOverListener(&window_));
    int c = ConnectToRunningPlayer();
    EXPECT_GE(c, 0) << "the other player is still reachable";
    CloseHandOverConnection(c);
    close(other);
    unlink(address.sun_path);
}

TEST_F(SingleInstanceTest, ASocketLeftByACrashedPlayerIsReplaced) {
    std::string path = HandOverSocketPath();
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(fd);  // the file stays, nobody listens
    EXPECT_EQ(ConnectToRunningPlayer(), -1);
    EXPECT_TRUE(StartHandOverListener(&window_));
    int c = ConnectToRunningPlayer();
    EXPECT_GE(c, 0);
    CloseHandOverConnection(c);
}

TEST_F(SingleInstanceTest, WithoutARuntimeDirectoryAPrivateTemporaryDirectoryIsUsed) {
    unsetenv("XDG_RUNTIME_DIR");
    test::TempDir tmp;
    setenv("TMPDIR", tmp.path().c_str(), 1);
    std::string path = HandOverSocketPath();
    unsetenv("TMPDIR");
    EXPECT_EQ(path, tmp.path() + "/vek-" + std::to_string(getuid()) + "/vek.sock");
    struct stat st;
    ASSERT_EQ(lstat((tmp.path() + "/vek-" + std::to_string(getuid())).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

}  // namespace
}  // namespace vek
