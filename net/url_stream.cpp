#include "net/url_stream.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <mutex>
#include <string>

#include "net/download_thread.h"
#include "net/playlist_link.h"
#include "net/url_request.h"
#include "net/url_stream_state.h"
#include "platform/desktop_hooks.h"
#include "platform/messages.h"
#include "platform/worker_thread.h"

namespace vek {
namespace {

constexpr int kPipeBytes = 65536;
constexpr size_t kDownloadStackBytes = 16384;
constexpr std::chrono::milliseconds kStopWait{2000};
constexpr char kErrorCaption[] = "VEK Internet Error Message...";

struct ActiveStream {
    std::shared_ptr<UrlStream> record;
    WorkerThread thread;
    int stop_wait_ms = 0;
};

std::atomic<double> g_time_scale{1.0};

std::chrono::milliseconds Scaled(std::chrono::milliseconds limit) {
    return std::chrono::milliseconds(std::llround(static_cast<double>(limit.count()) * g_time_scale.load()));
}

std::mutex g_test_certificates_mutex;
std::string g_test_certificates;  // guarded by g_test_certificates_mutex

std::mutex g_active_mutex;
ActiveStream g_active;  // guarded by g_active_mutex

void ShowInternetError(const std::string& text) {
    ShowMessageBox(MainWindow(), text.c_str(), kErrorCaption, MB_OK);
}

// A write into a pipe whose reader has gone must fail with EPIPE rather than
// kill the process, so that the download thread gets to its next look at its
// queue. A handler someone else installed is left alone.
void IgnoreBrokenPipeSignalOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction current {};
        if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
            struct sigaction ignore {};
            ignore.sa_handler = SIG_IGN;
            sigemptyset(&ignore.sa_mask);
            sigaction(SIGPIPE, &ignore, nullptr);
        }
    });
}

bool CreateDownloadPipe(int fds[2]) {
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    // Sets how far the download may run ahead of playback. Should the system
    // refuse, the default size still works, it only reads ahead less.
    fcntl(fds[1], F_SETPIPE_SZ, kPipeBytes);
    return true;
}

ActiveStream TakeActiveStream() {
    std::lock_guard<std::mutex> lock(g_active_mutex);
    ActiveStream active = std::move(g_active);
    g_active = ActiveStream{};
    return active;
}

// Stops a download thread and lets go of the stream. A thread that misses the
// bound is left to end by itself: it holds its own reference to the record and
// releases the rest when it gets there.
void StopDownload(ActiveStream active) {
    if (!active.record) return;
    PostThreadMessage(active.thread.id, WM_QUIT, 0, 0);
    // The thread may be waiting on a silent server; make it look at its queue.
    active.record->curl->multi_wakeup(active.record->client);
    // What a thread still running writes must not be read.
    if (JoinWorkerThread(&active.thread, active.stop_wait_ms, nullptr) &&
        !active.record->gave_up_text.empty())
        ShowInternetError(active.record->gave_up_text);
}

// The link's body goes to the main window, which puts its entries in the
// link's place.
int HandOverLink(const UrlStream& stream) {
    PlaylistLinkReport report;
    report.url = stream.url;
    report.base = stream.link_base;
    report.kind = stream.link_kind;
    report.over_limit = stream.link_over_limit;
    report.body = stream.link_body;
    PostPlaylistLink(report);
    return kUrlIsPlaylistLink;
}

}  // namespace

int OpenUrlStream(const char* url) {
    // One stream at a time: a caller that forgot to close the last one gets it
    // closed here rather than two threads feeding pipes.
    StopDownload(TakeActiveStream());
    IgnoreBrokenPipeSignalOnce();

    int fds[2];
    if (!CreateDownloadPipe(fds)) {
        ShowInternetError("Cannot Create Download Buffer...");
        return -1;
    }
    auto stream = std::make_shared<UrlStream>();
    stream->url = url ? url : "";
    stream->stall_limit = Scaled(kStallLimit);
    stream->first_fetch_again_delay = Scaled(kFirstFetchAgainDelay);
    {
        std::lock_guard<std::mutex> lock(g_test_certificates_mutex);
        stream->trusted_certificates = g_test_certificates;
    }
    int stop_wait_ms = static_cast<int>(Scaled(kStopWait).count());
    stream->write_fd = fds[1];

    std::string error_text;
    if (!OpenRequest(stream.get(), &error_text)) {
        close(fds[0]);  // the record closes the write end
        ShowInternetError(error_text);
        return -1;
    }

    stream->opener = CurrentThreadId();
    auto* handoff = new std::shared_ptr<UrlStream>(stream);
    WorkerThread thread = StartWorkerThread(DownloadThread, handoff, kDownloadStackBytes, "vek-download");
    if (!thread) {
        delete handoff;
        close(fds[0]);
        stream.reset();  // closes the write end and the internet handles
        ShowInternetError("Cannot Create Download Thread...");
        return -1;
    }

    // The thread answers once the server has: with a response to play, or with
    // why not. libcurl's own time limits bound the wait.
    WaitAnsweringSends(stream->answered, -1);
    if (!stream->answer_ok || stream->link_kind != LinkKind::kNone) {
        close(fds[0]);
        JoinWorkerThread(&thread, stop_wait_ms, nullptr);  // it is ending already
        if (stream->answer_ok) return HandOverLink(*stream);
        std::string text = std::move(stream->failure_text);
        stream.reset();
        ShowInternetError(text);
        return -1;
    }

    std::lock_guard<std::mutex> lock(g_active_mutex);
    g_active.record = std::move(stream);
    g_active.thread = std::move(thread);
    g_active.stop_wait_ms = stop_wait_ms;
    return fds[0];
}

void CloseUrlStream() {
    StopDownload(TakeActiveStream());
}

void NoteUrlStreamBitrate(int kbps) {
    std::lock_guard<std::mutex> lock(g_active_mutex);
    if (g_active.record) g_active.record->bitrate_kbps.store(kbps);
}

void SetUrlStreamTimeScale(double factor) {
    g_time_scale.store(factor > 0.0 ? factor : 1.0);
}

void SetUrlStreamTestCertificates(const std::string& pem_path) {
    std::lock_guard<std::mutex> lock(g_test_certificates_mutex);
    g_test_certificates = pem_path;
}

}  // namespace vek
