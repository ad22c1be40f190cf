// Worker threads that can be waited for with a bound, as the player's threads
// are stopped: quit message, bounded wait, and on time-out the thread is given
// up. Linux has no safe way to kill a thread, so a thread that misses its bound
// is detached and ends with the process.
#pragma once

#include <cstddef>
#include <memory>

#include "platform/thread_queue.h"

namespace vek {

struct WorkerState;

struct WorkerThread {
    std::shared_ptr<WorkerState> state;
    ThreadId id = 0;
    explicit operator bool() const { return state != nullptr; }
};

using WorkerFn = int (*)(void* arg);

// Starts fn(arg) on a new thread that owns a message queue from its first
// instruction, so posts made right after the start are kept. The stack size is a
// lower bound. The name (at most 15 characters, "vek-decoder") is what ps, top
// and the debugger show for the thread. An empty result when the thread cannot
// be created.
WorkerThread StartWorkerThread(WorkerFn fn, void* arg, size_t stack_bytes,
                               const char* name = nullptr);

// Waits up to timeout_ms for the thread to end. While waiting the calling thread
// answers sends addressed to it, so a worker blocked in a send to the waiter can
// still finish. True when the thread ended (its exit code in *exit_code); false
// when it missed the bound, after which it is detached. The handle is released
// either way.
bool JoinWorkerThread(WorkerThread* thread, int timeout_ms, int* exit_code);

// True once the thread's function has returned.
bool WorkerFinished(const WorkerThread& thread);

// Sleeps the calling thread for ms milliseconds; a signal does not cut it short.
void SleepMs(int ms);

}  // namespace vek
