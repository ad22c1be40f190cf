// URL streams: a download thread copies an HTTP body into a pipe that the stream
// reader reads like a file. One stream at a time.
#pragma once

namespace vek {

// Decoder thread. Requests the URL and, once the server has answered, starts the
// download thread. Returns the pipe's read end, or -1 after showing why not.
// The URL text must stay valid until CloseUrlStream returns.
int OpenUrlStream(const char* url);

// Decoder thread, after the reader has closed the read end: stops the download
// thread (bounded wait) and releases everything.
void CloseUrlStream();

}  // namespace vek
