// The decoder thread: plays one track at a time, commanded by thread messages
// from the main window, reporting back with UIM_ messages: UIM_PROGRESS,
// UIM_PLAY_STARTED and UIM_TRACK_ENDED as a track plays, UIM_OPEN_FAILED and
// UIM_OUTPUT_FAILED when one cannot, UIM_PLAYLIST_LINK when its URL named a
// playlist.
#pragma once

#include <cstdint>

#include "platform/thread_queue.h"
#include "platform/worker_thread.h"

namespace vek {

// Whether a window draws the progress. With one, the thread yields 1 ms at each
// new percentage when the output has no buffers to pace it (a .wav file), so
// that the window's ring and tray icon keep up; without one (a terminal
// player) nothing waits for the percentages and the file is written at full
// speed.
enum class ProgressPacing { ForWindow, None };

// Main thread. Starts the thread for the main window; returns its id, or -1
// when it cannot be created. The thread takes messages as soon as this returns.
int StartDecoderThread(Window* main_window, ProgressPacing pacing = ProgressPacing::ForWindow);

// Main thread. WM_QUIT, then up to 3000 ms for the thread to end while answering
// its sends; a thread that misses the bound is given up (detached, see
// DecoderThreadGivenUp). Cannot fail: returns 1.
int StopDecoderThread(int thread_id);

// The same with another bound (negative: none). A headless player uses it after
// its last DTM_CLOSE_OUTPUT, whose drain may take longer than 3 s at low rates.
int StopDecoderThreadWithin(int thread_id, int timeout_ms);

// Main thread. With a path: post DTM_PLAY_FILE carrying its own copy of the
// path; without (nullptr): post DTM_PLAY. 1 posted; 0 when the path does not
// fit a path field (it is refused, never cut) or the thread is not running.
int PostPlay(const char* path);

// Main thread. These only post and always return 1; a message to a thread that
// is not running is lost, which is harmless for each of them.
int PostStop(int thread_id);
int PostCloseOutput(int thread_id);
int PostSeek(int percent, int thread_id);

// Main thread. Whether PostStop came after the last PostPlay: the user stopped
// what that play asked for (a playlist link's entries are then not played).
bool StopPostedSinceLastPlay();

// Any thread. The length in milliseconds of the track being played (or the
// last one played), as its percentages count it: its frames by a frame's
// time. -1 until the track's first frame is read, and for a stream.
int32_t PlayingTrackMs();

// Any thread. How many tracks have had a frame read for an open output since
// the process started; a track that opened but held no frame (not MPEG audio)
// does not count. A headless player tells by it whether anything played.
int TracksPlayed();

// The id of the running decoder thread (0 before the start).
int DecoderThreadId();

// True when the last stop had to give the thread up. It may still be running,
// so the process should end without running its static destructors.
bool DecoderThreadGivenUp();

}  // namespace vek
