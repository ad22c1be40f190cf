#include "net/download_thread.h"

#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string_view>

#include "net/icy_metadata.h"
#include "net/playlist_link.h"
#include "net/save_file.h"
#include "net/stream_title.h"
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

uint64_t SaturatingAdd(uint64_t a, uint64_t b) {
    return b > UINT64_MAX - a ? UINT64_MAX : a + b;
}

// A station could put a new title behind every few bytes of audio; reported
// at that rate, titles would keep the main window busy. Real stations send
// their blocks thousands of bytes apart, so this spacing never holds one back.
constexpr uint64_t kAudioBytesPerTitle = 2048;

void PostTitleWhenDue(UrlStream* stream) {
    if (!stream->title_pending || stream->audio_since_title < kAudioBytesPerTitle) return;
    stream->title_pending = false;
    if (stream->pending_title == stream->title) return;
    stream->title = stream->pending_title;
    stream->audio_since_title = 0;
    PostStreamTitle(stream->url, stream->title);
}

void ReportTitle(UrlStream* stream, const std::string& title) {
    stream->pending_title = title;
    stream->title_pending = true;
    PostTitleWhenDue(stream);
}

// A new response begins with its status line (after a redirect or an interim
// response, or on a fetch again): what was learnt of the last one goes.
void StartResponse(UrlStream* stream, std::string_view status_line) {
    stream->status_line.assign(status_line);
    stream->has_location = false;
    stream->station = StartsWithNoCase(status_line, "ICY ");
    stream->icy_interval = 0;
    stream->station_name.clear();
    stream->content_type.clear();
    stream->chunked = false;
}

std::string_view HeaderValue(std::string_view line) {
    size_t colon = line.find(':');
    std::string_view value = colon == std::string_view::npos ? "" : line.substr(colon + 1);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
        value.remove_prefix(1);
    return value;
}

void NoteHeader(UrlStream* stream, std::string_view line) {
    if (StartsWithNoCase(line, "Location:")) stream->has_location = true;
    if (StartsWithNoCase(line, "Content-Type:")) stream->content_type = HeaderValue(line);
    if (StartsWithNoCase(line, "Transfer-Encoding:"))
        stream->chunked = HeaderValue(line).find("chunked") != std::string_view::npos;
    if (!StartsWithNoCase(line, "icy-")) return;
    stream->station = true;
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) return;
    std::string_view name = line.substr(0, colon);
    std::string_view value = line.substr(colon + 1);
    if (name.size() == 11 && StartsWithNoCase(name, "icy-metaint")) {
        stream->icy_interval = ParseIcyInterval(value);
    } else if (name.size() == 8 && StartsWithNoCase(name, "icy-name")) {
        stream->station_name = CleanTitle(value);
    }
}

// The first answer names a playlist rather than audio: its body is read whole
// for the opener. False when its length is known to be over the limit.
bool IsPlaylistLink(UrlStream* stream, curl_off_t length) {
    char* where = nullptr;
    stream->curl->easy_getinfo(stream->request, CURLINFO_EFFECTIVE_URL, &where);
    stream->link_base = where ? where : stream->url;
    stream->link_kind = PlaylistLinkKind(stream->content_type, stream->link_base);
    if (stream->link_kind == LinkKind::kNone) return false;
    stream->link_over_limit = length > static_cast<curl_off_t>(kMaxLinkBytes);
    return true;
}

