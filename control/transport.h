// The player's transport: the play state and the commands that start, stop and
// change tracks, as the main window issues them. Shared by the windows and the
// headless player, so both follow a list the same way. Main thread only,
// except GetPlayState, which the time display reads from its own thread.
#pragma once

#include <cstdint>

namespace vek {

enum class PlayState : int32_t { Playing = 0, Paused = 1, Stopped = 2 };

PlayState GetPlayState();
void SetPlayState(PlayState state);

// The first step before another track: a paused output is restarted and reset,
// then the decoder thread is told to stop. The play state is left as it is.
void Halt();

// Posts the current entry's path for play; false when the list is empty.
bool PlayCurrentEntry();

// Play: resumes when paused, restarts the remembered track otherwise.
void CommandPlay();
void CommandStop();
// Pauses only while playing.
void CommandPause();
// Next / previous entry, if there is one: halt, wait 100 ms, play it.
void CommandNext();
void CommandPrevious();
// Halt, then play the current entry.
void CommandPlayCurrent();

// The decoder reports a track has opened.
void HandlePlayStarted();

// The decoder reports that a play request came to nothing (UIM_OPEN_FAILED or
// UIM_OUTPUT_FAILED; it has shown why): nothing plays, so the state becomes
// Stopped, and Play asks for the same track again.
void HandlePlayFailed();

// The decoder reports the natural end of a track: the next entry, or the first
// with RepeatPlay, is posted; at the end of the list the output is closed after
// it has played out and the state becomes Stopped. True when a track follows.
bool HandleTrackEnded();

}  // namespace vek
