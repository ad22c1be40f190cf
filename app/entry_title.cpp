#include "app/entry_title.h"

#include <QByteArray>
#include <QFile>
#include <string_view>

#include "playlist/playlist.h"
#include "playlist/playlist_paths.h"

namespace vek::app {

QString EntryDisplayTitle(const PlaylistEntry& entry) {
    // Stream titles are cleaned into UTF-8 where they arrive.
    if (entry.title && entry.title[0]) return QString::fromUtf8(entry.title);
    // A file title is a name on disk, in the file system's encoding.
    std::string_view title = EntryFileTitle(entry.path);
    return QFile::decodeName(QByteArray(title.data(), static_cast<qsizetype>(title.size())));
}

}  // namespace vek::app
