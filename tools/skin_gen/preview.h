// Composes pictures of the main window from the finished bitmaps, painting
// them the way the window does (same sources, destinations and clips), so
// the art can be judged and its geometry checked before the window exists.
#pragma once

#include <QString>

namespace skin {

// Loads the bitmaps from skinDir and writes preview PNGs into outDir.
// Returns the number of geometry problems found (0 when all is well).
int writePreviews(const QString& skinDir, const QString& outDir);

}  // namespace skin
