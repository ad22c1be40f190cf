// The record that one URL stream's two threads share: the decoder thread that
// opened it and the download thread that fills its pipe. Both hold a reference,
// so whichever lets go last releases the internet handles, even when the
// download thread was given up on and ends later by itself.
#pragma once

#include <atomic>
#include <chrono>
#include <string>

#include "net/curl_library.h"
#include "net/icy_metadata.h"
#include "net/playlist_link.h"
#include "platform/thread_queue.h"

namespace vek {

// A server that sends nothing for this long has failed: before its answer the
// open fails, after it the stream ends as if the data had ended. Time spent
// waiting for room in the pipe (playback paused) does not count. The answer
// itself is due within the same time, counted from the request.
inline constexpr std::chrono::seconds kStallLimit{30};

// A stream without a length that drops is fetched again, after this delay
// for the first try and twice as long for each further try in a row that
// fails; the stream ends after kMaxFetchesAgain such tries.
inline constexpr std::chrono::seconds kFirstFetchAgainDelay{1};
inline constexpr int kMaxFetchesAgain = 3;

// A connection held (and ends a run of failed tries) when it brought this much
// audio at the stream's bitrate, or went on bringing audio for this long; any
// other counts as a failed try. A station that accepts and drops at once must
// end, one that plays for an hour and drops must not. Not scaled for tests: a
// quick connection must never pass for a long one.
inline constexpr std::chrono::seconds kHeldConnection{10};

// The audio one connection brought, for the rule of kHeldConnection: its time
// counts from its first byte, however late the answer came.
struct ConnectionAudio {
    std::chrono::steady_clock::time_point first, last;  // of its bytes
    uint64_t bytes = 0;
};

struct UrlStream {
    UrlStream() = default;
    UrlStream(const UrlStream&) = delete;
    UrlStream& operator=(const UrlStream&) = delete;
    // Releases the request, then the client, and closes a pipe end or save file
    // that nobody closed (only possible when the download thread never ran).
    ~UrlStream();

    std::string url;  // our own copy, so the caller's text may change
    // kStallLimit as this stream applies it (tests run it faster).
    std::chrono::milliseconds stall_limit = kStallLimit;
    std::chrono::milliseconds first_fetch_again_delay = kFirstFetchAgainDelay;
    // Certificates to trust instead of the system's (tests only; empty: the system's).
    std::string trusted_certificates;

    // Internet handles: made by the opener, driven only by the download thread.
    // The closing thread may wake `client` while the download thread waits in it.
    const CurlLibrary* curl = nullptr;  // libcurl's functions, set with the handles
    CURLM* client = nullptr;
    CURL* request = nullptr;
    curl_slist* request_headers = nullptr;
    curl_slist* status_aliases = nullptr;  // status lines taken as HTTP/1.0 200
    char error_text[CURL_ERROR_SIZE] = {};

    // The pipe's write end. Once the download thread runs it is the only user and
    // closes it when it ends, which the reader sees as the end of the data.
    int write_fd = -1;

    // The answer handshake: the download thread fills answer_ok and failure_text,
    // then sets answered and wakes the opener, which reads them only after that.
    ThreadId opener = 0;
    std::atomic<bool> answered{false};
    bool answer_ok = false;
    std::string failure_text;

    // The stream's bitrate in kbit/s, told by the stream reader from the first
    // frame (0 until then); read by the download thread.
    std::atomic<int> bitrate_kbps{0};

    // Set by the download thread before it ends when it gave up fetching
    // again: why, for the closer to show once the thread has ended.
    std::string gave_up_text;

    // The first answer named a playlist: its body, read whole. Filled before
    // the answer, read by the opener after it.
    LinkKind link_kind = LinkKind::kNone;
    std::string link_base;  // where the body came from, after redirects
    std::string link_body;
    bool link_over_limit = false;

    // Used by the download thread alone.
    bool stop = false;
    int download_option = 0;
    std::string download_dir;
    int save_fd = -1;
    std::chrono::steady_clock::time_point last_heard;  // of the server, by the stall rule
    std::string title;                                 // as last reported to the main window
    std::string pending_title;                         // to be reported when due
    bool title_pending = false;
    uint64_t audio_since_title = UINT64_MAX;  // audio bytes since the last report
    bool title_from_stream = false;           // a StreamTitle has come: the station's name is past

    // Of the response whose headers are arriving, and then of its body.
    std::string status_line;
    bool has_location = false;   // it names a place to go to instead
    bool station = false;        // it speaks ICY: its status line or an icy- header says so
    uint32_t icy_interval = 0;   // its icy-metaint
    std::string station_name;    // its icy-name
    std::string content_type;    // its Content-Type value
    bool length_known = false;   // it announced its length
    bool chunked = false;        // the server marks the body's end itself
    bool body_wanted = false;    // it is a success and its body is being played
    bool http_error = false;     // it is an error status
    IcyDemuxer icy;
    ConnectionAudio connection_audio;
};

}  // namespace vek
