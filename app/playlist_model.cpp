#include "app/playlist_model.h"

#include <QFile>
#include <QFont>

#include "app/entry_title.h"
#include "playlist/playlist.h"

namespace vek::app {

PlaylistModel::PlaylistModel(QObject* parent)
    : QAbstractListModel(parent), rows_(PlaylistCount()), version_(PlaylistVersion()) {}

int PlaylistModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

QVariant PlaylistModel::data(const QModelIndex& index, int role) const {
    const PlaylistEntry* entry = EntryAt(index.row());
    if (!entry || index.column() != 0) return {};
    switch (role) {
        case Qt::DisplayRole:
            return EntryDisplayTitle(*entry);
        case Qt::ToolTipRole:
            return QFile::decodeName(entry->path);
        case Qt::FontRole: {
            // The entry that plays, or played last, stands out.
            if (entry != gPlaylist.current || gPlaylist.current_removed) return {};
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        default:
            return {};
    }
}

void PlaylistModel::Reload() {
    // The same entries in the same order (a stream's title changed): the lines
    // are drawn anew and the user's selection stays.
    if (version_ == PlaylistVersion() && rows_ == PlaylistCount()) {
        if (rows_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, 0));
        return;
    }
    beginResetModel();
    rows_ = PlaylistCount();
    version_ = PlaylistVersion();
    endResetModel();
}

}  // namespace vek::app
