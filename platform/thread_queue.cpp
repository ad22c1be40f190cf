#include "platform/thread_queue.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/messages.h"

namespace vek {
namespace {

struct Queue;

// A send in flight. It lives on the sender's stack until done is set under the
// sender's queue lock; the answering thread never touches it afterwards.
struct SentCall {
    Window* window;
    uint32_t message;
    uintptr_t wparam;
    intptr_t lparam;
    intptr_t result = 0;
    bool done = false;
    std::shared_ptr<Queue> reply_to;
};

struct Item {
    Message posted;
    SentCall* sent = nullptr;  // set for a send, posted is unused then
};

struct Queue {
    ThreadId owner = 0;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Item> items;  // guarded by mutex
    bool closed = false;     // guarded by mutex
    QueueWakeFn wake = nullptr;
    void* wake_context = nullptr;
};

// Never destroyed: a worker given up at its stop bound may still end, and
// remove its queue, while the process runs its exit handlers.
struct Registry {
    std::mutex mutex;
    std::unordered_map<ThreadId, std::shared_ptr<Queue>> queues;  // guarded by mutex
};
Registry& TheRegistry() {
    static Registry* registry = new Registry;
    return *registry;
}
std::atomic<ThreadId> g_next_id{1};

thread_local ThreadId t_id = 0;
thread_local std::shared_ptr<Queue> t_queue;

// Removes the queue when the thread ends, so that posts to a finished thread fail.
struct QueueOwner {
    ~QueueOwner() { DestroyThreadQueue(); }
};
thread_local QueueOwner t_queue_owner;

std::shared_ptr<Queue> FindQueue(ThreadId thread) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    auto it = registry.queues.find(thread);
    return it == registry.queues.end() ? nullptr : it->second;
}

Queue& OwnQueue() {
    CreateThreadQueue();
    return *t_queue;
}

void Finish(SentCall* call, intptr_t result) {
    std::shared_ptr<Queue> reply = call->reply_to;
    {
        std::lock_guard<std::mutex> lock(reply->mutex);
        call->result = result;
        call->done = true;
    }
    reply->changed.notify_all();
}

void Answer(SentCall* call) {
    intptr_t result = call->window->proc(call->window, call->message, call->wparam, call->lparam);
    Finish(call, result);
}

// Takes the first send out of the queue, leaving posts where they are.
SentCall* TakeSend(Queue& queue) {
    for (auto it = queue.items.begin(); it != queue.items.end(); ++it) {
        if (it->sent) {
            SentCall* call = it->sent;
            queue.items.erase(it);
            return call;
        }
    }
    return nullptr;
}

// The waiting thread is woken once the lock is free, so that it does not wake
// only to sleep again on the lock. The caller's reference keeps the queue alive.
bool Push(const std::shared_ptr<Queue>& queue, Item item) {
    QueueWakeFn wake;
    void* context;
    {
        std::lock_guard<std::mutex> lock(queue->mutex);
        if (queue->closed) return false;
        queue->items.push_back(std::move(item));
        wake = queue->wake;
        context = queue->wake_context;
    }
    queue->changed.notify_all();
    if (wake) wake(context);
    return true;
}

// Queues a posted message for the thread. False when it has no queue.
bool Post(ThreadId thread, Message message) {
    std::shared_ptr<Queue> queue = FindQueue(thread);
    if (!queue) return false;
    Item item;
    item.posted = std::move(message);
    return Push(queue, std::move(item));
}

}  // namespace

ThreadId CurrentThreadId() {
    if (t_id == 0) t_id = g_next_id.fetch_add(1, std::memory_order_relaxed);
    return t_id;
}

void CreateThreadQueue() {
    if (t_queue) return;
    (void)&t_queue_owner;  // make sure the owner's destructor is registered
    auto queue = std::make_shared<Queue>();
    queue->owner = CurrentThreadId();
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.queues[queue->owner] = queue;
    t_queue = queue;
}

void DestroyThreadQueue() {
    if (!t_queue) return;
    std::shared_ptr<Queue> queue = t_queue;
    {
        Registry& registry = TheRegistry();
        std::lock_guard<std::mutex> lock(registry.mutex);
        registry.queues.erase(queue->owner);
    }
    std::deque<Item> left;
    {
        std::lock_guard<std::mutex> lock(queue->mutex);
        queue->closed = true;
        left.swap(queue->items);
    }
    for (const Item& item : left) {
        if (item.sent) Finish(item.sent, 0);
    }
    t_queue.reset();
}

bool PostThreadMessage(ThreadId thread, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    return Post(thread, Message{nullptr, message, wparam, lparam, std::string()});
}

bool PostThreadText(ThreadId thread, uint32_t message, const char* text) {
    return Post(thread, Message{nullptr, message, 0, 0, text ? text : ""});
}

void PostQuitMessage(int exit_code) {
    CreateThreadQueue();  // a thread may quit before it ever looked at its queue
    PostThreadMessage(CurrentThreadId(), WM_QUIT, static_cast<uintptr_t>(exit_code), 0);
}

