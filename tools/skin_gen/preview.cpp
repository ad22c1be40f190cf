#include "tools/skin_gen/preview.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <cstdio>
#include <string>
#include <vector>

#include "app/skin/drawing.h"
#include "tools/skin_gen/raster.h"
#include "tools/skin_gen/skin_art.h"

namespace skin {

namespace {

struct Bitmaps {
    QImage skin, frame, transport, strips, digits, signs, ring;
};

// The player's state as far as the face shows it.
struct View {
    bool expanded = true;
    bool closePressed = false, minimisePressed = false, tabPressed = false;
    int transportPressed = -1;
    bool repeatOn = false, repeatPressed = false;
    bool shuffleOn = false, shufflePressed = false;
    bool eqEnabled = true;
    int volume = 7;
    int knobRows[vek::kEqBands] = {7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7};
    int seconds = 0;
    int sign = 0;  // 0 playing, 1 stopped, 2 paused
    bool signBright = true;
    int percent = 0;
};

QRegion areaOf(geo::PushControl control) {
    const geo::ControlPlace& place = geo::kControls[control];
    return QRegion(geo::ToQRect(place.area)) + QRegion(geo::ToQRect(place.more_area));
}
QRegion lampRegion() {
    return QRegion(geo::ToQRect(geo::kLamp));
}
QRegion volumeCell(int k) {
    return QRegion(geo::ToQRect(geo::VolumeCell(k)));
}
QRegion eqCell(int c, int r) {
    return QRegion(geo::ToQRect(geo::EqualiserCell(c, r)));
}

// The time display's redraw, as its thread draws it.
QImage timeField(const Bitmaps& b, const View& v) {
    const vek::app::TimeSign signs[3] = {vek::app::TimeSign::Playing, vek::app::TimeSign::Stopped,
                                         vek::app::TimeSign::Paused};
    QImage field(geo::ToQRect(geo::kDisplayField).size(), QImage::Format_RGB32);
    vek::app::DrawTimeField(&field, {b.skin, b.digits, b.signs}, v.seconds, signs[v.sign],
                            v.signBright);
    return field;
}

// The ring's box as its thread draws it at rest at an angle, laid over the
// window's picture.
void drawRing(QPainter& p, const Bitmaps& b, int angle) {
    const QRect area = geo::ToQRect(geo::kRingPaintArea);
    QImage box(area.size(), QImage::Format_RGB32);
    vek::app::DrawRingAtRest(&box, {b.ring, b.skin.copy(area)}, angle);
    p.drawImage(area.topLeft(), box);
}

// Paints the window for view v, limited to the update region, as the window
// does: background erase, the controls, then the two display threads.
void paint(QImage& target, const Bitmaps& b, const View& v, const QRegion& update) {
    QPainter p(&target);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.setClipRegion(update);
    const bool full = update.contains(QRect(0, 0, geo::kWindowWidth, geo::kExpandedHeight));
    if (full) {
        p.drawImage(0, 0, b.skin);
        if (!v.expanded)
            p.drawImage(geo::ToQPoint(geo::kBottomEdgeAt), b.skin, geo::ToQRect(geo::kBottomEdge));
        p.drawImage(geo::ToQRect(geo::kDisplayField).topLeft(), timeField(b, v));
    }
    auto clipped = [&](const QRegion& clip, QPoint at, const QImage& src, QRect from) {
        p.setClipRegion(update & clip);
        p.drawImage(at, src, from);
        p.setClipRegion(update);
    };
    auto control = [&](geo::PushControl which, bool pressed, bool on) {
        const geo::ControlPlace& place = geo::kControls[which];
        const QImage& src = place.bitmap == geo::SkinBitmap::Frame ? b.frame : b.transport;
        const geo::Point from = pressed ? (on ? place.on_pressed : place.pressed)
                                        : (on ? place.on_normal : place.normal);
        const QPoint at = geo::ToQPoint(pressed ? place.drawn_at_pressed : place.drawn_at);
        const QRect source(from.x, from.y, place.size.x, place.size.y);
        if (place.clip_to_area)
            clipped(areaOf(which), at, src, source);
        else
            p.drawImage(at, src, source);
    };
    // 1. lamp
    if (v.expanded) {
        p.setClipRegion(update & lampRegion());
        p.fillRect(geo::ToQRect(geo::kLamp), v.eqEnabled ? QColor(255, 0, 0) : QColor(0, 255, 0));
        p.setClipRegion(update);
    }
    // 2. frame buttons
    control(geo::kMinimise, v.minimisePressed, false);
    control(geo::kClose, v.closePressed, false);
    control(geo::kExpandTab, v.tabPressed, false);
    // 3. transport and labels
    for (int i = 0; i < 6; ++i)
        control(static_cast<geo::PushControl>(geo::kOpen + i), v.transportPressed == i, false);
    control(geo::kRepeat, v.repeatPressed, v.repeatOn);
    control(geo::kShuffle, v.shufflePressed, v.shuffleOn);
    if (v.expanded) {
        // 4. volume column
        const QRect volume = geo::ToQRect(geo::kVolumeFace);
        p.drawImage(volume.topLeft(), b.skin, volume);
        QRegion lit;
        for (int k = 0; k <= v.volume; ++k) lit += volumeCell(k);
        clipped(lit, volume.topLeft(), b.strips,
                QRect(geo::ToQPoint(geo::kVolumeStrip), volume.size()));
        // 5. equaliser (skin restored inside its own area)
        const QRect face = geo::ToQRect(geo::kEqualiserFace);
        clipped(QRegion(geo::ToQRect(geo::kEqualiser)), face.topLeft(), b.skin, face);
        for (int c = 0; c < vek::kEqBands; ++c)
            clipped(eqCell(c, v.knobRows[c]), geo::ToQPoint(geo::KnobStripAt(c)), b.strips,
                    geo::ToQRect(geo::kKnobStrip));
    }
    // The ring thread's rest drawing.
    if (update.intersects(geo::ToQRect(geo::kRingBox)))
        drawRing(p, b, vek::app::RingRestAngle(v.percent));
}

// Cuts the window outline out of a finished picture (the shape is made once
// for the full height, as the window does).
QImage shaped(const QImage& img) {
    const Mask m = windowMask();
    QImage out = img.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            if (!m.at(x, y)) out.setPixel(x, y, qRgba(0, 0, 0, 0));
    return out;
}

// Puts a picture on a plain desktop-like ground and scales it up.
QImage onGround(const QImage& img, int factor) {
    QImage ground(img.width() + 24, img.height() + 24, QImage::Format_ARGB32);
    ground.fill(QColor(96, 118, 140));
    QPainter p(&ground);
    p.drawImage(12, 12, img);
    p.end();
    if (factor == 1) return ground;
    return ground.scaled(ground.width() * factor, ground.height() * factor, Qt::IgnoreAspectRatio,
                         Qt::FastTransformation);
}

bool save(const QImage& img, const QString& dir, const QString& name) {
    const bool ok1 = onGround(img, 1).save(dir + "/" + name + ".png");
    const bool ok3 = onGround(img, 3).save(dir + "/" + name + "_x3.png");
    return ok1 && ok3;
}

// A part of a picture scaled up for checking single pixels.
bool saveDetail(const QImage& img, QRect part, int factor, const QString& dir,
                const QString& name) {
    QImage piece(part.size(), QImage::Format_ARGB32);
    piece.fill(QColor(96, 118, 140));
    QPainter p(&piece);
    p.drawImage(QPoint(0, 0), img, part);
    p.end();
    return piece
        .scaled(piece.width() * factor, piece.height() * factor, Qt::IgnoreAspectRatio,
                Qt::FastTransformation)
        .save(dir + "/detail_" + name + ".png");
}

QImage fullPaint(const Bitmaps& b, const View& v) {
    QImage img(258, v.expanded ? 191 : 99, QImage::Format_ARGB32);
    img.fill(Qt::black);
    paint(img, b, v, QRegion(0, 0, 258, 191));
    return shaped(img);
}

// Checks that every ring step lights whole bars only.
int checkRing(const Bitmaps& b) {
    int problems = 0;
    for (int angle = 0; angle <= 360; angle += 15) {
        QImage img = b.skin.copy();
        QPainter p(&img);
        drawRing(p, b, angle);
        p.end();
        const QPoint at = geo::ToQPoint(geo::kLitRingAt);
        std::vector<int> total(24, 0), shown(24, 0);
        for (int y = at.y(); y < at.y() + b.ring.height(); ++y)
            for (int x = at.x(); x < at.x() + b.ring.width(); ++x) {
                if (b.ring.pixel(x - at.x(), y - at.y()) == b.skin.pixel(x, y)) continue;
                const BarHit hit = ringBarAt(x, y);
                if (hit.bar < 0) {
                    std::printf("ring: lit pixel (%d,%d) outside every bar\n", x, y);
                    ++problems;
                    continue;
                }
                ++total[hit.bar];
                if (img.pixel(x, y) != b.skin.pixel(x, y)) ++shown[hit.bar];
            }
        for (int bar = 0; bar < 24; ++bar) {
            const int want = bar < angle / 15 ? total[bar] : 0;
            if (shown[bar] != want) {
                std::printf("ring: angle %d, bar %d shows %d of %d lit pixels (want %d)\n", angle,
                            bar, shown[bar], total[bar], want);
                ++problems;
            }
        }
    }
    return problems;
}

// Checks that the state bitmaps carry the skin's own pixels wherever the
// window shows them in the idle look.
int checkIdle(const Bitmaps& b) {
    View idle;
    idle.volume = -1;  // nothing lit
    for (int& r : idle.knobRows) r = -1;
    QImage painted(258, 191, QImage::Format_ARGB32);
    painted.fill(Qt::black);
    paint(painted, b, idle, QRegion(0, 0, 258, 191));
    // The lamp and the display field differ from the skin by design.
    const QRegion skip = lampRegion() + QRegion(geo::ToQRect(geo::kDisplayField));
    int problems = 0;
    const Mask m = windowMask();
    for (int y = 0; y < 191; ++y)
        for (int x = 0; x < 258; ++x) {
            if (!m.at(x, y) || skip.contains(QPoint(x, y))) continue;
            if ((painted.pixel(x, y) & 0xffffff) != (b.skin.pixel(x, y) & 0xffffff)) {
                if (problems < 20) std::printf("idle: (%d,%d) differs from the skin\n", x, y);
                ++problems;
            }
        }
    return problems;
}

}  // namespace

int writePreviews(const QString& skinDir, const QString& outDir) {
    Bitmaps b;
    auto load = [&](const char* name) {
        QImage img(skinDir + "/" + name);
        if (img.isNull()) std::printf("cannot read %s/%s\n", qPrintable(skinDir), name);
        return img.convertToFormat(QImage::Format_ARGB32);
    };
    b.skin = load("bitmap_102.png");
    b.frame = load("bitmap_108.png");
    b.transport = load("bitmap_121.png");
    b.strips = load("bitmap_128.png");
    b.digits = load("bitmap_118.png");
    b.signs = load("bitmap_135.png");
    b.ring = load("bitmap_119.png");
    if (b.skin.isNull() || b.frame.isNull() || b.transport.isNull() || b.strips.isNull() ||
        b.digits.isNull() || b.signs.isNull() || b.ring.isNull())
        return 1;
    QDir().mkpath(outDir);

    View v;
    v.repeatOn = true;
    v.volume = 7;
    const int curve[vek::kEqBands] = {10, 11, 9, 8, 7, 6, 6, 7, 9, 11, 12, 14};
    for (int c = 0; c < vek::kEqBands; ++c) v.knobRows[c] = curve[c];
    v.seconds = 187;
    v.percent = 40;

    const QImage expanded = fullPaint(b, v);
    bool ok = save(expanded, outDir, "expanded");
    ok &= saveDetail(expanded, QRect(0, 0, 110, 72), 8, outDir, "top_left");
    ok &= saveDetail(expanded, QRect(96, 0, 162, 30), 6, outDir, "title");
    ok &= saveDetail(expanded, QRect(26, 26, 152, 42), 6, outDir, "field");
    ok &= saveDetail(expanded, QRect(186, 24, 72, 66), 10, outDir, "ring");
    ok &= saveDetail(expanded, QRect(26, 66, 170, 32), 6, outDir, "transport");
    ok &= saveDetail(expanded, QRect(16, 90, 110, 101), 6, outDir, "lower_left");
    ok &= saveDetail(expanded, QRect(170, 90, 88, 101), 6, outDir, "lower_right");
    View collapsed = v;
    collapsed.expanded = false;
    ok &= save(fullPaint(b, collapsed), outDir, "collapsed");

    // Pressing Play repaints only its region over the window as it was.
    QImage img(258, 191, QImage::Format_ARGB32);
    img.fill(Qt::black);
    paint(img, b, v, QRegion(0, 0, 258, 191));
    View pressed = v;
    pressed.transportPressed = 1;
    pressed.signBright = false;
    paint(img, b, pressed, areaOf(geo::kPlay));
    ok &= save(shaped(img), outDir, "play_pressed");
    ok &= saveDetail(shaped(img), QRect(28, 68, 66, 26), 10, outDir, "play_pressed");

    // Every other pressed look, each repainted through its own region.
    View others = v;
    others.closePressed = others.minimisePressed = others.tabPressed = true;
    others.shuffleOn = true;
    others.shufflePressed = true;
    others.eqEnabled = false;
    others.volume = 15;
    others.percent = 100;
    others.seconds = 36000;
    others.sign = 2;
    img.fill(Qt::black);
    paint(img, b, v, QRegion(0, 0, 258, 191));
    for (const QRegion& r :
         {areaOf(geo::kClose), areaOf(geo::kMinimise), areaOf(geo::kExpandTab),
          areaOf(geo::kShuffle), lampRegion(), QRegion(geo::ToQRect(geo::kVolumeColumn))})
        paint(img, b, others, r);
    {
        QPainter p(&img);
        p.drawImage(29, 29, timeField(b, others));
        drawRing(p, b, 360);
    }
    ok &= save(shaped(img), outDir, "others_pressed");
    ok &= saveDetail(shaped(img), QRect(0, 0, 40, 50), 10, outDir, "pressed_frame");
    ok &= saveDetail(shaped(img), QRect(236, 56, 22, 30), 12, outDir, "pressed_tab");
    ok &= saveDetail(expanded, QRect(236, 56, 22, 30), 12, outDir, "tab");
    ok &= saveDetail(expanded, QRect(18, 120, 40, 40), 12, outDir, "volume_legend");
    ok &= saveDetail(expanded, QRect(24, 0, 90, 34), 9, outDir, "rail");

    // Every transport button pressed, one after the other, side by side.
    QImage sheet(258, 30 * 7, QImage::Format_ARGB32);
    sheet.fill(Qt::black);
    for (int i = -1; i < 6; ++i) {
        QImage w(258, 191, QImage::Format_ARGB32);
        w.fill(Qt::black);
        paint(w, b, v, QRegion(0, 0, 258, 191));
        View pv = v;
        pv.transportPressed = i;
        pv.repeatPressed = i == 2;
        pv.repeatOn = i != 3;
        if (i >= 0)
            paint(w, b, pv,
                  areaOf(static_cast<geo::PushControl>(geo::kOpen + i)) + areaOf(geo::kRepeat));
        QPainter p(&sheet);
        p.drawImage(QPoint(0, 30 * (i + 1)), w, QRect(0, 66, 258, 30));
    }
    ok &= save(sheet, outDir, "transport_states");

    // The ring at every rest step.
    QImage rings(56 * 9, 56 * 3, QImage::Format_ARGB32);
    rings.fill(Qt::black);
    for (int step = 0; step < 25; ++step) {
        View rv = v;
        rv.percent = step == 24 ? 100 : (step * 15 * 100 + 359) / 360;
        QImage w(258, 191, QImage::Format_ARGB32);
        w.fill(Qt::black);
        paint(w, b, rv, QRegion(0, 0, 258, 191));
        QPainter p(&rings);
        p.drawImage(QPoint(56 * (step % 9), 56 * (step / 9)), w, QRect(189, 28, 56, 56));
    }
    ok &= save(rings, outDir, "ring_steps");

    // The icons: application icon at its three sizes, the eleven progress
    // icons, once at their size and once four times larger.
    {
        QImage sheet(8 + 11 * 72, 8 + 64 + 8 + 16 + 8 + 64 + 8, QImage::Format_ARGB32);
        sheet.fill(QColor(96, 118, 140));
        QPainter p(&sheet);
        int x = 8;
        for (const char* name : {"icon_101.png", "icon_101_32.png", "icon_101_16.png"}) {
            const QImage icon(skinDir + "/" + name);
            p.drawImage(x, 8, icon);
            p.drawImage(QRect(x + icon.width() + 8, 8, 64, 64), icon);
            x += icon.width() + 8 + 64 + 16;
        }
        for (int i = 0; i <= 10; ++i) {
            const QImage icon(skinDir + QString("/progress_%1.png").arg(i));
            p.drawImage(8 + 72 * i, 80, icon);
            p.drawImage(QRect(8 + 72 * i, 104, 64, 64), icon);
        }
        p.end();
        ok &= sheet.save(outDir + "/icons.png");
    }

    // The state bitmaps themselves, four times their size.
    {
        const QImage* parts[6] = {&b.frame, &b.transport, &b.strips, &b.digits, &b.signs, &b.ring};
        QImage sheet(8 + (100 + 162 + 18 + 48) * 4 + 5 * 8, 8 + (80 + 36 + 16) * 4 + 3 * 8,
                     QImage::Format_ARGB32);
        sheet.fill(QColor(96, 118, 140));
        QPainter p(&sheet);
        int x = 8;
        for (int i : {0, 1, 2, 5}) {
            p.drawImage(QRect(x, 8, parts[i]->width() * 4, parts[i]->height() * 4), *parts[i]);
            x += parts[i]->width() * 4 + 8;
        }
        p.drawImage(QRect(8, 8 + 80 * 4 + 8, 146 * 4, 36 * 4), b.signs);
        p.drawImage(QRect(8, 8 + 80 * 4 + 8 + 36 * 4 + 8, 132 * 4, 16 * 4), b.digits);
        p.end();
        ok &= sheet.save(outDir + "/bitmaps.png");
    }

    const int problems = checkRing(b) + checkIdle(b);
    std::printf("previews written to %s; %d geometry problem(s)\n", qPrintable(outDir), problems);
    return ok ? problems : problems + 1;
}

}  // namespace skin
