// The main window's face, drawn as whole-window scenes. Every state bitmap is
// cut out of a scene in which that control shows the wanted look, so its
// margins always carry exactly the skin's own pixels at the place where the
// window will copy it.
#pragma once

#include <QRegion>

#include "app/skin/geometry.h"
#include "tools/skin_gen/raster.h"

namespace skin {

// Where everything lies is the window's layout; the art follows it.
namespace geo = vek::geometry;

// The ring art is centred where the sector table's truncated corners put the
// ring, and its bars keep clear of the sectors' edges.
constexpr double kRingMidX = 215.5, kRingMidY = 55.5;
constexpr double kBarInner = 14.8, kBarOuter = 21.0, kBarHalfGap = 1.05, kBarOffsetDeg = 1.0;

// The six transport buttons, Open to Next, follow each other in the layout.
inline const geo::ControlPlace& TransportPlace(int i) {
    return geo::kControls[geo::kOpen + i];
}

struct Scene {
    bool closePressed = false;
    bool minimisePressed = false;
    bool tabPressed = false;
    int transportPressed = -1;  // TransportPlace index, -1 for none
    bool repeatOn = false, repeatPressed = false;
    bool shuffleOn = false, shufflePressed = false;
    bool volumeLit = false;           // all sixteen volume bars lit
    bool knobsInFirstColumn = false;  // equaliser column 0 shows a knob in every row
    bool ringLit = false;             // all 24 ring bars lit
};

// The window outline as the window cuts it, as a mask of the expanded window.
Mask windowMask();

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

}  // namespace skin
