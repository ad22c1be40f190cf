// Where the sheets go and how large their pages are. Sizes are given in dialog
// units: a quarter of the font's average character width across and an eighth
// of its height down, so a page drawn for one font keeps its proportions and
// still holds its texts in another.
#pragma once

#include <QSize>
#include <QSizeF>

class QFont;
class QWidget;

namespace vek::app {

// The base units of a font: its average character width and its height, in
// pixels (four dialog units across, eight down).
QSizeF DialogBaseUnits(const QFont& font);

// Dialog units to pixels by base units, each rounded to the nearest pixel.
QSize DialogUnitsToPixels(QSizeF base, int x, int y);

// The size of a sheet's page, 235 x 156 dialog units.
QSize SheetPageSize(const QFont& font);

// Puts a sheet beside its owner (the small main window) rather than over it,
// when the screen has room on the right or the left; otherwise leaves it
// where the window system puts it.
void PlaceBeside(QWidget* sheet, const QWidget* owner);

// Where windows cannot be placed (Wayland), makes the window its owner's
// transient: the compositor then keeps it beside or above the owner. Nothing
// elsewhere.
void OpenWithOwner(QWidget* window, const QWidget* owner);

}  // namespace vek::app
