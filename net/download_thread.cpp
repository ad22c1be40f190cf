#include "net/download_thread.h"

#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string_view>

#include "net/save_file.h"
#include "net/url_request.h"
#include "net/url_stream_state.h"
#include "platform/desktop_hooks.h"
#include "platform/messages.h"
#include "settings/settings.h"

namespace vek {
namespace {

using Clock = std::chrono::steady_clock;

// How long the thread sleeps in the network wait when nothing happens. WM_QUIT
// comes with a wake-up, so this only bounds a wait nobody interrupts.
constexpr int kNetworkWaitMs = 1000;

constexpr char kSaveFailedText[] = "URL Save file could NOT be created,\nData will NOT be saved...";
constexpr char kSaveFailedCaption[] = "ERROR!";

// Takes every pending message off this thread's queue; true when WM_QUIT was
// among them. Other messages mean nothing here and are dropped.
bool QuitPosted() {
    Message message;
    while (PeekMessage(&message)) {
        if (message.message == WM_QUIT) return true;
    }
    return false;
}

// Writes all of data unless the file fails. The outcome is not reported: a
// reader that has gone away must not stop the save file, and a full disk must
// not stop playback.
void WriteFully(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
}

void CloseFd(int* fd) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
}

void Answer(UrlStream* stream, bool ok, std::string failure_text) {
    stream->answer_ok = ok;
    stream->failure_text = std::move(failure_text);
    stream->answered.store(true);
    WakeThread(stream->opener);
}

void OpenSaveFile(UrlStream* stream) {
    std::string path;
    if (BuildSavePath(stream->url, stream->download_dir, &path)) {
        stream->save_fd = CreateSaveFile(path);
    }
    if (stream->save_fd < 0) {
        // Shown here, so the download waits until the user has read it.
        ShowMessageBox(MainWindow(), kSaveFailedText, kSaveFailedCaption, MB_OK | MB_ICONWARNING);
    }
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           strncasecmp(text.data(), prefix.data(), prefix.size()) == 0;
}

// libcurl hands over every header line of every response, redirects and
// interim responses included. The open is answered at the end of the headers of
// the response that will be played: a success, or an error status.
size_t OnHeaderLine(char* data, size_t size, size_t count, void* user) {
    auto* stream = static_cast<UrlStream*>(user);
    size_t length = size * count;
    stream->last_heard = Clock::now();
    if (stream->body_wanted) return length;  // trailers behind the body

    std::string_view line(data, length);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (StartsWithNoCase(line, "HTTP/")) {
        stream->status_line.assign(line);
        stream->has_location = false;
        return length;
    }
    if (!line.empty()) {
        if (StartsWithNoCase(line, "Location:")) stream->has_location = true;
        return length;
    }

    long status = 0;
    curl_easy_getinfo(stream->request, CURLINFO_RESPONSE_CODE, &status);
    bool interim = status < 200;
    bool followed = status >= 300 && status < 400 && stream->has_location;
    if (interim || followed) return length;  // libcurl goes on to the next response
    if (status >= 300) {
        // Not something to play; the open fails with the server's status line.
        stream->http_error = true;
        return 0;
    }
    stream->body_wanted = true;
    Answer(stream, true, std::string());
    if (stream->download_option == 1) OpenSaveFile(stream);
    return length;
}

size_t OnBodyBytes(char* data, size_t size, size_t count, void* user) {
    auto* stream = static_cast<UrlStream*>(user);
    size_t length = size * count;
    if (!stream->body_wanted) return length;
    for (size_t done = 0; done < length;) {
        if (QuitPosted()) {
            stream->stop = true;
            return 0;  // makes libcurl abandon the transfer
        }
        size_t piece = std::min(kPieceBytes, length - done);
        // Blocks while the pipe is full: this paces the download to playback.
        WriteFully(stream->write_fd, data + done, piece);
        if (stream->save_fd >= 0) WriteFully(stream->save_fd, data + done, piece);
        done += piece;
    }
    stream->last_heard = Clock::now();
    return length;
}

// Runs the request to its end: the body is complete, the network failed or
// stalled, or WM_QUIT arrived. Returns libcurl's result for it.
CURLcode Transfer(UrlStream* stream) {
    CURLMcode multi_rc = curl_multi_add_handle(stream->client, stream->request);
    stream->last_heard = Clock::now();
    // Header lines trickling in keep a request alive but never answer it; the
    // answer has the same limit, counted from the request.
    const auto answer_due = stream->last_heard + stream->stall_limit;
    int running = 1;
    while (multi_rc == CURLM_OK && running && !stream->stop) {
        multi_rc = curl_multi_perform(stream->client, &running);
        if (multi_rc != CURLM_OK || !running || stream->stop) break;
        if (QuitPosted()) {
            stream->stop = true;
            break;
        }
        auto now = Clock::now();
        auto silent = now - stream->last_heard;
        if (silent >= stream->stall_limit) {
            std::snprintf(stream->error_text, sizeof stream->error_text,
                          "%s: nothing received for %lld seconds",
                          curl_easy_strerror(CURLE_OPERATION_TIMEDOUT),
                          static_cast<long long>(kStallLimit.count()));
            return CURLE_OPERATION_TIMEDOUT;
        }
        if (!stream->body_wanted && now >= answer_due) {
            std::snprintf(stream->error_text, sizeof stream->error_text,
                          "%s: no answer within %lld seconds",
                          curl_easy_strerror(CURLE_OPERATION_TIMEDOUT),
                          static_cast<long long>(kStallLimit.count()));
            return CURLE_OPERATION_TIMEDOUT;
        }
        auto next_limit = stream->stall_limit - silent;
        if (!stream->body_wanted && answer_due - now < next_limit) next_limit = answer_due - now;
        auto until_stall = std::chrono::ceil<std::chrono::milliseconds>(next_limit);
        int wait_ms = static_cast<int>(std::min<long long>(kNetworkWaitMs, until_stall.count()));
        multi_rc = curl_multi_poll(stream->client, nullptr, 0, wait_ms, nullptr);
    }
    if (multi_rc != CURLM_OK) {
        if (!stream->error_text[0]) {
            std::snprintf(stream->error_text, sizeof stream->error_text, "%s",
                          curl_multi_strerror(multi_rc));
        }
        return CURLE_FAILED_INIT;
    }
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(stream->client, &left)) {
        if (message->msg == CURLMSG_DONE) result = message->data.result;
    }
    return result;
}

