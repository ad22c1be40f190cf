#include "platform/single_instance.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
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
std::atomic<int> g_handovers_ended{0};

intptr_t RecordCopyData(Window*, uint32_t message, uintptr_t, intptr_t lparam) {
    if (message == UIM_HANDOVER_ENDED) ++g_handovers_ended;
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
        setenv("DISPLAY", ":7", 1);
        unsetenv("WAYLAND_DISPLAY");
        g_received = &received_;
        g_handovers_ended = 0;
        InitWindow(&window_, RecordCopyData, nullptr);
    }
    void TearDown() override {
        StopHandOverListener();
        ForgetWindow(&window_);  // an end of hand-over may still be queued for it
        SetHandOverDeadlines(0, 0);
        g_received = nullptr;
        if (had_)
            setenv("XDG_RUNTIME_DIR", old_.c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
    }
    // Runs the window's loop until done is set, or pred holds.
    void PumpUntil(const std::atomic<bool>& done) {
        PumpUntil([&] { return done.load(); });
    }
    template <typename Pred>
    void PumpUntil(Pred pred) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!pred() && std::chrono::steady_clock::now() < deadline) {
            Message m;
            while (PeekMessage(&m)) DispatchMessage(m);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    test::EnvRestorer display_{"DISPLAY"};
    test::EnvRestorer wayland_{"WAYLAND_DISPLAY"};
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
    int other = test::ListenAt(HandOverSocketPath());
    ASSERT_GE(other, 0);
    EXPECT_FALSE(StartHandOverListener(&window_));
    int c = ConnectToRunningPlayer();
    EXPECT_GE(c, 0) << "the other player is still reachable";
    CloseHandOverConnection(c);
    close(other);
    unlink(HandOverSocketPath().c_str());
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
    EXPECT_EQ(path, tmp.path() + "/vek-" + std::to_string(getuid()) + "/vek-:7.sock");
    struct stat st;
    ASSERT_EQ(lstat((tmp.path() + "/vek-" + std::to_string(getuid())).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

// Sends one whole record by hand, without waiting for the answer.
bool SendHead(int connection, uint32_t kind) {
    uint32_t head[3] = {kind, 0, 0};
    return send(connection, head, sizeof head, MSG_NOSIGNAL) == sizeof head;
}

// A real later start: connects, sends PLAY_FIRST, and says how long until the
// answer came (negative when none came).
double AnsweredAfterSeconds() {
    auto start = std::chrono::steady_clock::now();
    int c = ConnectToRunningPlayer();
    bool answered = c >= 0 && SendHandOverRecord(c, CDS_PLAY_FIRST, 0, nullptr);
    CloseHandOverConnection(c);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return answered ? seconds : -1;
}

TEST_F(SingleInstanceTest, IdleConnectionsDoNotDelayARealStart) {
    ASSERT_TRUE(StartHandOverListener(&window_));
    std::vector<int> idle;
    for (int i = 0; i < 12; ++i) idle.push_back(ConnectToRunningPlayer());
    std::atomic<bool> done{false};
    double seconds = -1;
    std::thread second([&] {
        seconds = AnsweredAfterSeconds();
        done = true;
    });
    PumpUntil(done);
    second.join();
    for (int c : idle) CloseHandOverConnection(c);
    EXPECT_GE(seconds, 0);
    EXPECT_LT(seconds, 1.0) << "each idle one would hold it for its deadline";
}

TEST_F(SingleInstanceTest, APeerThatDawdlesIsGivenUpAtItsRecordDeadline) {
    SetHandOverDeadlines(400, 0);
    ASSERT_TRUE(StartHandOverListener(&window_));
    // It owns the hand-over with a whole first record, then sends the next one
    // a byte at a time, each byte well within any per-read limit.
    int slow = ConnectToRunningPlayer();
    ASSERT_GE(slow, 0);
    std::atomic<bool> done{false};
    double seconds = -1;
    std::thread peer([&] {
        uint32_t answer;
        SendHead(slow, CDS_CLEAR);
        recv(slow, &answer, sizeof answer, MSG_WAITALL);
        std::thread real([&] {
            seconds = AnsweredAfterSeconds();
            done = true;
        });
        const char byte = 0;
        for (int i = 0; i < 30 && !done.load(); ++i) {
            if (send(slow, &byte, 1, MSG_NOSIGNAL) != 1) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        real.join();
    });
    PumpUntil(done);
    peer.join();
    CloseHandOverConnection(slow);
    EXPECT_GE(seconds, 0);
    EXPECT_LT(seconds, 1.5) << "delayed by at most one record deadline";
    PumpUntil([] { return g_handovers_ended.load() == 2; });
    EXPECT_EQ(g_handovers_ended.load(), 2) << "the dawdler's and the real start's";
}

TEST_F(SingleInstanceTest, ALaterStartWaitsForAnAnswerOnlySoLong) {
    SetHandOverDeadlines(0, 300);
    // A "player" that takes connections and never answers.
    int mute = test::ListenAt(HandOverSocketPath());
    ASSERT_GE(mute, 0);
    int c = ConnectToRunningPlayer();
    ASSERT_GE(c, 0);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(SendHandOverRecord(c, CDS_CLEAR, 0, nullptr));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    CloseHandOverConnection(c);
    close(mute);
    unlink(HandOverSocketPath().c_str());
}

TEST_F(SingleInstanceTest, ARuntimeFolderOthersMayEnterIsNotUsed) {
    test::TempDir tmp;
    test::EnvRestorer tmpdir("TMPDIR");
    setenv("TMPDIR", tmp.path().c_str(), 1);
    std::string fallback = tmp.path() + "/vek-" + std::to_string(getuid()) + "/vek-:7.sock";
    ASSERT_EQ(chmod(dir_.path().c_str(), 0777), 0);
    EXPECT_EQ(HandOverSocketPath(), fallback) << "anyone could listen there";
    ASSERT_EQ(chmod(dir_.path().c_str(), 0700), 0);
    EXPECT_EQ(HandOverSocketPath(), dir_.path() + "/vek-:7.sock");
    if (geteuid() == 0) {
        ASSERT_EQ(chown(dir_.path().c_str(), 65534, 65534), 0);
        EXPECT_EQ(HandOverSocketPath(), fallback) << "another user's folder";
        ASSERT_EQ(chown(dir_.path().c_str(), 0, 0), 0);
    }
}

TEST_F(SingleInstanceTest, APlayerOfAnotherUserIsNotHandedNames) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to listen as another user";
    std::string path = HandOverSocketPath();
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t pid = fork();
    if (pid == 0) {
        // Bound in the user's folder, but listening as another user: the peer
        // credentials are taken at listen().
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, path.c_str());
        if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            setuid(65534) != 0 || listen(fd, 4) != 0)
            _exit(1);
        (void)!write(ready[1], "x", 1);
        pause();
        _exit(0);
    }
    char byte;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    EXPECT_EQ(ConnectToRunningPlayer(), -1);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    unlink(path.c_str());
}

TEST_F(SingleInstanceTest, EachDisplayHasASocketOfItsOwn) {
    struct Case {
        const char* display;
        const char* wayland;
        const char* file;
    } cases[] = {
        {":0", nullptr, "vek-:0.sock"},
        {":0.0", nullptr, "vek-:0.sock"},
        {"host:10.1", "wayland-0", "vek-host:10.sock"},
        {nullptr, "wayland-1", "vek-wayland-1.sock"},
        {"", "/run/w 1", "vek-%2Frun%2Fw%201.sock"},
        {nullptr, nullptr, "vek.sock"},
        {nullptr, "/a/very/long/path/to/a/wayland/socket/of/some/compositor",
         "vek-afeb3365c64a3985.sock"},
    };
    for (const Case& c : cases) {
        for (auto [name, value] :
             {std::pair{"DISPLAY", c.display}, {"WAYLAND_DISPLAY", c.wayland}}) {
            if (value)
                setenv(name, value, 1);
            else
                unsetenv(name);
        }
        EXPECT_EQ(HandOverSocketPath(), dir_.path() + "/" + c.file) << c.file;
    }
    // A player on :1 does not stop one from starting on :2.
    setenv("DISPLAY", ":1", 1);
    ASSERT_TRUE(StartHandOverListener(&window_));
    setenv("DISPLAY", ":2", 1);
    EXPECT_EQ(ConnectToRunningPlayer(), -1);
}

}  // namespace
}  // namespace vek
