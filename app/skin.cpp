#include "app/skin.h"

#include <QPolygon>
#include <cmath>

namespace vek::app {
namespace {

constexpr int kRingX = 216, kRingY = 56, kInnerRadius = 14, kOuterRadius = 22;

// A button of the frame bitmap.
ControlLook FrameButton(QRegion region, QPoint drawn_at, QPoint drawn_at_pressed, QSize size,
                        QPoint normal, QPoint pressed, bool clip_to_region) {
    ControlLook look;
    look.region = region;
    look.bitmap = SkinBitmap::Frame;
    look.drawn_at = drawn_at;
    look.drawn_at_pressed = drawn_at_pressed;
    look.size = size;
    look.normal = normal;
    look.pressed = pressed;
    look.clip_to_region = clip_to_region;
    return look;
}

ControlLook Transport(QRect region, int drawn_x, int source_x) {
    ControlLook look;
    look.region = QRegion(region);
    look.bitmap = SkinBitmap::Transport;
    look.drawn_at = look.drawn_at_pressed = QPoint(drawn_x, 72);
    look.size = QSize(18, 18);
    look.normal = QPoint(source_x, 0);
    look.pressed = QPoint(source_x, 20);
    look.clip_to_region = false;
    return look;
}

ControlLook Label(QRect region, int drawn_y, int off_y) {
    ControlLook look;
    look.region = QRegion(region);
    look.bitmap = SkinBitmap::Transport;
    look.drawn_at = look.drawn_at_pressed = QPoint(170, drawn_y);
    look.size = QSize(18, 9);
    look.normal = QPoint(141, off_y);
    look.pressed = QPoint(141, off_y + 20);
    look.on_normal = QPoint(141, off_y + 40);
    look.on_pressed = QPoint(141, off_y + 60);
    look.clip_to_region = false;
    return look;
}

// One corner of a sector, each coordinate cut toward zero.
QPoint RingPoint(double degrees, int radius) {
    double radians = degrees * M_PI / 180.0;
    return QPoint(static_cast<int>(kRingX + radius * std::sin(radians)),
                  static_cast<int>(kRingY - radius * std::cos(radians)));
}

}  // namespace

void BuildSkinRegions(Skin* s) {
    s->controls[kClose] = FrameButton(QRegion(Box(4, 4, 29, 17)).united(Box(4, 4, 17, 29)), {4, 4},
                                      {4, 4}, {28, 28}, {30, 0}, {30, 30}, true);
    s->controls[kMinimise] = FrameButton(QRegion(Box(4, 33, 21, 47)), {4, 33}, {4, 33}, {14, 14},
                                         {0, 0}, {0, 16}, false);
    // The pressed tab is drawn one pixel higher.
    s->controls[kExpandTab] = FrameButton(QRegion(Box(251, 64, 258, 79)), {251, 63}, {251, 62},
                                          {8, 18}, {58, 0}, {58, 30}, true);

    s->controls[kOpen] = Transport(Box(32, 72, 50, 90), 32, 1);
    s->controls[kPlay] = Transport(Box(52, 72, 70, 90), 50, 21);
    s->controls[kPause] = Transport(Box(72, 72, 90, 90), 70, 41);
    s->controls[kStop] = Transport(Box(92, 72, 110, 90), 90, 61);
    s->controls[kPrevious] = Transport(Box(112, 72, 130, 90), 110, 81);
    s->controls[kNext] = Transport(Box(132, 72, 150, 90), 130, 101);
    s->controls[kRepeat] = Label(Box(172, 72, 190, 81), 72, 0);
    s->controls[kShuffle] = Label(Box(172, 82, 190, 90), 82, 10);

    s->title_strip = QRegion(Box(102, 4, 285, 19));
    s->lamp = QRegion(Box(245, 158, 250, 165));
    s->ring = QRegion(Box(191, 31, 240, 81), QRegion::Ellipse);
    for (int i = 0; i < 360; ++i) {
        QPolygon corners;
        corners << RingPoint(i, kInnerRadius) << RingPoint(i, kOuterRadius)
                << RingPoint(i - 1, kOuterRadius) << RingPoint(i - 1, kInnerRadius);
        s->sectors[i] = QRegion(corners, Qt::OddEvenFill);
    }
    s->volume_column = QRegion(Box(37, 98, 46, 179));
    for (int k = 0; k < 16; ++k) s->volume_cells[k] = Box(37, 174 - 5 * k, 46, 179 - 5 * k);
    s->equaliser = QRegion(Box(67, 98, 235, 174));
    for (int c = 0; c < 12; ++c) {
        for (int r = 0; r < 15; ++r)
            s->equaliser_cells[c][r] = Box(67 + 14 * c, 169 - 5 * r, 77 + 14 * c, 174 - 5 * r);
    }
}

bool LoadSkinBitmaps(Skin* s) {
    return s->face.load(":/skin/bitmap_102.png") && s->frame.load(":/skin/bitmap_108.png") &&
           s->transport.load(":/skin/bitmap_121.png") && s->strips.load(":/skin/bitmap_128.png");
}

QRegion WindowShape(int w, int h, int tab_y) {
    QRegion shape(0, 0, w, h);
    const QRect removed[] = {
        Box(0, 71, 18, h),                         // left of the body, below the buttons
        Box(0, 0, 3, 1),     Box(0, 0, 1, 3),      // top-left rounding
        Box(0, 69, 2, 70),   Box(0, 70, 17, 71),   // foot of the button column
        Box(32, 0, 34, 1),   Box(33, 0, 34, 3),    // close corner's top right
        Box(34, 0, 98, 6),   Box(35, 0, 97, 7),    // gap above the bar
        Box(98, 0, 99, 2),   Box(98, 0, 101, 1),   // title strip's top left
        Box(34, 14, 98, 17), Box(35, 13, 97, 18),  // slot below the bar
        Box(w - 7, 0, w, 1), Box(w - 5, 0, w, 3), Box(w - 4, 0, w, 22),  // top right
        Box(w - 3, 0, w, h),  // strip along the right edge
    };
    for (const QRect& r : removed) shape -= QRegion(r);
    if (tab_y != -1) {
        shape += QRegion(Box(w - 3, tab_y, w - 2, tab_y + 15));
        shape += QRegion(Box(w - 2, tab_y, w - 1, tab_y + 12));
        shape += QRegion(Box(w - 1, tab_y + 2, w, tab_y + 5));
    }
    return shape;
}

int SectorAt(const Skin& skin, QPoint point) {
    for (int i = 0; i < 360; ++i) {
        if (skin.sectors[i].contains(point)) return i;
    }
    return -1;
}

int VolumeCellAt(const Skin& skin, QPoint point) {
    for (int k = 0; k < 16; ++k) {
        if (skin.volume_cells[k].contains(point)) return k;
    }
    return -1;
}

int EqualiserRowAt(const Skin& skin, int band, QPoint point) {
    for (int r = 0; r < 15; ++r) {
        if (skin.equaliser_cells[band][r].contains(point)) return r;
    }
    return -1;
}

int EqualiserRowOfGain(float gain) {
    // Gains outside 0..2 come only from a hand-edited file; show them at the
    // nearest end of the column.
    int row = static_cast<int>(7.0f * gain);
    return row < 0 ? 0 : row > 14 ? 14 : row;
}

}  // namespace vek::app
