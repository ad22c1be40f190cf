// The playlist as Qt's views see it: one row per entry, each fetched only when
// a view draws it, so that a list of any length shows at once. GUI thread only.
#pragma once

#include <QAbstractListModel>
#include <QString>
#include <cstdint>

namespace vek {
struct PlaylistEntry;
}

namespace vek::app {

// The rows are the entries as they were at the last Reload: a list changed
// without one (while a drop is read) shows its old number of lines, and a line
// past the present end shows nothing.
class PlaylistModel : public QAbstractListModel {
  public:
    explicit PlaylistModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // The line (display role), the full path (tool tip), and a bold font for
    // the current entry's line.
    QVariant data(const QModelIndex& index, int role) const override;

    // The list changed: views forget their rows, their selection and their
    // caret. When only what the lines show changed, they are only drawn anew.
    void Reload();

  private:
    int rows_;
    uint64_t version_;
};

}  // namespace vek::app
