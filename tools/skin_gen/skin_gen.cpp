// vek_skin_gen: draws Vek's main window artwork and writes it as PNG files.
//
//   vek_skin_gen <out-dir>                   bitmaps 102, 108, 118, 119, 121,
//                                            128, 135, the application icon
//                                            the file-type icons and the tray
//                                            progress icons
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

namespace geo = vek::geometry;

// Cuts a control's normal look out of idle and its pressed look out of down,
// from where the window draws them, into the places the window copies them
// from.
void pasteLooks(Canvas& bitmap, const geo::ControlPlace& place, const Canvas& idle,
                const Canvas& down) {
    bitmap.paste(idle.crop(place.drawn_at.x, place.drawn_at.y, place.size.x, place.size.y),
                 place.normal.x, place.normal.y);
    bitmap.paste(down.crop(place.drawn_at_pressed.x, place.drawn_at_pressed.y, place.size.x,
                           place.size.y),
                 place.pressed.x, place.pressed.y);
}

// Frame buttons: minimise, close corner, expand tab, normal and pressed.
Canvas frameBitmap(const Canvas& idle) {
    Scene pressed;
    pressed.minimisePressed = pressed.closePressed = pressed.tabPressed = true;
    const Canvas down = skin::renderWindow(pressed);
    Canvas c(100, 60);
    for (geo::PushControl control : {geo::kMinimise, geo::kClose, geo::kExpandTab})
        pasteLooks(c, geo::kControls[control], idle, down);
    return c;
}

// Transport buttons, normal and pressed, and the repeat and shuffle labels
// in their four looks.
Canvas transportBitmap(const Canvas& idle) {
    Canvas c(162, 80);
    for (int i = 0; i < 6; ++i) {
        Scene s;
        s.transportPressed = i;
        pasteLooks(c, skin::TransportPlace(i), idle, skin::renderWindow(s));
    }
    for (int look = 0; look < 4; ++look) {
        Scene s;
        s.repeatOn = s.shuffleOn = look >= 2;
        s.repeatPressed = s.shufflePressed = look % 2 == 1;
        const Canvas w = skin::renderWindow(s);
        for (geo::PushControl control : {geo::kRepeat, geo::kShuffle}) {
            const geo::ControlPlace& place = geo::kControls[control];
            const geo::Point sources[4] = {place.normal, place.pressed, place.on_normal,
                                           place.on_pressed};
            c.paste(w.crop(place.drawn_at.x, place.drawn_at.y, place.size.x, place.size.y),
                    sources[look].x, sources[look].y);
        }
    }
    return c;
}

// Lit volume column and the equaliser knob strip, where the window takes them.
Canvas stripBitmap() {
    Scene s;
    s.volumeLit = true;
    s.knobsInFirstColumn = true;
    const Canvas w = skin::renderWindow(s);
    Canvas c(18, 79);
    const geo::Rect volume = geo::kVolumeFace;
    c.paste(w.crop(volume.left, volume.top, volume.width(), volume.height()), geo::kVolumeStrip.x,
            geo::kVolumeStrip.y);
    const geo::Point knobs = geo::KnobStripAt(0);
    c.paste(w.crop(knobs.x, knobs.y, geo::kKnobStrip.width(), geo::kKnobStrip.height()),
            geo::kKnobStrip.left, geo::kKnobStrip.top);
    return c;
}

Canvas ringBitmap() {
    Scene s;
    s.ringLit = true;
    return skin::renderWindow(s).crop(geo::kLitRingAt.x, geo::kLitRingAt.y, 48, 47);
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
    for (int size : {64, 32, 16}) {
        const QString suffix = size == 64 ? QString(".png") : QString("_%1.png").arg(size);
        ok &= write(skin::fileIcon(skin::FileIcon::Audio, size), dir, "icon_audio_file" + suffix);
        ok &= write(skin::fileIcon(skin::FileIcon::Playlist, size), dir,
                    "icon_playlist_file" + suffix);
    }
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
