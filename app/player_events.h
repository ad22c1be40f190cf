// What the main window tells the parts that follow the player from outside
// (the desktop's media controls): each event once, after the change, on the
// GUI thread. Listeners act on the player through SendMainWindowCommand, the
// same path as the menu.
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

// The main window's side. NotifyPlayer reports one event;
// NoticePlayerChanges reports the play state, the volume, the options and the
// track's length if they differ from what was last reported, and is called
// after everything the window handles.
void NotifyPlayer(PlayerEvent event, int value);
void NoticePlayerChanges();

}  // namespace vek::app
