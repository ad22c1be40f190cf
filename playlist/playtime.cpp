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

// One entry to measure: where it stood in which version of the list, so that
// its length finds it again without a walk while the list has not changed.
struct Job {
    std::string path;
    int position = 0;
    uint64_t version = 0;
    Measurement measured{};
};

// What the main thread and the measuring thread share. The thread keeps its
// own reference, so a thread given up on at the stop finds it still there.
struct Measuring {
    std::mutex mutex;  // guards the rest
    std::condition_variable wake;
    std::deque<Job> jobs;
    std::vector<Job> measured;
    bool stop = false;
    void (*measure)(const char*, Measurement*) = nullptr;
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
        m->wake.wait(lock, [&] { return m->stop || !m->jobs.empty(); });
        if (m->stop) return 0;
        Job job = std::move(m->jobs.front());
        m->jobs.pop_front();
        lock.unlock();
        m->measure(job.path.c_str(), &job.measured);
        if (job.measured.ms < 0) job.measured.ms = kLengthUnknown;
        lock.lock();
        if (m->stop) return 0;
        bool first = m->measured.empty();
        m->measured.push_back(std::move(job));
        // One call per batch waiting: the main thread takes them all at once.
        if (first) {
            lock.unlock();
            m->ready();
            lock.lock();
        }
    }
}

// Tags read earlier stay: those read for the playing track carry its cover.
void TakeMeasurement(PlaylistEntry* entry, const Measurement& measured) {
    entry->length_ms = measured.ms;
    if (!entry->tags) entry->tags = measured.tags;
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

bool StartMeasuringLengths(void (*measure)(const char* path, Measurement* out), void (*ready)()) {
    if (g_measuring) return true;
    auto measuring = std::make_shared<Measuring>();
    measuring->measure = measure;
    measuring->ready = ready;
    auto* handed = new std::shared_ptr<Measuring>(measuring);
    g_thread = StartWorkerThread(MeasuringThread, handed, kStackBytes, "vek-lengths");
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
    std::vector<Job> measured;
    {
        std::lock_guard<std::mutex> lock(g_measuring->mutex);
        measured.swap(g_measuring->measured);
    }
    g_handed -= static_cast<int>(measured.size());
    bool changed = false;
    // A length goes straight to its place while the list is as it was; after
    // an edit the rest are matched by path in one walk (a path listed twice
    // then gets its length in both places).
    std::unordered_map<std::string_view, const Measurement*> moved;
    for (const Job& job : measured) {
        PlaylistEntry* entry = EntryAt(job.position);
        if (job.version == PlaylistVersion() && entry && job.path == entry->path) {
            TakeMeasurement(entry, job.measured);
            changed = true;
        } else {
            moved.emplace(job.path, &job.measured);
        }
    }
    for (PlaylistEntry* entry = moved.empty() ? nullptr : gPlaylist.first; entry;
         entry = entry->next) {
        if (entry->length_ms >= kLengthUnknown) continue;
        auto found = moved.find(entry->path);
        if (found == moved.end()) continue;
        TakeMeasurement(entry, *found->second);
        changed = true;
    }

    if (rescan) g_cursor = 0;
    std::vector<Job> jobs;
    for (; g_handed + static_cast<int>(jobs.size()) < g_batch && g_cursor < PlaylistCount();
         ++g_cursor) {
        PlaylistEntry* entry = EntryAt(g_cursor);
        if (entry->length_ms != kLengthUnmeasured) continue;
        entry->length_ms = kLengthMeasuring;
        jobs.push_back(Job{entry->path, g_cursor, PlaylistVersion()});
    }
    if (!jobs.empty()) {
        g_handed += static_cast<int>(jobs.size());
        {
            std::lock_guard<std::mutex> lock(g_measuring->mutex);
            for (Job& job : jobs) g_measuring->jobs.push_back(std::move(job));
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
