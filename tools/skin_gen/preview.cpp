#include "tools/skin_gen/preview.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPolygon>
#include <QRegion>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/skin_gen/raster.h"
#include "tools/skin_gen/skin_art.h"

namespace skin {

namespace {

constexpr double kPi = 3.14159265358979323846;

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
    int knobRows[12] = {7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7};
    int seconds = 0;
    int sign = 0;  // 0 playing, 1 stopped, 2 paused
    bool signBright = true;
    int percent = 0;
};

QRegion closeRegion() {
    return QRegion(4, 4, 25, 13) + QRegion(4, 4, 13, 25);
}
QRegion tabRegion() {
    return QRegion(251, 64, 7, 15);
}
QRegion transportRegion(int i) {
    return QRegion(32 + 20 * i, 72, 18, 18);
}
QRegion repeatRegion() {
    return QRegion(172, 72, 18, 9);
}
QRegion shuffleRegion() {
    return QRegion(172, 82, 18, 8);
}
QRegion lampRegion() {
    return QRegion(245, 158, 5, 7);
}
QRegion volumeRegion() {
    return QRegion(37, 98, 9, 81);
}
QRegion volumeCell(int k) {
    return QRegion(37, 174 - 5 * k, 9, 5);
}
QRegion eqRegion() {
    return QRegion(67, 98, 168, 76);
}
QRegion eqCell(int c, int r) {
    return QRegion(67 + 14 * c, 169 - 5 * r, 10, 5);
}

QRegion sector(int i) {
    const double t = i * kPi / 180.0, u = (i - 1) * kPi / 180.0;
    auto pt = [](double r, double a) {
        return QPoint(static_cast<int>(216 + r * std::sin(a)),
                      static_cast<int>(56 - r * std::cos(a)));
    };
    QPolygon poly;
    poly << pt(14, t) << pt(22, t) << pt(22, u) << pt(14, u);
    return QRegion(poly, Qt::OddEvenFill);
}

QRegion litSectors(int angle) {
    QRegion r;
    for (int i = 0; i < angle && i < 360; ++i) r += sector(i);
    return r;
}

int restAngle(int percent) {
    if (percent >= 100) return 360;
    const int a = static_cast<int>(percent * 0.01f * 360.0f);
    return a - a % 15;
}

// The time display's redraw: field background, play-state sign, digits.
QImage timeField(const Bitmaps& b, const View& v) {
    QImage field = b.skin.copy(29, 29, 146, 36);
    QPainter p(&field);
    const int sx = v.sign == 0 ? 20 : v.sign == 2 ? 36 : 28;
    p.drawImage(QPoint(60, 22), b.signs, QRect(sx, v.signBright ? 0 : 10, 8, 11));
    char text[32];
    std::snprintf(text, sizeof text, "%01d:%02d:%02d", v.seconds / 3600, (v.seconds % 3600) / 60,
                  v.seconds % 60);
    int dx = 72;
    for (const char* c = text; *c && dx < 152; ++c, dx += 10)
        p.drawImage(QPoint(dx, 20), b.digits, QRect(12 * (*c - '0'), 0, 12, 16));
    return field;
}

// Paints the window for view v, limited to the update region, as the window
// does: background erase, the controls, then the two display threads.
void paint(QImage& target, const Bitmaps& b, const View& v, const QRegion& update) {
    QPainter p(&target);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.setClipRegion(update);
    const bool full = update.contains(QRect(0, 0, 258, 191));
    if (full) {
        p.drawImage(0, 0, b.skin);
        if (!v.expanded) p.drawImage(QPoint(0, 93), b.skin, QRect(0, 185, 258, 6));
        p.drawImage(29, 29, timeField(b, v));
    }
    auto clipped = [&](const QRegion& clip, QPoint at, const QImage& src, QRect from) {
        p.setClipRegion(update & clip);
        p.drawImage(at, src, from);
        p.setClipRegion(update);
    };
    // 1. lamp
    if (v.expanded) {
        p.setClipRegion(update & lampRegion());
        p.fillRect(245, 158, 5, 7, v.eqEnabled ? QColor(255, 0, 0) : QColor(0, 255, 0));
        p.setClipRegion(update);
    }
    // 2. frame buttons
    p.drawImage(QPoint(4, 33), b.frame, QRect(0, v.minimisePressed ? 16 : 0, 14, 14));
    clipped(closeRegion(), {4, 4}, b.frame, QRect(30, v.closePressed ? 30 : 0, 28, 28));
    clipped(tabRegion(), {251, v.tabPressed ? 62 : 63}, b.frame,
            QRect(58, v.tabPressed ? 30 : 0, 8, 18));
    // 3. transport and labels
    for (int i = 0; i < 6; ++i)
        p.drawImage(QPoint(kTransportX[i], 72), b.transport,
                    QRect(1 + 20 * i, v.transportPressed == i ? 20 : 0, 18, 18));
    const int ry = (v.repeatOn ? 40 : 0) + (v.repeatPressed ? 20 : 0);
    const int sy = (v.shuffleOn ? 50 : 10) + (v.shufflePressed ? 20 : 0);
    p.drawImage(QPoint(170, 72), b.transport, QRect(141, ry, 18, 9));
    p.drawImage(QPoint(170, 82), b.transport, QRect(141, sy, 18, 9));
    if (v.expanded) {
        // 4. volume column
        p.drawImage(QPoint(37, 99), b.skin, QRect(37, 99, 9, 79));
        QRegion lit;
        for (int k = 0; k <= v.volume; ++k) lit += volumeCell(k);
        clipped(lit, {37, 99}, b.strips, QRect(0, 0, 9, 79));
        // 5. equaliser (skin restored inside its own area)
        clipped(eqRegion(), {67, 99}, b.skin, QRect(67, 99, 235, 79));
        for (int c = 0; c < 12; ++c)
            clipped(eqCell(c, v.knobRows[c]), {67 + 14 * c, 99}, b.strips, QRect(9, 0, 9, 74));
    }
    // The ring thread's rest drawing.
    if (update.intersects(QRect(191, 31, 49, 50))) {
        p.drawImage(QPoint(192, 31), b.skin, QRect(192, 31, 54, 54));
        clipped(litSectors(restAngle(v.percent)), {192, 31}, b.ring, QRect(0, 0, 64, 64));
    }
}

// Cuts the window outline out of a finished picture (the shape is made once
// for the full height, as the window does).
QImage shaped(const QImage& img) {
    const Mask m = windowShape(258, 191, 64);
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
        p.setClipRegion(litSectors(angle));
        p.drawImage(QPoint(192, 31), b.ring, QRect(0, 0, 64, 64));
        p.end();
        std::vector<int> total(24, 0), shown(24, 0);
        for (int y = 31; y < 78; ++y)
            for (int x = 192; x < 240; ++x) {
                if (b.ring.pixel(x - 192, y - 31) == b.skin.pixel(x, y)) continue;
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
    const QRegion skip = lampRegion() + QRegion(29, 29, 146, 36);
    int problems = 0;
    const Mask m = windowShape(258, 191, 64);
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
    const int curve[12] = {10, 11, 9, 8, 7, 6, 6, 7, 9, 11, 12, 14};
    for (int c = 0; c < 12; ++c) v.knobRows[c] = curve[c];
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
    paint(img, b, pressed, transportRegion(1));
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
    for (const QRegion& r : {closeRegion(), QRegion(4, 33, 17, 14), tabRegion(), shuffleRegion(),
                             lampRegion(), volumeRegion()})
        paint(img, b, others, r);
    {
        QPainter p(&img);
        p.drawImage(29, 29, timeField(b, others));
        p.setClipRegion(litSectors(360));
        p.drawImage(QPoint(192, 31), b.ring, QRect(0, 0, 64, 64));
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
        if (i >= 0) paint(w, b, pv, transportRegion(i) + repeatRegion());
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
