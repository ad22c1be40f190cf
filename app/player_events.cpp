#include "app/player_events.h"

#include <algorithm>
#include <vector>

#include "control/transport.h"
#include "engine/decoder_thread.h"
#include "settings/settings.h"

namespace vek::app {
namespace {

struct Listener {
    PlayerListener fn;
    void* context;
    bool operator==(const Listener&) const = default;
};

// GUI thread only.
std::vector<Listener> g_listeners;

struct Reported {
    bool known = false;
    PlayState state = PlayState::Stopped;
    int volume = 0;
    int options = 0;
    int length_ms = -1;
};
Reported g_reported;

int Options() {
    return (gSettings.ShufflePlay != 0 ? 1 : 0) | (gSettings.RepeatPlay != 0 ? 2 : 0) |
           (gSettings.EqEnabled != 0 ? 4 : 0);
}

}  // namespace

void AddPlayerListener(PlayerListener listener, void* context) {
    g_listeners.push_back({listener, context});
}

void RemovePlayerListener(PlayerListener listener, void* context) {
    std::erase(g_listeners, Listener{listener, context});
}

void NotifyPlayer(PlayerEvent event, int value) {
    // A listener may remove itself or add another while it is called.
    std::vector<Listener> listeners = g_listeners;
    for (const Listener& l : listeners) l.fn(event, value, l.context);
}

void NoticePlayerChanges() {
    Reported now{true, GetPlayState(), gSettings.EqVolume, Options(), PlayingTrackMs()};
    Reported before = g_reported;
    g_reported = now;
    if (!before.known) return;
    if (now.state != before.state)
        NotifyPlayer(PlayerEvent::PlayStateChanged, static_cast<int>(now.state));
    if (now.volume != before.volume) NotifyPlayer(PlayerEvent::VolumeChanged, now.volume);
    if (now.options != before.options) NotifyPlayer(PlayerEvent::OptionsChanged, 0);
    if (now.length_ms != before.length_ms) NotifyPlayer(PlayerEvent::LengthChanged, now.length_ms);
}

}  // namespace vek::app
