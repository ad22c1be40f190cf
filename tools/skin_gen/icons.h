// The application icon, the file-type icons and the tray's progress icons.
#pragma once

#include <QImage>

namespace skin {

// The application icon at size x size pixels: 64, 32 and 16 for the skin,
// 16 to 256 for the desktop's icon theme.
QImage appIcon(int size);

// The icons of the file types the player registers: a page carrying the
// application icon, with lines of a list on it for playlists.
enum class FileIcon { Audio, Playlist };
QImage fileIcon(FileIcon kind, int size);

// Tray progress icon for index 0..10 (percent / 10), 16 x 16.
QImage progressIcon(int index);

}  // namespace skin
