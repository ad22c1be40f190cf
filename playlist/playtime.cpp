#include "playlist/playtime.h"

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/worker_thread.h"
#include "playlist/playlist.h"

namespace vek {
namespace {

constexpr int kDefaultBatch = 4096;
constexpr int kStopWaitMs = 2000;
constexpr size_t kStackBytes = 256 * 1024;

// What the main thread and the measuring thread share. The thread keeps its
// own reference, so a thread given up on at the stop finds it still there.
struct Measuring {
    std::mutex mutex;  // guards the rest
    std::condition_variable wake;
    std::deque<std::string> paths;
    std::vector<std::pair<std::string, int32_t>> measured;
    bool stop = false;
    int32_t (*measure)(const char*) = nullptr;
    void (*ready)() = nullptr;
};

// Main thread only.
std::shared_ptr<Measuring> g_measuring;
WorkerThread g_thread;
int g_handed = 0;  // paths handed to the thread and not yet taken back
int g_cursor = 0;  // where the next look for unmeasured entries begins
int g_batch = kDefaultBatch;

int MeasuringThread(void* arg) {
    auto* handed = static_cast<std::shared_ptr<Measuring>*>(arg);
    std::shared_ptr<Measuring> m = std::move(*handed);
    delete handed;
    std::unique_lock<std::mutex> lock(m->mutex);
    for (;;) {
        m->wake.wait(lock, [&] { return m->stop || !m->paths.empty(); });
        if (m->stop) return 0;
        std::string path = std::move(m->paths.front());
        m->paths.pop_front();
        lock.unlock();
        int32_t ms = m->measure(path.c_str());
        lock.lock();
        if (m->stop) return 0;
        bool first = m->measured.empty();
        m->measured.emplace_back(std::move(path), ms < 0 ? kLengthUnknown : ms);
        // One call per batch waiting: the main thread takes them all at once.
        if (first) {
            lock.unlock();
            m->ready();
            lock.lock();
        }
    }
}

}  // namespace

Playtime SumPlaytime() {
    Playtime sum;
    for (const PlaylistEntry* entry = gPlaylist.first; entry; entry = entry->next) {
        ++sum.entries;
        if (entry->length_ms >= 0)
            sum.known_ms += entry->length_ms;
        else
            sum.complete = false;
    }
    return sum;
}

std::string PlaytimeText(const Playtime& playtime) {
    if (playtime.entries == 0) return "Playtime: Unknown";
    int64_t seconds = playtime.known_ms / 1000;
    char text[64];
    std::snprintf(text, sizeof text, "Playtime: %lld:%02d:%02d%s",
                  static_cast<long long>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                  static_cast<int>(seconds % 60), playtime.complete ? "" : "+");
    return text;
}

bool StartMeasuringLengths(int32_t (*measure)(const char* path), void (*ready)()) {
    if (g_measuring) return true;
    auto measuring = std::make_shared<Measuring>();
    measuring->measure = measure;
    measuring->ready = ready;
    auto* handed = new std::shared_ptr<Measuring>(measuring);
    g_thread = StartWorkerThread(MeasuringThread, handed, kStackBytes);
    if (!g_thread) {
        delete handed;
        return false;
    }
    g_measuring = std::move(measuring);
    g_handed = 0;
    g_cursor = 0;
    return true;
}

bool UpdateMeasuredLengths(bool rescan) {
    if (!g_measuring) return false;
    std::vector<std::pair<std::string, int32_t>> measured;
    {
        std::lock_guard<std::mutex> lock(g_measuring->mutex);
        measured.swap(g_measuring->measured);
    }
    bool changed = false;
    if (!measured.empty()) {
        g_handed -= static_cast<int>(measured.size());
        // One walk for the whole batch; a path listed twice gets its length
        // in both places.
        std::unordered_map<std::string_view, int32_t> lengths;
        for (const auto& [path, ms] : measured) lengths.emplace(path, ms);
        for (PlaylistEntry* entry = gPlaylist.first; entry; entry = entry->next) {
            if (entry->length_ms >= kLengthUnknown) continue;
            auto found = lengths.find(entry->path);
            if (found == lengths.end()) continue;
            entry->length_ms = found->second;
            changed = true;
        }
    }

    if (rescan) g_cursor = 0;
    std::vector<std::string> paths;
    for (; g_handed + static_cast<int>(paths.size()) < g_batch && g_cursor < PlaylistCount();
         ++g_cursor) {
        PlaylistEntry* entry = EntryAt(g_cursor);
        if (entry->length_ms != kLengthUnmeasured) continue;
        entry->length_ms = kLengthMeasuring;
        paths.emplace_back(entry->path);
    }
    if (!paths.empty()) {
        g_handed += static_cast<int>(paths.size());
        {
            std::lock_guard<std::mutex> lock(g_measuring->mutex);
            for (std::string& path : paths) g_measuring->paths.push_back(std::move(path));
        }
        g_measuring->wake.notify_one();
    }
    return changed;
}

void StopMeasuringLengths() {
    if (!g_measuring) return;
    {
        std::lock_guard<std::mutex> lock(g_measuring->mutex);
        g_measuring->stop = true;
    }
    g_measuring->wake.notify_one();
    JoinWorkerThread(&g_thread, kStopWaitMs, nullptr);
    g_measuring.reset();
    g_handed = 0;
    for (PlaylistEntry* entry = gPlaylist.first; entry; entry = entry->next)
        if (entry->length_ms == kLengthMeasuring) entry->length_ms = kLengthUnmeasured;
}

void SetMeasuringBatch(int entries) {
    g_batch = entries > 0 ? entries : kDefaultBatch;
}

}  // namespace vek
