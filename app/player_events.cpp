#include "app/player_events.h"

#include <algorithm>
#include <vector>

#include "control/transport.h"
#include "engine/decoder_thread.h"

namespace vek::app {
namespace {

struct Listener {
    PlayerListener fn;
    void* context;
    bool operator==(const Listener&) const = default;
};

// GUI thread only.
std::vector<Listener> g_listeners;
int g_told_length_ms = -1;

void PlayStateChanged(PlayState state) {
    NotifyPlayer(PlayerEvent::PlayStateChanged, static_cast<int>(state));
}

}  // namespace

void AddPlayerListener(PlayerListener listener, void* context) {
    SetPlayStateHook(PlayStateChanged);
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

void NoticeTrackLength() {
    int length_ms = PlayingTrackMs();
    if (length_ms == g_told_length_ms) return;
    g_told_length_ms = length_ms;
    NotifyPlayer(PlayerEvent::LengthChanged, length_ms);
}

}  // namespace vek::app
