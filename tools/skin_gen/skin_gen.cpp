// vek_skin_gen: draws Vek's main window artwork and writes it as PNG files.
//
//   vek_skin_gen <out-dir>                   bitmaps 102, 108, 118, 119, 121,
//                                            128, 135, the application icon
//                                            and the tray progress icons
//   vek_skin_gen --preview <dir> <skin-dir>  pictures of the window composed
//                                            from the bitmaps in <skin-dir>
//   vek_skin_gen --icon <size> <file>        the application icon at any size,
//                                            for the desktop's icon theme
//
// Everything is computed from fixed numbers, so every run writes the same bytes.

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/skin_gen/icons.h"
#include "tools/skin_gen/preview.h"
#include "tools/skin_gen/raster.h"
#include "tools/skin_gen/skin_art.h"

namespace {

using skin::Canvas;
using skin::Scene;

bool write(const QImage& img, const QString& dir, const QString& name) {
    const QString path = dir + "/" + name;
    if (!img.save(path, "PNG")) {
        std::fprintf(stderr, "vek_skin_gen: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// Frame buttons: minimise, close corner, expand tab, normal and pressed.
Canvas frameBitmap(const Canvas& idle) {
    Scene pressed;
    pressed.minimisePressed = pressed.closePressed = pressed.tabPressed = true;
    const Canvas down = skin::renderWindow(pressed);
    Canvas c(100, 60);
    c.paste(idle.crop(4, 33, 14, 14), 0, 0);
    c.paste(down.crop(4, 33, 14, 14), 0, 16);
    c.paste(idle.crop(4, 4, 28, 28), 30, 0);
    c.paste(down.crop(4, 4, 28, 28), 30, 30);
    // The pressed tab is drawn one pixel higher than the normal one.
    c.paste(idle.crop(251, 63, 8, 18), 58, 0);
    c.paste(down.crop(251, 62, 8, 18), 58, 30);
    return c;
}

// Transport buttons, normal and pressed, and the repeat and shuffle labels
// in their four looks.
Canvas transportBitmap(const Canvas& idle) {
    Canvas c(162, 80);
    for (int i = 0; i < 6; ++i) {
        Scene s;
        s.transportPressed = i;
        const Canvas down = skin::renderWindow(s);
        c.paste(idle.crop(skin::kTransportX[i], skin::kTransportY, 18, 18), 1 + 20 * i, 0);
        c.paste(down.crop(skin::kTransportX[i], skin::kTransportY, 18, 18), 1 + 20 * i, 20);
    }
    for (int look = 0; look < 4; ++look) {
        Scene s;
        s.repeatOn = s.shuffleOn = look >= 2;
        s.repeatPressed = s.shufflePressed = look % 2 == 1;
        const Canvas w = skin::renderWindow(s);
        c.paste(w.crop(170, 72, 18, 9), 141, 20 * look);
        c.paste(w.crop(170, 82, 18, 9), 141, 20 * look + 10);
    }
    return c;
}

// Lit volume column (x 0) and the equaliser knob strip (x 9).
Canvas stripBitmap() {
    Scene s;
    s.volumeLit = true;
    s.knobsInFirstColumn = true;
    const Canvas w = skin::renderWindow(s);
    Canvas c(18, 79);
    c.paste(w.crop(37, 99, 9, 79), 0, 0);
    c.paste(w.crop(67, 99, 9, 74), 9, 0);
    return c;
}

Canvas ringBitmap() {
    Scene s;
    s.ringLit = true;
    return skin::renderWindow(s).crop(skin::kRingBoxX, skin::kRingBoxY, 48, 47);
}

int generate(const QString& dir) {
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "vek_skin_gen: cannot create %s\n", qPrintable(dir));
        return 1;
    }
    const Canvas idle = skin::renderWindow(Scene{});
    bool ok = write(idle.toImage(), dir, "bitmap_102.png");
    ok &= write(frameBitmap(idle).toImage(), dir, "bitmap_108.png");
    ok &= write(transportBitmap(idle).toImage(), dir, "bitmap_121.png");
    ok &= write(stripBitmap().toImage(), dir, "bitmap_128.png");
    ok &= write(skin::digitBitmap().toImage(), dir, "bitmap_118.png");
    ok &= write(skin::signBitmap().toImage(), dir, "bitmap_135.png");
    ok &= write(ringBitmap().toImage(), dir, "bitmap_119.png");
    ok &= write(skin::appIcon(64), dir, "icon_101.png");
    ok &= write(skin::appIcon(32), dir, "icon_101_32.png");
    ok &= write(skin::appIcon(16), dir, "icon_101_16.png");
    for (int i = 0; i <= 10; ++i)
        ok &= write(skin::progressIcon(i), dir, QString("progress_%1.png").arg(i));
    return ok ? 0 : 1;
}

// The build writes the icon theme's sizes into its own folder; they are not
// committed, since they follow from the code like everything here.
int writeIcon(const char* sizeText, const QString& path) {
    char* end = nullptr;
    const long size = std::strtol(sizeText, &end, 10);
    if (end == sizeText || *end != '\0' || size < 16 || size > 1024) {
        std::fprintf(stderr, "vek_skin_gen: icon size %s is not 16..1024\n", sizeText);
        return 2;
    }
    const QString dir = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "vek_skin_gen: cannot create %s\n", qPrintable(dir));
        return 1;
    }
    return write(skin::appIcon(static_cast<int>(size)), dir, QFileInfo(path).fileName()) ? 0 : 1;
}

void usage() {
    std::fprintf(stderr,
                 "usage: vek_skin_gen <out-dir>\n"
                 "       vek_skin_gen --preview <preview-dir> <skin-dir>\n"
                 "       vek_skin_gen --icon <size> <file>\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--icon") == 0)
        return writeIcon(argv[2], QString::fromLocal8Bit(argv[3]));
    if (argc == 2 && std::strcmp(argv[1], "--preview") != 0)
        return generate(QString::fromLocal8Bit(argv[1]));
    if (argc == 4 && std::strcmp(argv[1], "--preview") == 0)
        return skin::writePreviews(QString::fromLocal8Bit(argv[3]),
                                   QString::fromLocal8Bit(argv[2])) == 0
                   ? 0
                   : 1;
    usage();
    return 2;
}
