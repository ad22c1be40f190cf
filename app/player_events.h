// What the player tells the parts that follow it from outside (the desktop's
// media controls, the tray): each event once, raised on the GUI thread by the
// code that made the change, after it. Listeners act on the player through
// RunCommand, the same path as the menu.
#pragma once

namespace vek::app {

enum class PlayerEvent {
    PlayStateChanged,  // value: the PlayState, as an int
    TrackStarted,      // a track's input has opened (value 0)
    Seeked,            // value: the percent the user sought on the ring
    VolumeChanged,     // value: EqVolume
    OptionsChanged,    // ShufflePlay, RepeatPlay or EqEnabled was switched (value 0)
    TitleChanged,      // the current entry's display title changed (value 0)
    LengthChanged,     // value: the playing track's length in ms, -1 while unknown
};

using PlayerListener = void (*)(PlayerEvent event, int value, void* context);

// GUI thread. A listener is called for every event until it is removed.
void AddPlayerListener(PlayerListener listener, void* context);
void RemovePlayerListener(PlayerListener listener, void* context);

// Tells every listener of one change. The transport's play state raises its
// own event whenever it changes.
void NotifyPlayer(PlayerEvent event, int value);

// The decoder's reports are where its measure of the track's length shows:
// LengthChanged when it differs from the length last told.
void NoticeTrackLength();

}  // namespace vek::app
