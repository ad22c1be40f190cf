#include "tests/playback/playback_harness.h"

#include <chrono>
#include <thread>

#include "control/playlist_link.h"
#include "control/stream_title.h"
#include "control/transport.h"
#include "engine/decoder_thread.h"
#include "platform/desktop_hooks.h"
#include "platform/messages.h"
#include "playlist/playlist.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"

namespace vek::test {

PlaybackHarness::PlaybackHarness(ProgressPacing pacing) {
    InitWindow(&window_, Proc, this);
    SetMainWindow(&window_);
    decoder_ = StartDecoderThread(&window_, pacing);
}

PlaybackHarness::~PlaybackHarness() {
    if (!stopped_) Stop();
    SetMainWindow(nullptr);
    ForgetWindow(&window_);  // what the decoder posted late is of no interest now
}

int PlaybackHarness::Count(uint32_t message) const {
    int n = 0;
    for (const Report& r : reports_) n += r.message == message;
    return n;
}

intptr_t PlaybackHarness::Proc(Window* window, uint32_t message, uintptr_t wparam,
                               intptr_t lparam) {
    auto* self = static_cast<PlaybackHarness*>(window->user);
    self->reports_.push_back(Report{message, lparam});
    std::string title;
    if (message == UIM_STREAM_TITLE && HandleStreamTitle(wparam, lparam, &title)) {
        self->titles_.push_back(title);
    }
    if (self->on_report && self->on_report(message, lparam)) return 1;
    if (message == UIM_PLAYLIST_LINK && HandlePlaylistLink(wparam, lparam) == LinkOutcome::kFailed)
        self->list_finished_ = true;
    if (message == UIM_TRACK_ENDED) {
        bool halt = self->stop_after_track_ends >= 0 &&
                    self->Count(UIM_TRACK_ENDED) >= self->stop_after_track_ends;
        if (halt) {
            PostCloseOutput(self->decoder_);
            self->list_finished_ = true;
        } else if (!HandleTrackEnded()) {
            self->list_finished_ = true;
        }
    }
    return 1;
}

bool PlaybackHarness::PumpUntil(const std::function<bool()>& pred, int timeout_ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        Message m;
        while (PeekMessage(&m)) DispatchMessage(m);
        if (pred()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool PlaybackHarness::PlayToEnd(int timeout_ms) {
    return PumpUntil([this] { return list_finished_; }, timeout_ms);
}

bool PlaybackHarness::Stop(int timeout_ms) {
    stopped_ = true;
    auto start = std::chrono::steady_clock::now();
    StopDecoderThreadWithin(decoder_, timeout_ms);
    return std::chrono::steady_clock::now() - start < std::chrono::milliseconds(timeout_ms);
}

std::vector<uint8_t> ReferencePcm(const std::vector<std::string>& names) {
    std::vector<uint8_t> all;
    for (const std::string& name : names) {
        std::vector<uint8_t> part = ReadFileBytes(DataPath(name));
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

}  // namespace vek::test
