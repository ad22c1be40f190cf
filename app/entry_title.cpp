#include "app/entry_title.h"

#include <QByteArray>
#include <QFile>
#include <string_view>

#include "playlist/playlist.h"
#include "playlist/playlist_paths.h"

namespace vek::app {

QString EntryDisplayTitle(const PlaylistEntry& entry) {
    if (entry.title && entry.title[0]) {
        QString title = QString::fromUtf8(entry.title);
        return title.contains(QChar::ReplacementCharacter) ? QString::fromLatin1(entry.title)
                                                           : title;
    }
    // A file title is a name on disk, in the file system's encoding.
    std::string_view title = EntryFileTitle(entry.path);
    return QFile::decodeName(QByteArray(title.data(), static_cast<qsizetype>(title.size())));
}

}  // namespace vek::app
