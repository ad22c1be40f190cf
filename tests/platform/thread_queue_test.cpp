#include "platform/thread_queue.h"

#include <gtest/gtest.h>
#include <sys/prctl.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/messages.h"
#include "platform/worker_thread.h"

namespace vek {
namespace {

using namespace std::chrono_literals;

// A worker that records every thread message until WM_QUIT.
struct Recorder {
    std::vector<uint32_t> messages;
    std::vector<intptr_t> params;
};

int RecordUntilQuit(void* arg) {
    auto* rec = static_cast<Recorder*>(arg);
    Message m;
    while (GetMessage(&m)) {
        rec->messages.push_back(m.message);
        rec->params.push_back(m.lparam);
    }
    return 7;
}

TEST(ThreadQueue, PostsArriveInOrderAndQuitEndsTheLoop) {
    Recorder rec;
    WorkerThread worker = StartWorkerThread(RecordUntilQuit, &rec, 0);
    ASSERT_TRUE(worker);
    // Posted right after the start: the queue exists already.
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(PostThreadMessage(worker.id, DTM_SEEK, 0, i));
    ASSERT_TRUE(PostThreadMessage(worker.id, WM_QUIT, 0, 0));
    int code = 0;
    ASSERT_TRUE(JoinWorkerThread(&worker, 3000, &code));
    EXPECT_EQ(code, 7);
    ASSERT_EQ(rec.params.size(), 100u);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(rec.params[i], i);
}

TEST(ThreadQueue, PostFailsWithoutAQueue) {
    EXPECT_FALSE(PostThreadMessage(0, DTM_PLAY, 0, 0));
    EXPECT_FALSE(PostThreadMessage(0x7fffffff, DTM_PLAY, 0, 0));
    Recorder rec;
    WorkerThread worker = StartWorkerThread(RecordUntilQuit, &rec, 0);
    ThreadId id = worker.id;
    PostThreadMessage(id, WM_QUIT, 0, 0);
    ASSERT_TRUE(JoinWorkerThread(&worker, 3000, nullptr));
    EXPECT_FALSE(PostThreadMessage(id, DTM_PLAY, 0, 0)) << "a finished thread has no queue";
}

TEST(ThreadQueue, PeekTakesOneMessageWithoutBlocking) {
    Message m;
    EXPECT_FALSE(PeekMessage(&m));
    PostThreadMessage(CurrentThreadId(), DTM_STOP, 0, 1);
    PostThreadMessage(CurrentThreadId(), DTM_SEEK, 0, 2);
    ASSERT_TRUE(PeekMessage(&m));
    EXPECT_EQ(m.message, DTM_STOP);
    ASSERT_TRUE(PeekMessage(&m));
    EXPECT_EQ(m.message, DTM_SEEK);
    EXPECT_EQ(m.lparam, 2);
    EXPECT_FALSE(PeekMessage(&m));
}

TEST(ThreadQueue, APostedTextIsTheSendersCopyAtPostTime) {
    CreateThreadQueue();
    char buffer[] = "/music/first.mp3";
    ASSERT_TRUE(PostThreadText(CurrentThreadId(), DTM_PLAY_FILE, buffer));
    std::strcpy(buffer, "/music/later.mp3");
    ASSERT_TRUE(PostThreadText(CurrentThreadId(), DTM_PLAY_FILE, buffer));
    Message m;
    ASSERT_TRUE(PeekMessage(&m));
    EXPECT_EQ(m.text, "/music/first.mp3");
    EXPECT_EQ(m.lparam, 0);
    ASSERT_TRUE(PeekMessage(&m));
    EXPECT_EQ(m.text, "/music/later.mp3");
}

TEST(ThreadQueue, GetMessageReportsQuitAsFalseWithItsCode) {
    PostQuitMessage(5);
    Message m;
    EXPECT_FALSE(GetMessage(&m));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wparam, 5u);
}

// A deadline already past still takes what waits, and only then times out.
TEST(ThreadQueue, GetMessageUntilTakesWhatWaitsBeforeItTimesOut) {
    auto past = std::chrono::steady_clock::now() - 1s;
    CreateThreadQueue();
    PostThreadMessage(CurrentThreadId(), DTM_SEEK, 0, 3);
    PostQuitMessage(0);
    Message m;
    ASSERT_EQ(GetMessageUntil(&m, past), WaitResult::Message);
    EXPECT_EQ(m.lparam, 3);
    EXPECT_EQ(GetMessageUntil(&m, past), WaitResult::Quit);
    EXPECT_EQ(GetMessageUntil(&m, past), WaitResult::TimedOut);
}

struct WindowLog {
    std::vector<uint32_t> seen;
    std::thread::id handler_thread;
};

intptr_t LoggingProc(Window* window, uint32_t message, uintptr_t, intptr_t lparam) {
    auto* log = static_cast<WindowLog*>(window->user);
    log->seen.push_back(message);
    log->handler_thread = std::this_thread::get_id();
    return lparam * 2;
}

struct SendJob {
    Window* target;
    std::atomic<intptr_t> result{0};
};

int SendFromWorker(void* arg) {
    auto* job = static_cast<SendJob*>(arg);
    PostWindowMessage(job->target, UIM_PROGRESS, 0, 1);
    PostWindowMessage(job->target, UIM_PROGRESS, 0, 2);
    job->result = SendWindowMessage(job->target, UIM_TRACK_ENDED, 0, 21);
    return 1;
}

TEST(WindowBridge, CrossThreadSendRunsOnTheWindowThreadAfterEarlierPosts) {
    WindowLog log;
    Window window;
    InitWindow(&window, LoggingProc, &log);
    SendJob job{&window};
    WorkerThread worker = StartWorkerThread(SendFromWorker, &job, 0);
    // Run the window's loop until the worker has its answer.
    auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!WorkerFinished(worker) && std::chrono::steady_clock::now() < deadline) {
        Message m;
        if (PeekMessage(&m)) DispatchMessage(m);
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_TRUE(JoinWorkerThread(&worker, 3000, nullptr));
    EXPECT_EQ(job.result.load(), 42);
    ASSERT_EQ(log.seen.size(), 3u);
    EXPECT_EQ(log.seen[0], UIM_PROGRESS);
    EXPECT_EQ(log.seen[1], UIM_PROGRESS);
    EXPECT_EQ(log.seen[2], UIM_TRACK_ENDED);
    EXPECT_EQ(log.handler_thread, std::this_thread::get_id());
}

intptr_t TextProc(Window* window, uint32_t, uintptr_t wparam, intptr_t lparam) {
    static_cast<std::vector<std::string>*>(window->user)
        ->emplace_back(reinterpret_cast<const char*>(lparam), wparam);
    return 0;
}

TEST(WindowBridge, APostedWindowTextReachesTheHandlerWholeWithItsLength) {
    std::vector<std::string> texts;
    Window window;
    InitWindow(&window, TextProc, &texts);
    std::string text("first\0second", 12);
    std::thread([&] { PostWindowText(&window, UIM_PROGRESS, text); }).join();
    text = "changed";
    Message m;
    ASSERT_TRUE(PeekMessage(&m));
    DispatchMessage(m);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], std::string("first\0second", 12));
}

