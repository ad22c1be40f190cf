#include "control/transport.h"

#include <atomic>

#include "engine/decoder_thread.h"
#include "output/output_system.h"
#include "platform/limits.h"
#include "platform/worker_thread.h"
#include "playlist/playlist.h"
#include "settings/settings.h"

namespace vek {
namespace {

std::atomic<PlayState> g_state{PlayState::Stopped};

}  // namespace

PlayState GetPlayState() {
    return g_state.load(std::memory_order_relaxed);
}
void SetPlayState(PlayState state) {
    g_state.store(state, std::memory_order_relaxed);
}

void Halt() {
    if (GetPlayState() == PlayState::Paused) {
        Output().Resume();
        Output().Reset();
    }
    PostStop(DecoderThreadId());
}

bool PlayCurrentEntry() {
    char path[kPathField];
    if (!GetCurrentPath(path, sizeof path)) return false;
    PostPlay(path);
    return true;
}

void CommandPlay() {
    switch (GetPlayState()) {
        case PlayState::Paused:
            Output().Resume();
            break;
        case PlayState::Playing:
            PostStop(DecoderThreadId());
            PostPlay(nullptr);
            break;
        case PlayState::Stopped:
            PostPlay(nullptr);
            break;
    }
    SetPlayState(PlayState::Playing);
}

void CommandStop() {
    Halt();
    SetPlayState(PlayState::Stopped);
}

void CommandPause() {
    if (GetPlayState() != PlayState::Playing) return;
    Output().Pause();
    SetPlayState(PlayState::Paused);
}

namespace {
void MoveAndPlay(bool (*select)()) {
    if (!select()) return;  // no wrap-around at either end
    Halt();
    SleepMs(100);
    PlayCurrentEntry();
}
}  // namespace

void CommandNext() {
    MoveAndPlay(SelectNext);
}
void CommandPrevious() {
    MoveAndPlay(SelectPrevious);
}

void CommandPlayCurrent() {
    Halt();
    PlayCurrentEntry();
}

void HandlePlayStarted() {
    SetPlayState(PlayState::Playing);
}

void HandlePlayFailed() {
    SetPlayState(PlayState::Stopped);
}

bool HandleTrackEnded() {
    // No stop is posted first: the decoder is idle after a natural end and the
    // output stays open, so the next track follows without a gap.
    if (SelectNext() || (gSettings.RepeatPlay != 0 && SelectEntry(0))) {
        if (PlayCurrentEntry()) return true;
    }
    PostCloseOutput(DecoderThreadId());
    SetPlayState(PlayState::Stopped);
    return false;
}

}  // namespace vek
