#include "platform/worker_thread.h"

#include <pthread.h>
#include <sys/prctl.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>

namespace vek {

struct WorkerState {
    WorkerFn fn = nullptr;
    void* arg = nullptr;
    const char* name = nullptr;
    pthread_t handle{};
    std::atomic<bool> finished{false};
    std::atomic<int> exit_code{0};
    std::atomic<ThreadId> waiter{0};  // thread blocked in JoinWorkerThread, if any
    // Start handshake: the creator waits until the worker owns its queue.
    std::mutex start_mutex;
    std::condition_variable started_cv;
    bool started = false;
    ThreadId id = 0;
};

namespace {

void* WorkerMain(void* raw) {
    // The thread keeps its own reference, so a detached worker can outlive its
    // handle safely.
    std::shared_ptr<WorkerState> state =
        std::move(*static_cast<std::shared_ptr<WorkerState>*>(raw));
    delete static_cast<std::shared_ptr<WorkerState>*>(raw);

    // The default 50 us of timer slack makes each 1 ms pacing sleep of the
    // decoder thread last ~1.1 ms, which adds up over a file.
    prctl(PR_SET_TIMERSLACK, 1UL);
    if (state->name) pthread_setname_np(pthread_self(), state->name);
    CreateThreadQueue();
    {
        std::lock_guard<std::mutex> lock(state->start_mutex);
        state->id = CurrentThreadId();
        state->started = true;
    }
    state->started_cv.notify_all();

    int code = state->fn(state->arg);
    DestroyThreadQueue();
    state->exit_code.store(code);
    state->finished.store(true);
    if (ThreadId waiter = state->waiter.load()) WakeThread(waiter);
    return nullptr;
}

}  // namespace

WorkerThread StartWorkerThread(WorkerFn fn, void* arg, size_t stack_bytes, const char* name) {
    auto state = std::make_shared<WorkerState>();
    state->fn = fn;
    state->arg = arg;
    state->name = name;

    pthread_attr_t attr;
    pthread_attr_init(&attr);
    // Sanitizers and the libraries we call need far more than a Windows-sized stack.
    pthread_attr_setstacksize(&attr, std::max<size_t>(stack_bytes, 1 << 20));
    auto* handoff = new std::shared_ptr<WorkerState>(state);
    int rc = pthread_create(&state->handle, &attr, WorkerMain, handoff);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        delete handoff;
        return {};
    }
    std::unique_lock<std::mutex> lock(state->start_mutex);
    state->started_cv.wait(lock, [&] { return state->started; });
    WorkerThread thread;
    thread.id = state->id;
    thread.state = std::move(state);
    return thread;
}

bool JoinWorkerThread(WorkerThread* thread, int timeout_ms, int* exit_code) {
    if (!thread || !thread->state) return false;
    std::shared_ptr<WorkerState> state = std::move(thread->state);
    thread->id = 0;
    state->waiter.store(CurrentThreadId());
    bool ended = WaitAnsweringSends(state->finished, timeout_ms);
    if (ended) {
        pthread_join(state->handle, nullptr);
        if (exit_code) *exit_code = state->exit_code.load();
    } else {
        pthread_detach(state->handle);
        if (exit_code) *exit_code = -1;
    }
    return ended;
}

bool WorkerFinished(const WorkerThread& thread) {
    return thread.state && thread.state->finished.load();
}

void SleepMs(int ms) {
    if (ms <= 0) return;
    struct timespec left {
        ms / 1000, (ms % 1000) * 1000000L
    };
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

}  // namespace vek
