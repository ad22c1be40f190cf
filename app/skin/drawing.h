// What the two display threads draw, as plain procedures over images: the
// time field (elapsed time in dot-matrix digits beside the play-state sign)
// and the progress ring's box. Only Qt's image classes are used, so the
// threads can draw off the GUI thread, and the artwork generator previews the
// window with the very same procedures.
#pragma once

#include <QImage>
#include <QRegion>
#include <cstddef>

namespace vek::app {

// --- Time field ----------------------------------------------------------

// Whole seconds as H:MM:SS with at least one digit of hours ("0:03:07" for
// 187); a negative count shows as 0. Returns the text's length; out must hold
// 16 bytes, enough for any int.
int FormatElapsedTime(int seconds, char* out, size_t size);

// The sign beside the time, by the play state it stands for.
enum class TimeSign { Playing, Paused, Stopped };

struct TimeBitmaps {
    QImage face;    // the skin: its pixels under the field are the background
    QImage digits;  // "0" to "9" and ":", 12 x 16 each, side by side
    QImage signs;   // the signs, bright in the top row and dim below
};

// Draws the whole field (the display field's size) into *field: background,
// the sign, bright or dim, and the time, cut at the field's right end.
void DrawTimeField(QImage* field, const TimeBitmaps& bitmaps, int seconds, TimeSign sign,
                   bool bright);

// --- Progress ring -------------------------------------------------------

// The ring's angle for a percent, trunc(p x 0.01 x 360) in single precision;
// percents below 0 give 0 and above 100 give 360.
int RingAngle(int percent);

// The angle shown at rest: RingAngle cut down to whole 15-degree bars.
int RingRestAngle(int percent);

// The ring's sectors from..to-1 (degrees clockwise from 12 o'clock) as one
// region, in the coordinates of the ring's box.
QRegion RingSectorsInBox(int from, int to);

// The ring's box: kRingPaintArea's pixels. lit is bitmap 119, unlit the box as
// the skin shows it.
struct RingBitmaps {
    QImage lit;
    QImage unlit;
};

// Lights the sectors 0..angle-1 of the box (angle 0: nothing).
void LightRing(QImage* box, const RingBitmaps& bitmaps, int angle);
// Puts the unlit ring back over the sectors from angle to 359.
void DimRingFrom(QImage* box, const RingBitmaps& bitmaps, int angle);
// The box at rest: unlit throughout, then lit up to angle.
void DrawRingAtRest(QImage* box, const RingBitmaps& bitmaps, int angle);

}  // namespace vek::app
