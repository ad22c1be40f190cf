// The main window's layout as numbers: its outline, where each control is and
// where its looks come from and go, the ring and its sectors, the cells of the
// volume column and the equaliser. The window builds its regions from it and
// the artwork generator (tools/skin_gen) draws and cuts its bitmaps by it, so
// every picture lies where the window copies it from and looks for clicks.
#pragma once

#include <QPoint>
#include <QRect>
#include <QRegion>

#include "settings/settings.h"

namespace vek::geometry {

struct Point {
    int x = 0, y = 0;
};

// A rectangle by its corners: left and top included, right and bottom excluded.
struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    constexpr int width() const { return right - left; }
    constexpr int height() const { return bottom - top; }
};

inline constexpr int kWindowWidth = 258;
inline constexpr int kExpandedHeight = 191;
inline constexpr int kCollapsedHeight = 99;
inline constexpr int kTabY = 64;  // where the expand tab's outline joins the window's

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

enum class SkinBitmap {
    Frame,      // 108: minimise, close corner, expand tab
    Transport,  // 121: the six transport buttons, the repeat and shuffle labels
};

// Where a push control is, and where its looks come from and are drawn.
struct ControlPlace {
    Rect area;
    Rect more_area;  // joined to area (the close corner is an L); empty for the others
    SkinBitmap bitmap;
    Point drawn_at;          // destination of the copy (not always the area's corner)
    Point drawn_at_pressed;  // the expand tab rises one pixel when pressed
    Point size;              // of the copied look
    Point normal, pressed;   // sources; for Repeat and Shuffle: when off
    Point on_normal, on_pressed;  // Repeat and Shuffle when on
    bool clip_to_area;
};

inline constexpr ControlPlace kControls[kPushControlCount] = {
    // close, expand tab, minimise
    {{4, 4, 29, 17}, {4, 4, 17, 29}, SkinBitmap::Frame, {4, 4}, {4, 4}, {28, 28}, {30, 0},
     {30, 30}, {}, {}, true},
    {{251, 64, 258, 79}, {}, SkinBitmap::Frame, {251, 63}, {251, 62}, {8, 18}, {58, 0},
     {58, 30}, {}, {}, true},
    {{4, 33, 21, 47}, {}, SkinBitmap::Frame, {4, 33}, {4, 33}, {14, 14}, {0, 0}, {0, 16}, {},
     {}, false},
    // Open, Play, Pause, Stop, Previous, Next
    {{32, 72, 50, 90}, {}, SkinBitmap::Transport, {32, 72}, {32, 72}, {18, 18}, {1, 0},
     {1, 20}, {}, {}, false},
    {{52, 72, 70, 90}, {}, SkinBitmap::Transport, {50, 72}, {50, 72}, {18, 18}, {21, 0},
     {21, 20}, {}, {}, false},
    {{72, 72, 90, 90}, {}, SkinBitmap::Transport, {70, 72}, {70, 72}, {18, 18}, {41, 0},
     {41, 20}, {}, {}, false},
    {{92, 72, 110, 90}, {}, SkinBitmap::Transport, {90, 72}, {90, 72}, {18, 18}, {61, 0},
     {61, 20}, {}, {}, false},
    {{112, 72, 130, 90}, {}, SkinBitmap::Transport, {110, 72}, {110, 72}, {18, 18}, {81, 0},
     {81, 20}, {}, {}, false},
    {{132, 72, 150, 90}, {}, SkinBitmap::Transport, {130, 72}, {130, 72}, {18, 18}, {101, 0},
     {101, 20}, {}, {}, false},
    // Repeat, Shuffle
    {{172, 72, 190, 81}, {}, SkinBitmap::Transport, {170, 72}, {170, 72}, {18, 9}, {141, 0},
     {141, 20}, {141, 40}, {141, 60}, false},
    {{172, 82, 190, 90}, {}, SkinBitmap::Transport, {170, 82}, {170, 82}, {18, 9}, {141, 10},
     {141, 30}, {141, 50}, {141, 70}, false},
};

inline constexpr Rect kTitleStrip{102, 4, 285, 19};  // a press here moves the window
inline constexpr Rect kLamp{245, 158, 250, 165};
inline constexpr Rect kDisplayField{29, 29, 175, 65};  // drawn by the time display

// The ring: a click inside the ellipse of its box seeks by the sector under it.
// 360 sectors between the two radii around the centre; sector i covers i - 1 to
// i degrees clockwise from 12 o'clock. The lit ring (bitmap 119) is copied to
// kLitRingAt through the sectors that show the progress.
inline constexpr Rect kRingBox{191, 31, 240, 81};
inline constexpr Point kRingCentre{216, 56};
inline constexpr int kRingInnerRadius = 14;
inline constexpr int kRingOuterRadius = 22;
inline constexpr int kRingSectors = 360;
inline constexpr Point kLitRingAt{192, 31};
inline constexpr Rect kRingPaintArea{192, 31, 246, 85};  // the ring's own painter stays inside

// Volume column: a cell per volume step, 0 at the bottom; lit from bitmap 128's
// strip at x 0.
inline constexpr int kVolumeCells = kTopVolume + 1;
inline constexpr Rect kVolumeColumn{37, 98, 46, 179};
inline constexpr Rect VolumeCell(int k) {
    return {37, 174 - 5 * k, 46, 179 - 5 * k};
}
inline constexpr Rect kVolumeFace{37, 99, 46, 178};  // the skin restored under the cells
inline constexpr Point kVolumeStrip{0, 0};           // in bitmap 128, kVolumeFace's size

// Equaliser: a column per band of 15 rows, row 0 at the bottom; each band's knob
// is bitmap 128's strip at x 9 copied to the column's top, clipped to its row.
inline constexpr int kEqualiserRows = 15;
inline constexpr Rect kEqualiser{67, 98, 235, 174};
inline constexpr Rect EqualiserCell(int band, int row) {
    return {67 + 14 * band, 169 - 5 * row, 77 + 14 * band, 174 - 5 * row};
}
inline constexpr Rect kEqualiserFace{67, 99, 302, 178};  // the skin restored under the knobs
inline constexpr Rect kKnobStrip{9, 0, 18, 74};          // in bitmap 128
inline constexpr Point KnobStripAt(int band) {
    return {67 + 14 * band, 99};
}

// A collapsed window closes its lower edge with the skin's last rows; the
// strip where they go is repainted whenever the window folds or unfolds.
inline constexpr Rect kBottomEdge{0, 185, 259, 191};
inline constexpr Point kBottomEdgeAt{0, 93};
inline constexpr Rect kFoldStrip{0, 93, kWindowWidth, 100};

inline QRect ToQRect(const Rect& r) {
    return QRect(r.left, r.top, r.width(), r.height());
}
inline QPoint ToQPoint(const Point& p) {
    return QPoint(p.x, p.y);
}

// The window's outline for a client area of width x height: the area less
// the cut-away corners, gaps and edges, plus the expand tab's outline at tab_y
// (-1: without it).
QRegion WindowShape(int width, int height, int tab_y);

// Sector i as a region: the four corners, each coordinate cut toward zero,
// filled by the odd-even rule.
QRegion RingSector(int i);

}  // namespace vek::geometry
