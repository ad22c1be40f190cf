// Sizes given in dialog units: a quarter of the font's average character width
// across and an eighth of its height down, so a page drawn for one font keeps
// its proportions and still holds its texts in another.
#pragma once

#include <QSize>

class QFont;

namespace vek::app {

QSize DialogUnitsToPixels(const QFont& font, int x, int y);

// The size of a sheet's page, 235 x 156 dialog units.
QSize SheetPageSize(const QFont& font);

}  // namespace vek::app
