// The skin of the main window as data: its bitmaps, the outline of the window
// and every control's region, built once at window creation and read-only after.
#pragma once

#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QSize>

namespace vek::app {

inline constexpr int kWindowWidth = 258;
inline constexpr int kExpandedHeight = 191;
inline constexpr int kCollapsedHeight = 99;
inline constexpr int kTabY = 64;

// The push controls, in the order a press tests them.
enum PushControl {
    kClose,
    kExpandTab,
    kMinimise,
    kOpen,
    kPlay,
    kPause,
    kStop,
    kPrevious,
    kNext,
    kRepeat,
    kShuffle,
    kPushControlCount
};

enum class SkinBitmap { Frame, Transport };

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
    QRegion sectors[360];
    QRegion volume_column;
    QRect volume_cells[16];  // 0 at the bottom
    QRegion equaliser;
    QRect equaliser_cells[12][15];  // [band][row], row 0 at the bottom
};

// A rectangle given by its corners, right and bottom excluded.
inline QRect Box(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

// Builds every region and the sector table.
void BuildSkinRegions(Skin* skin);

// Loads the four bitmaps of the window; false when any is missing.
bool LoadSkinBitmaps(Skin* skin);

// The window's outline for a client area of width x height, with the expand
// tab's outline added at tab_y (-1: without it).
QRegion WindowShape(int width, int height, int tab_y);

// The first sector containing the point, or -1.
int SectorAt(const Skin& skin, QPoint point);
// The volume cell under the point, or -1.
int VolumeCellAt(const Skin& skin, QPoint point);
// The row of band's column under the point, or -1.
int EqualiserRowAt(const Skin& skin, int band, QPoint point);

// The row that shows a band gain: trunc(7 g), kept inside the column.
int EqualiserRowOfGain(float gain);

}  // namespace vek::app
