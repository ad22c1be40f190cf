#include "tags/tag_reader.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <utility>

#include "platform/worker_thread.h"
#include "tags/cover_cache.h"

namespace vek {
namespace {

constexpr int kStopWaitMs = 2000;
constexpr size_t kStackBytes = 256 * 1024;

struct Read {
    std::string path;
    std::shared_ptr<const TrackTags> tags;
};

// Shared with the thread, which keeps its own reference: a thread given up on
// at the stop still finds it.
struct Reader {
    std::mutex mutex;  // guards the rest
    std::condition_variable wake;
    std::optional<std::string> request;
    std::optional<Read> done;
    bool stop = false;
    void (*ready)() = nullptr;
};

std::shared_ptr<Reader> g_reader;  // main thread only
WorkerThread g_thread;

std::shared_ptr<const TrackTags> ReadWithCover(const std::string& path) {
    auto tags = std::make_shared<TrackTags>();
    TrackCover cover;
    if (!ReadTrackTags(path.c_str(), tags.get(), &cover)) return nullptr;
    tags->cover_path = StoreCover(cover);
    return tags;
}

int ReaderThread(void* arg) {
    auto* handed = static_cast<std::shared_ptr<Reader>*>(arg);
    std::shared_ptr<Reader> r = std::move(*handed);
    delete handed;
    std::unique_lock<std::mutex> lock(r->mutex);
    for (;;) {
        r->wake.wait(lock, [&] { return r->stop || r->request; });
        if (r->stop) return 0;
        std::string path = std::move(*r->request);
        r->request.reset();
        lock.unlock();
        std::shared_ptr<const TrackTags> tags = ReadWithCover(path);
        lock.lock();
        if (r->stop) return 0;
        r->done = Read{std::move(path), std::move(tags)};
        lock.unlock();
        r->ready();
        lock.lock();
    }
}

}  // namespace

bool StartTagReader(void (*ready)()) {
    if (g_reader) return true;
    auto reader = std::make_shared<Reader>();
    reader->ready = ready;
    auto* handed = new std::shared_ptr<Reader>(reader);
    g_thread = StartWorkerThread(ReaderThread, handed, kStackBytes, "vek-tags");
    if (!g_thread) {
        delete handed;
        return false;
    }
    g_reader = std::move(reader);
    return true;
}

void RequestTrackTags(const char* path) {
    if (!g_reader) return;
    {
        std::lock_guard<std::mutex> lock(g_reader->mutex);
        g_reader->request = path;
    }
    g_reader->wake.notify_one();
}

bool TakeTrackTags(std::string* path, std::shared_ptr<const TrackTags>* tags) {
    if (!g_reader) return false;
    std::lock_guard<std::mutex> lock(g_reader->mutex);
    if (!g_reader->done) return false;
    *path = std::move(g_reader->done->path);
    *tags = std::move(g_reader->done->tags);
    g_reader->done.reset();
    return true;
}

void StopTagReader() {
    if (!g_reader) return;
    {
        std::lock_guard<std::mutex> lock(g_reader->mutex);
        g_reader->stop = true;
    }
    g_reader->wake.notify_one();
    JoinWorkerThread(&g_thread, kStopWaitMs, nullptr);
    g_reader.reset();
}

}  // namespace vek
