#include "control/transport.h"

#include <atomic>

#include "engine/decoder_thread.h"
#include "output/output_system.h"
#include "platform/limits.h"
#include "playlist/playlist.h"
#include "settings/settings.h"

namespace vek {
namespace {

std::atomic<PlayState> g_state{PlayState::Stopped};
// Main thread only.
bool g_change_pending = false;
void (*g_state_hook)(PlayState) = nullptr;
// Natural ends in a row of tracks that played nothing (not audio, a station
// that gave up at once), since the user last asked for a track, and the
// decoder's count of played tracks at the last end. With RepeatPlay a list of
// nothing but such entries would start over for ever, a box each time, faster
// than the user can reach Stop.
int g_silent_ends = 0;
int g_played_at_last_end = 0;

}  // namespace

PlayState GetPlayState() {
    return g_state.load(std::memory_order_relaxed);
}
void SetPlayState(PlayState state) {
    if (g_state.exchange(state, std::memory_order_relaxed) != state && g_state_hook)
        g_state_hook(state);
}
void SetPlayStateHook(void (*hook)(PlayState state)) {
    g_state_hook = hook;
}

void Halt() {
    FinishTrackChange();
    g_silent_ends = 0;
    if (GetPlayState() == PlayState::Paused) {
        Output().Resume();
        Output().Reset();
    }
    PostStop(DecoderThreadId());
}

bool PlayCurrentEntry() {
    char path[kPathField];
    if (!GetCurrentPath(path, sizeof path)) {
        // Every name was refused: what played has been halted and nothing follows.
        SetPlayState(PlayState::Stopped);
        return false;
    }
    PostPlay(path);
    return true;
}

bool PlayListFromStart() {
    if (!SelectEntry(0)) return PlayCurrentEntry();
    if (gSettings.ShufflePlay != 0) ShufflePlaylist();
    CommandPlayCurrent();
    return true;
}

void CommandPlay() {
    FinishTrackChange();
    g_silent_ends = 0;
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

void CommandSeek(int percent) {
    // A paused device holds every buffer, and the decoder waits in its write
    // for one: freed, the decoder takes the seek now, not at Resume. The audio
    // freed is the old place's, which the seek throws away anyway.
    if (GetPlayState() == PlayState::Paused) Output().Reset();
    PostSeek(percent, DecoderThreadId());
}

void CommandStop() {
    Halt();
    SetPlayState(PlayState::Stopped);
}

void CommandPause() {
    FinishTrackChange();
    if (GetPlayState() != PlayState::Playing) return;
    Output().Pause();
    SetPlayState(PlayState::Paused);
}

namespace {
bool MoveAndHalt(bool (*select)()) {
    FinishTrackChange();
    if (!select()) return false;  // no wrap-around at either end
    Halt();
    g_change_pending = true;
    return true;
}
}  // namespace

bool CommandNext() {
    return MoveAndHalt(SelectNext);
}
bool CommandPrevious() {
    return MoveAndHalt(SelectPrevious);
}

void FinishTrackChange() {
    if (!g_change_pending) return;
    g_change_pending = false;
    PlayCurrentEntry();
}

void DropTrackChange() {
    g_change_pending = false;
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
    // A track that ends while Next or Previous waits for it to stop has been
    // replaced already: the change plays its entry, and the end moves no further.
    if (g_change_pending) {
        FinishTrackChange();
        return true;
    }
    int played = TracksPlayed();
    g_silent_ends = played == g_played_at_last_end ? g_silent_ends + 1 : 0;
    g_played_at_last_end = played;
    bool start_over = gSettings.RepeatPlay != 0 && g_silent_ends < PlaylistCount();
    // No stop is posted first: the decoder is idle after a natural end and the
    // output stays open, so the next track follows without a gap.
    if (SelectNext() || (start_over && SelectEntry(0))) {
        if (PlayCurrentEntry()) return true;
    }
    PostCloseOutput(DecoderThreadId());
    SetPlayState(PlayState::Stopped);
    return false;
}

}  // namespace vek
