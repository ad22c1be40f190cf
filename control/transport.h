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
// Called on the main thread with the new state each time it changes, by
// whatever changed it (nullptr: nobody is told).
void SetPlayStateHook(void (*hook)(PlayState state));

// The first step before another track: a paused output is restarted and reset,
// then the decoder thread is told to stop. The play state is left as it is.
void Halt();

// Posts the current entry's path for play; false when the list is empty, and
// the state is then Stopped (the caller has halted what played).
bool PlayCurrentEntry();

// A list just loaded plays from its top: the first entry, of the list shuffled
// first when ShufflePlay is on, after a Halt. False when the list is empty: the
// state is then Stopped.
bool PlayListFromStart();

// Play: resumes when paused, restarts the remembered track otherwise.
void CommandPlay();
void CommandStop();
// Seeks the playing track to percent (0..100), paused or not.
void CommandSeek(int percent);
// Pauses only while playing.
void CommandPause();
// How long Next and Previous give the decoder to stop before they ask for
// the new entry.
inline constexpr int kTrackChangeGapMs = 100;

// Next / previous entry, if there is one: halts now and keeps the new entry's
// play pending; the front-end calls FinishTrackChange kTrackChangeGapMs later
// (a timer in the window, so its thread never sleeps). False at either end of
// the list (there is no wrap-around): nothing was done.
bool CommandNext();
bool CommandPrevious();

// Posts the pending play of a track change, if one is pending. Every other
// command finishes a pending change first, so a command given during the gap
// acts on the new entry as if the gap had passed.
void FinishTrackChange();
// Forgets a pending change without playing it: the window is going away.
void DropTrackChange();
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
// it has played out and the state becomes Stopped. RepeatPlay starts the list
// over only when the entries that ended in a row without playing a frame, since
// the user last asked for a track, are fewer than the list holds. True when a
// track follows.
// During a track change's gap the end is that of the track being replaced: the
// change is finished instead.
bool HandleTrackEnded();

}  // namespace vek
