// The application icon and the tray's progress icons.
#pragma once

#include <QImage>

namespace skin {

// The application icon at size x size pixels: 64, 32 and 16 for the skin,
// 16 to 256 for the desktop's icon theme.
QImage appIcon(int size);

// Tray progress icon for index 0..10 (percent / 10), 16 x 16.
QImage progressIcon(int index);

}  // namespace skin
