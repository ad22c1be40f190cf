#include "app/skin/geometry.h"

#include <QPolygon>
#include <cmath>

namespace vek::geometry {
namespace {

// One corner of a sector, each coordinate cut toward zero.
QPoint RingPoint(double degrees, int radius) {
    double radians = degrees * M_PI / 180.0;
    return QPoint(static_cast<int>(kRingCentre.x + radius * std::sin(radians)),
                  static_cast<int>(kRingCentre.y - radius * std::cos(radians)));
}

}  // namespace

QRegion WindowShape(int w, int h, int tab_y) {
    QRegion shape(0, 0, w, h);
    const Rect removed[] = {
        {0, 71, 18, h},                         // left of the body, below the buttons
        {0, 0, 3, 1},     {0, 0, 1, 3},         // top-left rounding
        {0, 69, 2, 70},   {0, 70, 17, 71},      // foot of the button column
        {32, 0, 34, 1},   {33, 0, 34, 3},       // close corner's top right
        {34, 0, 98, 6},   {35, 0, 97, 7},       // gap above the bar
        {98, 0, 99, 2},   {98, 0, 101, 1},      // title strip's top left
        {34, 14, 98, 17}, {35, 13, 97, 18},     // slot below the bar
        {w - 7, 0, w, 1}, {w - 5, 0, w, 3}, {w - 4, 0, w, 22},  // top right
        {w - 3, 0, w, h},  // strip along the right edge
    };
    for (const Rect& r : removed) shape -= QRegion(ToQRect(r));
    if (tab_y != -1) {
        const Rect tab[] = {
            {w - 3, tab_y, w - 2, tab_y + 15},
            {w - 2, tab_y, w - 1, tab_y + 12},
            {w - 1, tab_y + 2, w, tab_y + 5},
        };
        for (const Rect& r : tab) shape += QRegion(ToQRect(r));
    }
    return shape;
}

QRegion RingSector(int i) {
    QPolygon corners;
    corners << RingPoint(i, kRingInnerRadius) << RingPoint(i, kRingOuterRadius)
            << RingPoint(i - 1, kRingOuterRadius) << RingPoint(i - 1, kRingInnerRadius);
    return QRegion(corners, Qt::OddEvenFill);
}

}  // namespace vek::geometry