// The response will be played: its body begins. False when it is a link too
// large to read.
bool StartBody(UrlStream* stream) {
    curl_off_t length = -1;
    stream->curl->easy_getinfo(stream->request, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    stream->length_known = length >= 0;
    if (!stream->answered.load() && IsPlaylistLink(stream, length)) {
        stream->body_wanted = true;
        return !stream->link_over_limit;
    }
    StartIcyBody(&stream->icy, stream->icy_interval);
    stream->body_wanted = true;
    if (!stream->answered.load()) {
        Answer(stream, true, std::string());
        if (stream->download_option == 1) OpenSaveFile(stream);
    }
    // The station's name stands for the title until the station sends one.
    if (!stream->title_from_stream && !stream->station_name.empty()) {
        ReportTitle(stream, stream->station_name);
    }
    return true;
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
    if (StartsWithNoCase(line, "HTTP/") || StartsWithNoCase(line, "ICY ")) {
        StartResponse(stream, line);
        return length;
    }
    if (!line.empty()) {
        NoteHeader(stream, line);
        return length;
    }

    long status = 0;
    stream->curl->easy_getinfo(stream->request, CURLINFO_RESPONSE_CODE, &status);
    bool interim = status < 200;
    bool followed = status >= 300 && status < 400 && stream->has_location;
    if (interim || followed) return length;  // libcurl goes on to the next response
    if (status >= 300) {
        // Not something to play: the open fails with the server's status line,
        // and a stream fetched again ends.
        stream->http_error = true;
        return 0;
    }
    return StartBody(stream) ? length : 0;
}

void NoteConnectionAudio(ConnectionAudio* audio, size_t bytes, Clock::time_point now) {
    if (audio->bytes == 0) audio->first = now;
    audio->last = now;
    audio->bytes = SaturatingAdd(audio->bytes, bytes);
}

// Audio goes into the pipe, and into the save file when there is one.
void DeliverAudio(void* context, const char* data, size_t size) {
    auto* stream = static_cast<UrlStream*>(context);
    for (size_t done = 0; done < size;) {
        if (stream->stop) return;
        if (QuitPosted()) {
            stream->stop = true;
            return;
        }
        size_t piece = std::min(kPieceBytes, size - done);
        // Blocks while the pipe is full: this paces the download to playback.
        WriteFully(stream->write_fd, data + done, piece);
        if (stream->save_fd >= 0) WriteFully(stream->save_fd, data + done, piece);
        done += piece;
        NoteConnectionAudio(&stream->connection_audio, piece, Clock::now());
        // Counted only as far as it matters, so that it cannot wrap.
        if (stream->audio_since_title < kAudioBytesPerTitle) stream->audio_since_title += piece;
    }
    PostTitleWhenDue(stream);
}

void TakeMetadata(void* context, std::string_view block) {
    auto* stream = static_cast<UrlStream*>(context);
    std::string title;
    // An empty title says nothing new; the last one stands.
    if (FindStreamTitle(block, &title) && !title.empty()) {
        stream->title_from_stream = true;
        ReportTitle(stream, title);
    }
}

// A link's body is kept for the opener, up to the limit.
size_t TakeLinkBytes(UrlStream* stream, const char* data, size_t length) {
    if (length > kMaxLinkBytes - stream->link_body.size()) {
        stream->link_over_limit = true;
        stream->link_body = std::string();
        return 0;  // makes libcurl abandon the transfer
    }
    stream->link_body.append(data, length);
    stream->last_heard = Clock::now();
    return length;
}

size_t OnBodyBytes(char* data, size_t size, size_t count, void* user) {
    auto* stream = static_cast<UrlStream*>(user);
    size_t length = size * count;
    if (!stream->body_wanted) return length;
    if (stream->link_kind != LinkKind::kNone) return TakeLinkBytes(stream, data, length);
    FeedIcyBody(&stream->icy, data, length, IcySink{DeliverAudio, TakeMetadata, stream});
    if (stream->stop) return 0;  // makes libcurl abandon the transfer
    stream->last_heard = Clock::now();
    return length;
}

// Runs the request to its end: the body is complete, the network failed or
// stalled, or WM_QUIT arrived. Returns libcurl's result for it.
CURLcode RunTransfer(UrlStream* stream) {
    CURLMcode multi_rc = stream->curl->multi_add_handle(stream->client, stream->request);
    stream->last_heard = Clock::now();
    // Header lines trickling in keep a request alive but never answer it; the
    // answer has the same limit, counted from the request. A link is answered
    // only once its body is in, so its body is bound by that limit too.
    const auto answer_due = stream->last_heard + stream->stall_limit;
    auto answering = [stream] {
        return !stream->body_wanted || stream->link_kind != LinkKind::kNone;
    };
    int running = 1;
    while (multi_rc == CURLM_OK && running && !stream->stop) {
        multi_rc = stream->curl->multi_perform(stream->client, &running);
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
                          stream->curl->easy_strerror(CURLE_OPERATION_TIMEDOUT),
                          static_cast<long long>(kStallLimit.count()));
            return CURLE_OPERATION_TIMEDOUT;
        }
        if (answering() && now >= answer_due) {
            std::snprintf(stream->error_text, sizeof stream->error_text,
                          "%s: no answer within %lld seconds",
                          stream->curl->easy_strerror(CURLE_OPERATION_TIMEDOUT),
                          static_cast<long long>(kStallLimit.count()));
            return CURLE_OPERATION_TIMEDOUT;
        }
        auto next_limit = stream->stall_limit - silent;
        if (answering() && answer_due - now < next_limit) next_limit = answer_due - now;
        auto until_stall = std::chrono::ceil<std::chrono::milliseconds>(next_limit);
        int wait_ms = static_cast<int>(std::min<long long>(kNetworkWaitMs, until_stall.count()));
        multi_rc = stream->curl->multi_poll(stream->client, nullptr, 0, wait_ms, nullptr);
    }
    if (multi_rc != CURLM_OK) {
        if (!stream->error_text[0]) {
            std::snprintf(stream->error_text, sizeof stream->error_text, "%s",
                          stream->curl->multi_strerror(multi_rc));
        }
        return CURLE_FAILED_INIT;
    }
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    int left = 0;
    while (CURLMsg* message = stream->curl->multi_info_read(stream->client, &left)) {
        if (message->msg == CURLMSG_DONE) result = message->data.result;
    }
    return result;
}