TEST(WindowBridge, SendOnTheOwnThreadCallsTheHandlerDirectly) {
    WindowLog log;
    Window window;
    InitWindow(&window, LoggingProc, &log);
    EXPECT_EQ(SendWindowMessage(&window, UIM_PLAY_STARTED, 0, 4), 8);
    EXPECT_EQ(log.seen.size(), 1u);
}

TEST(WindowBridge, JoinKeepsAnsweringSendsFromTheStoppingThread) {
    // The worker sends to our window while we wait for it to end: without the
    // waiting thread answering, this would deadlock until the bound.
    WindowLog log;
    Window window;
    InitWindow(&window, LoggingProc, &log);
    SendJob job{&window};
    WorkerThread worker = StartWorkerThread(SendFromWorker, &job, 0);
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(JoinWorkerThread(&worker, 3000, nullptr));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(job.result.load(), 42);
    // The posts were left for the normal loop.
    Message m;
    int posts = 0;
    while (PeekMessage(&m)) posts += DispatchMessage(m) != 0;
    EXPECT_EQ(posts, 2);
}

TEST(WindowBridge, AForgottenWindowGetsNoMoreMessages) {
    WindowLog log;
    Window window;
    InitWindow(&window, LoggingProc, &log);
    PostWindowMessage(&window, UIM_PROGRESS, 0, 1);
    PostThreadMessage(CurrentThreadId(), DTM_STOP, 0, 0);  // not the window's: kept
    ForgetWindow(&window);
    Message m;
    int thread_messages = 0;
    while (PeekMessage(&m)) {
        DispatchMessage(m);
        thread_messages += m.window == nullptr;
    }
    EXPECT_TRUE(log.seen.empty());
    EXPECT_EQ(thread_messages, 1);
}

