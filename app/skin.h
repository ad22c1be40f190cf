// The skin of the main window as data: its bitmaps, the outline of the window
// and every control's region, built once at window creation and read-only after.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QSize>

#include "app/skin/geometry.h"

namespace vek::app {

// The layout's names (window size, controls, cells) are the window's too.
using namespace vek::geometry;

// Where a push control's looks come from and where they go.
struct ControlLook {
    QRegion region;
    SkinBitmap bitmap;
    QPoint drawn_at;          // destination of the copy (not always the region's corner)
    QPoint drawn_at_pressed;  // the expand tab rises one pixel when pressed
    QSize size;
    QPoint normal, pressed;        // sources; for Repeat and Shuffle: when off
    QPoint on_normal, on_pressed;  // Repeat and Shuffle when on
    bool clip_to_region;
};

struct Skin {
    QPixmap face;       // the whole window in its idle look
    QPixmap frame;      // minimise, close corner, expand tab
    QPixmap transport;  // transport buttons, repeat and shuffle labels
    QPixmap strips;     // lit volume column (x 0) and equaliser knobs (x 9)

    ControlLook controls[kPushControlCount];
    QRegion title_strip;
    QRegion lamp;
    QRegion ring;  // the ellipse the seek click tests first
    QRegion sectors[kRingSectors];
    QRegion volume_column;
    QRect volume_cells[kVolumeCells];  // 0 at the bottom
    QRegion equaliser;
    QRect equaliser_cells[kEqBands][kEqualiserRows];  // [band][row], row 0 at the bottom
};

// Builds every region and the sector table from the layout.
void BuildSkinRegions(Skin* skin);

// Loads the four bitmaps of the window; false when any is missing.
bool LoadSkinBitmaps(Skin* skin);

// One of the skin's bitmaps ("bitmap_119.png") as a 32-bit image, which any
// thread may draw from and into; null when it is missing.
QImage LoadSkinImage(const char* name);

// The first sector containing the point, or -1.
int SectorAt(const Skin& skin, QPoint point);
// The volume cell under the point, or -1.
int VolumeCellAt(const Skin& skin, QPoint point);
// The row of band's column under the point, or -1.
int EqualiserRowAt(const Skin& skin, int band, QPoint point);

// The row that shows a band gain: trunc(7 g), kept inside the column.
int EqualiserRowOfGain(float gain);

}  // namespace vek::app
