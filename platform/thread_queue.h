// Per-thread message queues and the window-messaging bridge.
//
// Every thread that takes messages owns one queue. Other threads post to it by
// thread id (thread messages) or through a window that lives on it (window
// messages). A send delivers a message on the window's thread and waits for the
// handler's result; while a thread waits in a send, or in GetMessage, it keeps
// answering sends addressed to itself, so two threads sending to each other
// cannot deadlock.
//
// Items are handled in arrival order: posts keep their order and a send
// queued behind posts runs after them.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

namespace vek {

using ThreadId = uint32_t;  // 0 is never a valid id

struct Window;
using WindowProc = intptr_t (*)(Window* window, uint32_t message, uintptr_t wparam,
                                intptr_t lparam);

// A window lives on the thread that created it; its handler runs only there.
struct Window {
    WindowProc proc = nullptr;
    void* user = nullptr;
    ThreadId thread = 0;
};

struct Message {
    Window* window = nullptr;  // none for a thread message
    uint32_t message = 0;
    uintptr_t wparam = 0;
    intptr_t lparam = 0;
    std::string text;  // a text that travels with the message (PostThreadText, PostWindowText)
    bool text_in_lparam = false;  // dispatched with lparam = text, wparam = its length
};

// The calling thread's id, stable for the thread's life.
ThreadId CurrentThreadId();

// Creates the calling thread's queue if it has none. GetMessage, PeekMessage and
// sends create it on demand too; a worker creates it first thing so that posts
// made right after its start are not lost.
void CreateThreadQueue();

// Removes the calling thread's queue: later posts to it fail, pending posts are
// dropped and pending sends are answered with 0. Runs by itself at thread exit.
void DestroyThreadQueue();

// Queues a thread message. False when the thread has no queue.
bool PostThreadMessage(ThreadId thread, uint32_t message, uintptr_t wparam, intptr_t lparam);

// Queues a thread message that carries its own copy of text, so the sender's
// buffer may change at once and a message dropped unread frees what it holds.
// wparam and lparam are 0. False when the thread has no queue.
bool PostThreadText(ThreadId thread, uint32_t message, const char* text);

// Posts WM_QUIT with the exit code to the calling thread.
void PostQuitMessage(int exit_code);

// Waits for the next posted message, answering sends meanwhile. False when the
// message is WM_QUIT (it is still stored in *out).
bool GetMessage(Message* out);

// GetMessage for a thread that also has something to do at a time of its own:
// waits for the next posted message until the deadline, answering sends
// meanwhile. A message already waiting is taken even when the deadline has
// passed.
enum class WaitResult { Message, Quit, TimedOut };
WaitResult GetMessageUntil(Message* out, std::chrono::steady_clock::time_point deadline);

// Answers the sends queued before the next posted message and takes that
// message; false when nothing is posted.
bool PeekMessage(Message* out);

// True when a thread message of this kind waits in the calling thread's queue;
// nothing is taken from it.
bool IsThreadMessageQueued(uint32_t message);

// Calls the handler of a posted window message; thread messages are ignored.
intptr_t DispatchMessage(const Message& message);

// Makes a window that lives on the calling thread.
void InitWindow(Window* window, WindowProc proc, void* user);

// Before a window goes away: messages still queued for it are dropped and sends
// waiting for it are answered with 0, so nothing reaches a handler that no
// longer exists. Call on the window's thread.
void ForgetWindow(Window* window);

// Delivers on the window's thread and returns the handler's result. On the
// window's own thread the handler is called directly. 0 when the window's thread
// has no queue or ends before answering.
intptr_t SendWindowMessage(Window* window, uint32_t message, uintptr_t wparam, intptr_t lparam);

// Queues a window message for the window's thread. False when it has no queue.
bool PostWindowMessage(Window* window, uint32_t message, uintptr_t wparam, intptr_t lparam);

// Queues a window message that carries its own copy of text. The handler gets
// lparam pointing at the text (NUL-terminated, valid during the call) and
// wparam its length, so the text may hold NULs of its own. False when the
// window's thread has no queue.
bool PostWindowText(Window* window, uint32_t message, std::string text);

// A front-end with its own event loop (Qt) is told here that its thread has new
// items; it then calls PumpMessages on that thread. Set before items arrive.
using QueueWakeFn = void (*)(void* context);
void SetThreadQueueWake(QueueWakeFn wake, void* context);

// Handles every pending item of the calling thread: sends are answered, window
// messages dispatched. Thread messages are returned one by one through *out
// (true) so that the caller sees WM_QUIT; false when nothing is left.
bool PumpMessages(Message* out);

// Waits up to timeout_ms (negative: no limit) for done to become true,
// answering sends to the calling thread meanwhile. Whoever sets done calls
// WakeThread for the waiting thread afterwards. True when done was seen.
bool WaitAnsweringSends(const std::atomic<bool>& done, int timeout_ms);

// Wakes a thread blocked in GetMessage or WaitAnsweringSends so that it looks at
// its conditions again.
void WakeThread(ThreadId thread);

}  // namespace vek
