// The main window's face, drawn as whole-window scenes. Every state bitmap is
// cut out of a scene in which that control shows the wanted look, so its
// margins always carry exactly the skin's own pixels at the place where the
// window will copy it.
#pragma once

#include <QRegion>

#include "tools/skin_gen/raster.h"

namespace skin {

constexpr int kWinW = 258;
constexpr int kWinH = 191;
constexpr int kCollapsedH = 99;
constexpr int kTabY = 64;

// The display field (window coordinates) and the ring's centre and radii.
constexpr int kFieldX = 29, kFieldY = 29, kFieldW = 146, kFieldH = 36;
constexpr int kRingCx = 216, kRingCy = 56;
constexpr int kRingInner = 14, kRingOuter = 22;
constexpr int kRingBoxX = 192, kRingBoxY = 31;  // where the lit ring is copied to
// The ring art is centred where the sector table's truncated corners put the
// ring, and its bars keep clear of the sectors' edges.
constexpr double kRingMidX = 215.5, kRingMidY = 55.5;
constexpr double kBarInner = 14.8, kBarOuter = 21.0, kBarHalfGap = 1.05, kBarOffsetDeg = 1.0;

// Where each transport button is drawn: Open, Play, Pause, Stop, Previous, Next.
constexpr int kTransportX[6] = {32, 50, 70, 90, 110, 130};
constexpr int kTransportY = 72;

struct Scene {
    bool closePressed = false;
    bool minimisePressed = false;
    bool tabPressed = false;
    int transportPressed = -1;  // index into kTransportX, -1 for none
    bool repeatOn = false, repeatPressed = false;
    bool shuffleOn = false, shufflePressed = false;
    bool volumeLit = false;           // all sixteen volume bars lit
    bool knobsInFirstColumn = false;  // equaliser column 0 shows a knob in every row
    bool ringLit = false;             // all 24 ring bars lit
};

// The window outline as the window cuts it (w x h client area, tab at tabY or -1).
Mask windowShape(int w, int h, int tabY);

Canvas renderWindow(const Scene& scene);

// The display field's dot grid, field-local coordinates: a dot at every even
// x and y. The skin's field adds a few static legends that never lie under
// the digits or the play-state sign.
Rgb fieldGridPixel(int fx, int fy);

// Bitmaps of the time display: 118 (digits) and 135 (play-state signs).
Canvas digitBitmap();
Canvas signBitmap();

// Which ring bar (0..23, clockwise from 12 o'clock) a window pixel belongs
// to and how much of the pixel the bar covers (0..1).
struct BarHit {
    int bar = -1;
    double coverage = 0.0;
};
BarHit ringBarAt(int x, int y);

// Ring sector i (0..359) as the window builds it: the piece of ring from
// i - 1 to i degrees, corners cut toward zero, odd-even rule.
QRegion ringSector(int i);

}  // namespace skin
