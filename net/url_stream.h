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
// to the main window (net/stream_title.h). A stream without a length that
// the network cuts off, or a station (ICY) that closes, is fetched again after
// 1, 2 and 4 s and read on behind what came before; EOF comes after an error
// status, or after three failed tries in a row (see kHeldConnection), which
// CloseUrlStream then reports.
// A first answer that is a playlist (net/playlist_link.h) is read whole and
// posted to the main window as UIM_PLAYLIST_LINK; kUrlIsPlaylistLink then.
int OpenUrlStream(const char* url);
inline constexpr int kUrlIsPlaylistLink = -2;

// Decoder thread, after the reader has closed the read end: stops the download
// thread (bounded wait, 2000 ms) and releases everything. A stream whose tries
// were given up shows why, in the usual internet error box.
void CloseUrlStream();

// Decoder thread: the bitrate (kbit/s) of the open stream's first frame, by
// which the download judges whether a connection held.
void NoteUrlStreamBitrate(int kbps);

// For tests, which cannot sit out the real limits: the 30 s stall and answer
// limits, the delays before fetching again and the 2000 ms stop wait of streams
// opened from now on are multiplied by factor (1: as they are; the player never
// changes it). Messages still name the limits as they are. kHeldConnection
// stays as it is.
void SetUrlStreamTimeScale(double factor);

// For tests, whose servers have certificates of their own making: https
// streams opened from now on trust the certificates in this PEM file instead
// of the system's, and check them as strictly. Empty: the system's again.
void SetUrlStreamTestCertificates(const std::string& pem_path);

}  // namespace vek
