// URL streams: a download thread copies an HTTP body into a pipe that the stream
// reader reads like a file. One stream at a time.
#pragma once

#include <string>

namespace vek {

// Decoder thread. Starts the download thread on the URL (http or https only)
// and returns once the server has answered: the pipe's read end when the answer
// is a success, or -1 after showing why not (an error status, no connection, a
// redirect elsewhere than http or https, 30 s of silence). The URL is copied.
// Stream bytes then arrive until EOF, which a stall of 30 s also brings.
// Radio arrives as audio only: the titles within it are taken out and reported
// to the main window (net/stream_title.h). A stream without a length that the
// network cuts off, or a radio that closes, is fetched again after 1, 2 and
// 4 s and read on behind what came before; EOF comes after three tries in a
// row that bring no audio, or an error status.
int OpenUrlStream(const char* url);

// Decoder thread, after the reader has closed the read end: stops the download
// thread (bounded wait, 2000 ms) and releases everything.
void CloseUrlStream();

// For tests, which cannot sit out the real limits: the 30 s stall and answer
// limits, the delays before fetching again and the 2000 ms stop wait of streams
// opened from now on are multiplied by factor (1: as they are; the player never
// changes it). Messages still name the limits as they are.
void SetUrlStreamTimeScale(double factor);

// For tests, whose servers have certificates of their own making: https
// streams opened from now on trust the certificates in this PEM file instead
// of the system's, and check them as strictly. Empty: the system's again.
void SetUrlStreamTestCertificates(const std::string& pem_path);

}  // namespace vek
