// The record that one URL stream's two threads share: the decoder thread that
// opened it and the download thread that fills its pipe. Both hold a reference,
// so whichever lets go last releases the internet handles, even when the
// download thread was given up on and ends later by itself.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <string>

#include "platform/thread_queue.h"

namespace vek {

// A server that sends nothing for this long has failed: before its answer the
// open fails, after it the stream ends as if the data had ended. Time spent
// waiting for room in the pipe (playback paused) does not count. The answer
// itself is due within the same time, counted from the request.
inline constexpr std::chrono::seconds kStallLimit{30};

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

    // Internet handles: made by the opener, driven only by the download thread.
    // The closing thread may wake `client` while the download thread waits in it.
    CURLM* client = nullptr;
    CURL* request = nullptr;
    curl_slist* request_headers = nullptr;
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

    // Used by the download thread alone.
    bool stop = false;
    bool body_wanted = false;  // the final response is a success and is being played
    int download_option = 0;
    std::string download_dir;
    int save_fd = -1;
    std::string status_line;    // of the response whose headers are arriving
    bool has_location = false;  // that response names a place to go to instead
    std::chrono::steady_clock::time_point last_heard;  // of the server, by the stall rule
    bool http_error = false;                           // the server answered with an error status
};

}  // namespace vek