namespace {

// The next posted message, answering sends meanwhile; with a deadline, gives
// up once it has passed and nothing is queued.
WaitResult TakeNext(Message* out, const std::chrono::steady_clock::time_point* deadline) {
    Queue& queue = OwnQueue();
    std::unique_lock<std::mutex> lock(queue.mutex);
    for (;;) {
        if (queue.items.empty()) {
            if (!deadline) {
                queue.changed.wait(lock);
            } else if (queue.changed.wait_until(lock, *deadline) == std::cv_status::timeout &&
                       queue.items.empty()) {
                return WaitResult::TimedOut;
            }
            continue;
        }
        Item item = std::move(queue.items.front());
        queue.items.pop_front();
        if (item.sent) {
            lock.unlock();
            Answer(item.sent);
            lock.lock();
            continue;
        }
        *out = std::move(item.posted);
        return out->window == nullptr && out->message == WM_QUIT ? WaitResult::Quit
                                                                 : WaitResult::Message;
    }
}

}  // namespace

bool GetMessage(Message* out) {
    return TakeNext(out, nullptr) != WaitResult::Quit;
}

WaitResult GetMessageUntil(Message* out, std::chrono::steady_clock::time_point deadline) {
    return TakeNext(out, &deadline);
}

bool PeekMessage(Message* out) {
    Queue& queue = OwnQueue();
    std::unique_lock<std::mutex> lock(queue.mutex);
    while (!queue.items.empty()) {
        Item item = std::move(queue.items.front());
        queue.items.pop_front();
        if (!item.sent) {
            *out = std::move(item.posted);
            return true;
        }
        lock.unlock();
        Answer(item.sent);
        lock.lock();
    }
    return false;
}

bool IsThreadMessageQueued(uint32_t message) {
    Queue& queue = OwnQueue();
    std::lock_guard<std::mutex> lock(queue.mutex);
    for (const Item& item : queue.items)
        if (!item.sent && !item.posted.window && item.posted.message == message) return true;
    return false;
}

intptr_t DispatchMessage(const Message& message) {
    if (!message.window || !message.window->proc) return 0;
    if (message.text_in_lparam) {
        return message.window->proc(message.window, message.message, message.text.size(),
                                    reinterpret_cast<intptr_t>(message.text.c_str()));
    }
    return message.window->proc(message.window, message.message, message.wparam, message.lparam);
}

void InitWindow(Window* window, WindowProc proc, void* user) {
    CreateThreadQueue();
    window->proc = proc;
    window->user = user;
    window->thread = CurrentThreadId();
}

void ForgetWindow(Window* window) {
    std::shared_ptr<Queue> queue = FindQueue(window->thread);
    if (!queue) return;
    std::vector<SentCall*> unanswered;
    {
        std::lock_guard<std::mutex> lock(queue->mutex);
        auto& items = queue->items;
        for (auto it = items.begin(); it != items.end();) {
            Window* target = it->sent ? it->sent->window : it->posted.window;
            if (target != window) {
                ++it;
                continue;
            }
            if (it->sent) unanswered.push_back(it->sent);
            it = items.erase(it);
        }
    }
    for (SentCall* call : unanswered) Finish(call, 0);
}

intptr_t SendWindowMessage(Window* window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    if (!window || !window->proc) return 0;
    if (window->thread == CurrentThreadId()) return window->proc(window, message, wparam, lparam);
    std::shared_ptr<Queue> target = FindQueue(window->thread);
    if (!target) return 0;

    Queue& own = OwnQueue();
    SentCall call{window, message, wparam, lparam, 0, false, t_queue};
    Item item;
    item.sent = &call;
    if (!Push(target, item)) return 0;

    std::unique_lock<std::mutex> lock(own.mutex);
    while (!call.done) {
        if (SentCall* incoming = TakeSend(own)) {
            lock.unlock();
            Answer(incoming);
            lock.lock();
            continue;
        }
        own.changed.wait(lock);
    }
    return call.result;
}

bool PostWindowMessage(Window* window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    return window && Post(window->thread, Message{window, message, wparam, lparam, std::string()});
}

bool PostWindowText(Window* window, uint32_t message, std::string text) {
    return window && Post(window->thread, Message{window, message, 0, 0, std::move(text), true});
}

void SetThreadQueueWake(QueueWakeFn wake, void* context) {
    Queue& queue = OwnQueue();
    std::lock_guard<std::mutex> lock(queue.mutex);
    queue.wake = wake;
    queue.wake_context = context;
}

bool PumpMessages(Message* out) {
    Queue& queue = OwnQueue();
    std::unique_lock<std::mutex> lock(queue.mutex);
    while (!queue.items.empty()) {
        Item item = std::move(queue.items.front());
        queue.items.pop_front();
        lock.unlock();
        if (item.sent) {
            Answer(item.sent);
        } else if (item.posted.window) {
            DispatchMessage(item.posted);
        } else {
            *out = std::move(item.posted);
            return true;
        }
        lock.lock();
    }
    return false;
}

bool WaitAnsweringSends(const std::atomic<bool>& done, int timeout_ms) {
    Queue& queue = OwnQueue();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    std::unique_lock<std::mutex> lock(queue.mutex);
    for (;;) {
        if (done.load()) return true;
        if (SentCall* call = TakeSend(queue)) {
            lock.unlock();
            Answer(call);
            lock.lock();
            continue;
        }
        if (timeout_ms < 0) {
            queue.changed.wait(lock);
        } else if (queue.changed.wait_until(lock, deadline) == std::cv_status::timeout) {
            return done.load();
        }
    }
}

void WakeThread(ThreadId thread) {
    std::shared_ptr<Queue> queue = FindQueue(thread);
    if (!queue) return;
    // Taking the lock once orders the wake after the waker's change of state:
    // a thread between its look and its wait cannot miss it.
    { std::lock_guard<std::mutex> lock(queue->mutex); }
    queue->changed.notify_all();
}

}  // namespace vek
