// URL streams: a download thread copies an HTTP body into a pipe that the stream
// reader reads like a file. One stream at a time.
#pragma once

namespace vek {

// Decoder thread. Starts the download thread on the URL (http or https only)
// and returns once the server has answered: the pipe's read end when the answer
// is a success, or -1 after showing why not (an error status, no connection, a
// redirect elsewhere than http or https, 30 s of silence). The URL is copied.
// Stream bytes then arrive until EOF, which a stall of 30 s also brings.
int OpenUrlStream(const char* url);

// Decoder thread, after the reader has closed the read end: stops the download
// thread (bounded wait, 2000 ms) and releases everything.
void CloseUrlStream();

// For tests, which cannot sit out the real limits: the 30 s stall and answer
// limits and the 2000 ms stop wait of streams opened from now on are multiplied
// by factor (1: as they are; the player never changes it). Messages still name
// the limits as they are.
void SetUrlStreamTimeScale(double factor);

}  // namespace vek
