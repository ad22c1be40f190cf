#include "app/entry_title.h"

#include <QByteArray>
#include <QFile>
#include <string>
#include <string_view>

#include "app/player_events.h"
#include "playlist/playlist.h"
#include "playlist/playlist_paths.h"
#include "settings/settings.h"
#include "tags/track_tags.h"

namespace vek::app {

QString EntryDisplayTitle(const PlaylistEntry& entry) {
    if (gSettings.ShowTagTitles && entry.tags && !(entry.title && entry.title[0])) {
        // Tag text is cleaned into UTF-8 where it is read.
        std::string title = TagTitle(*entry.tags);
        if (!title.empty()) return QString::fromStdString(title);
    }
    return EntryPlainTitle(entry);
}

QString EntryPlainTitle(const PlaylistEntry& entry) {
    // Stream titles are cleaned into UTF-8 where they arrive.
    if (entry.title && entry.title[0]) return QString::fromUtf8(entry.title);
    // A file title is a name on disk, in the file system's encoding.
    std::string_view title = EntryFileTitle(entry.path);
    return QFile::decodeName(QByteArray(title.data(), static_cast<qsizetype>(title.size())));
}

void TagTitlesSwitched() {
    RefreshPlaylistEditor();
    NotifyPlayer(PlayerEvent::TitleChanged, 0);
}

}  // namespace vek::app
