#include "app/playlist_model.h"

#include <QFile>
#include <string_view>

#include "playlist/playlist.h"
#include "playlist/playlist_paths.h"

namespace vek::app {

QString EntryLine(const PlaylistEntry& entry) {
    std::string_view title = EntryFileTitle(entry.path);
    return QFile::decodeName(QByteArray(title.data(), static_cast<qsizetype>(title.size())));
}

PlaylistModel::PlaylistModel(QObject* parent)
    : QAbstractListModel(parent), rows_(PlaylistCount()) {}

int PlaylistModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

QVariant PlaylistModel::data(const QModelIndex& index, int role) const {
    const PlaylistEntry* entry = EntryAt(index.row());
    if (!entry || index.column() != 0) return {};
    switch (role) {
        case Qt::DisplayRole:
            return EntryLine(*entry);
        case Qt::ToolTipRole:
            return QFile::decodeName(entry->path);
        default:
            return {};
    }
}

void PlaylistModel::Reload() {
    beginResetModel();
    rows_ = PlaylistCount();
    endResetModel();
}

}  // namespace vek::app