CURLcode Transfer(UrlStream* stream) {
    stream->status_line.clear();
    stream->length_known = false;
    stream->body_wanted = false;
    stream->http_error = false;
    stream->error_text[0] = '\0';
    stream->connection_audio = ConnectionAudio{};
    CURLcode result = RunTransfer(stream);
    // Done with, so that the same request can be made again.
    stream->curl->multi_remove_handle(stream->client, stream->request);
    return result;
}

// Whether the stream goes on with the same request made again. A stream with a
// length was a file: it has ended, complete or not. One without was cut off by
// the network, or closed by the server: a station's close is how its restart
// looks, but a plain server closing (or marking the end of) a body without a
// length has sent a whole song, which must not play again and again.
bool ShouldFetchAgain(const UrlStream& stream, CURLcode result) {
    if (stream.stop || stream.http_error || stream.length_known) return false;
    if (!stream.body_wanted) return true;  // no answer this time: the try failed
    return result != CURLE_OK || (stream.station && !stream.chunked);
}

std::string GaveUpText(const UrlStream& stream, CURLcode result) {
    std::string why = stream.error_text[0] ? stream.error_text
                      : result != CURLE_OK ? stream.curl->easy_strerror(result)
                                           : "The station closed the connection";
    return why + "; gave up after " + std::to_string(kMaxFetchesAgain) + " tries";
}

// Sleeps before a fetch again; false when WM_QUIT came meanwhile.
bool WaitBeforeFetchingAgain(UrlStream* stream, std::chrono::milliseconds delay) {
    const auto until = Clock::now() + delay;
    for (;;) {
        if (QuitPosted()) {
            stream->stop = true;
            return false;
        }
        auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
        if (left.count() <= 0) return true;
        // The closer wakes this wait along with WM_QUIT.
        stream->curl->multi_poll(stream->client, nullptr, 0, static_cast<int>(left.count()),
                                 nullptr);
    }
}

// See kHeldConnection. bitrate_kbps: the stream's, 0 while unknown.
bool ConnectionHeld(const ConnectionAudio& audio, int bitrate_kbps) {
    if (audio.bytes > 0 && audio.last - audio.first >= kHeldConnection) return true;
    // kbit/s: 125 bytes a second for each.
    uint64_t kbps = static_cast<uint64_t>(std::max(0, bitrate_kbps));
    return kbps > 0 && audio.bytes / 125 / kbps >= static_cast<uint64_t>(kHeldConnection.count());
}

// Plays the stream on across drops, as long as connections hold.
void FetchAgainWhileCutOff(UrlStream* stream, CURLcode result) {
    int failed_tries = 0;  // in a row
    while (ShouldFetchAgain(*stream, result)) {
        if (ConnectionHeld(stream->connection_audio, stream->bitrate_kbps.load())) failed_tries = 0;
        if (failed_tries == kMaxFetchesAgain) {
            stream->gave_up_text = GaveUpText(*stream, result);
            return;
        }
        if (!WaitBeforeFetchingAgain(stream, stream->first_fetch_again_delay * (1 << failed_tries)))
            return;
        ++failed_tries;
        result = Transfer(stream);
    }
}

std::string FailureText(const UrlStream& stream, CURLcode result) {
    // The server answered, but not with something to play: its status says why.
    bool answered_otherwise = result == CURLE_OK && !stream.status_line.empty();
    if (stream.http_error || answered_otherwise) return stream.status_line;
    if (stream.error_text[0]) return stream.error_text;
    return stream.curl->easy_strerror(result);
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

    stream->curl->easy_setopt(stream->request, CURLOPT_HEADERFUNCTION, OnHeaderLine);
    stream->curl->easy_setopt(stream->request, CURLOPT_HEADERDATA, stream.get());
    stream->curl->easy_setopt(stream->request, CURLOPT_WRITEFUNCTION, OnBodyBytes);
    stream->curl->easy_setopt(stream->request, CURLOPT_WRITEDATA, stream.get());

    // A failed or stalled network read after the answer is the end of the
    // stream, like the body's natural end, unless the stream is fetched again.
    CURLcode result = Transfer(stream.get());
    if (!stream->answered.load()) {
        // A link is answered once its body is in, or known to be too large.
        bool link =
            stream->link_kind != LinkKind::kNone && (result == CURLE_OK || stream->link_over_limit);
        Answer(stream.get(), link, link ? std::string() : FailureText(*stream, result));
    } else {
        FetchAgainWhileCutOff(stream.get(), result);
    }

    CloseFd(&stream->write_fd);  // the reader now sees the end of the data
    CloseFd(&stream->save_fd);
    // The internet handles go with the record, once the closer has let go too.
    return 1;
}

}  // namespace vek