std::string FailureText(const UrlStream& stream, CURLcode result) {
    // The server answered, but not with something to play: its status says why.
    bool answered_otherwise = result == CURLE_OK && !stream.status_line.empty();
    if (stream.http_error || answered_otherwise) return stream.status_line;
    if (stream.error_text[0]) return stream.error_text;
    return curl_easy_strerror(result);
}

}  // namespace

int DownloadThread(void* arg) {
    auto* handoff = static_cast<std::shared_ptr<UrlStream>*>(arg);
    std::shared_ptr<UrlStream> stream = std::move(*handoff);
    delete handoff;

    // Read once; a hand-edited 2 behaves like 0: only 1 saves.
    stream->download_option = gSettings.DownloadOption;
    stream->download_dir = gSettings.InternetDLDir.Get();
    stream->stop = false;

    curl_easy_setopt(stream->request, CURLOPT_HEADERFUNCTION, OnHeaderLine);
    curl_easy_setopt(stream->request, CURLOPT_HEADERDATA, stream.get());
    curl_easy_setopt(stream->request, CURLOPT_WRITEFUNCTION, OnBodyBytes);
    curl_easy_setopt(stream->request, CURLOPT_WRITEDATA, stream.get());

    // A failed or stalled network read after the answer is simply the end of
    // the stream, like the body's natural end.
    CURLcode result = Transfer(stream.get());
    if (!stream->answered.load()) Answer(stream.get(), false, FailureText(*stream, result));

    CloseFd(&stream->write_fd);  // the reader now sees the end of the data
    CloseFd(&stream->save_fd);
    // The internet handles go with the record, once the closer has let go too.
    return 1;
}

}  // namespace vek
