#include "app/playing_tags.h"

#include <QCoreApplication>
#include <string>

#include "app/player_events.h"
#include "platform/url_name.h"
#include "playlist/playlist.h"
#include "tags/tag_reader.h"

namespace vek::app {
namespace {

bool g_started = false;

// The read has finished; what it found goes to the entry if that still plays.
void TakeRead() {
    std::string path;
    std::shared_ptr<const TrackTags> tags;
    if (!TakeTrackTags(&path, &tags)) return;
    PlaylistEntry* entry = gPlaylist.current;
    if (!entry || path != entry->path || (!tags && !entry->tags)) return;
    entry->tags = std::move(tags);
    // As with a station's title: the entry keeps it, whatever shows it follows.
    RefreshPlaylistEditor();
    NotifyPlayer(PlayerEvent::TitleChanged, 0);
}

}  // namespace

void ReadPlayingTags() {
    const PlaylistEntry* entry = gPlaylist.current;
    if (!entry || IsUrl(entry->path)) return;
    if (!g_started) {
        g_started = StartTagReader([] {
            QMetaObject::invokeMethod(QCoreApplication::instance(), TakeRead, Qt::QueuedConnection);
        });
    }
    RequestTrackTags(entry->path);
}

void StopReadingPlayingTags() {
    if (!g_started) return;
    StopTagReader();
    g_started = false;
}

}  // namespace vek::app
