// Plays the main window's part around the real decoder thread: a window on the
// test thread that records the decoder's reports and answers track ends with
// the player's next/repeat logic over the real playlist.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/decoder_thread.h"
#include "platform/thread_queue.h"

namespace vek::test {

struct Report {
    uint32_t message;
    intptr_t lparam;
};

class PlaybackHarness {
  public:
    explicit PlaybackHarness(ProgressPacing pacing = ProgressPacing::ForWindow);
    ~PlaybackHarness();

    int decoder() const { return decoder_; }
    const std::vector<Report>& reports() const { return reports_; }
    // Each title a stream reported that the window took for its current entry.
    const std::vector<std::string>& titles() const { return titles_; }
    int Count(uint32_t message) const;

    // Handles the window's messages until pred() holds or the time is up.
    bool PumpUntil(const std::function<bool()>& pred, int timeout_ms);
    // Until the list has played out (DTM_CLOSE_OUTPUT posted) and the decoder
    // has handled everything posted so far.
    bool PlayToEnd(int timeout_ms);

    // Stops the decoder thread (bounded) and reports whether it ended in time.
    bool Stop(int timeout_ms = 3000);

    bool list_finished() const { return list_finished_; }
    // Called for every report before the default handling; return true to skip it.
    std::function<bool(uint32_t, intptr_t)> on_report;
    int stop_after_track_ends = -1;  // halt instead of advancing after this many

  private:
    static intptr_t Proc(Window* window, uint32_t message, uintptr_t wparam, intptr_t lparam);
    Window window_;
    int decoder_ = -1;
    bool list_finished_ = false;
    bool stopped_ = false;
    std::vector<Report> reports_;
    std::vector<std::string> titles_;
};

// Concatenated contents of reference .pcm files from tests/data.
std::vector<uint8_t> ReferencePcm(const std::vector<std::string>& names);

}  // namespace vek::test