int SendThenEnd(void* arg) {
    auto* job = static_cast<SendJob*>(arg);
    job->result = SendWindowMessage(job->target, UIM_PROGRESS, 0, 5);
    return 0;
}

int OwnWindowThenEnd(void* arg) {
    // Makes a window on this thread, lets a sender queue up, then ends without
    // ever answering.
    auto* slot = static_cast<std::atomic<Window*>*>(arg);
    static WindowLog log;
    static Window window;
    InitWindow(&window, LoggingProc, &log);
    slot->store(&window);
    std::this_thread::sleep_for(200ms);
    return 0;
}

TEST(WindowBridge, SendToAThreadThatEndsReturnsZeroInsteadOfHanging) {
    std::atomic<Window*> slot{nullptr};
    WorkerThread owner = StartWorkerThread(OwnWindowThenEnd, &slot, 0);
    while (!slot.load()) std::this_thread::sleep_for(1ms);
    SendJob job{slot.load()};
    job.result = -1;
    WorkerThread sender = StartWorkerThread(SendThenEnd, &job, 0);
    ASSERT_TRUE(JoinWorkerThread(&owner, 3000, nullptr));
    ASSERT_TRUE(JoinWorkerThread(&sender, 3000, nullptr));
    EXPECT_EQ(job.result.load(), 0);
}

int SleepLong(void* arg) {
    auto* stop = static_cast<std::atomic<bool>*>(arg);
    while (!stop->load()) std::this_thread::sleep_for(5ms);
    return 0;
}

TEST(WorkerThread, AThreadMissingItsBoundIsGivenUpInTime) {
    static std::atomic<bool> stop{false};
    WorkerThread worker = StartWorkerThread(SleepLong, &stop, 0);
    auto start = std::chrono::steady_clock::now();
    int code = 0;
    EXPECT_FALSE(JoinWorkerThread(&worker, 100, &code));
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 100ms);
    EXPECT_LT(waited, 1s);
    EXPECT_EQ(code, -1);
    EXPECT_FALSE(worker);
    stop = true;  // the detached thread ends on its own
}

int TimerSlack(void*) {
    return prctl(PR_GET_TIMERSLACK);
}

// The decoder's 1 ms pacing sleeps must not be stretched by the default slack.
TEST(WorkerThread, SleepsWithoutTimerSlack) {
    WorkerThread worker = StartWorkerThread(TimerSlack, nullptr, 0);
    int slack_ns = -1;
    ASSERT_TRUE(JoinWorkerThread(&worker, -1, &slack_ns));
    EXPECT_EQ(slack_ns, 1);
}

}  // namespace
}  // namespace vek
