#include "tools/skin_gen/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "tools/skin_gen/pixel_font.h"
#include "tools/skin_gen/raster.h"

namespace skin {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Rgba {
    Rgb c;
    double a = 0.0;
};

Rgba over(Rgba dst, Rgb src, double a) {
    a = std::clamp(a, 0.0, 1.0);
    if (a <= 0.0) return dst;
    const double outA = a + dst.a * (1.0 - a);
    const double k = a / outA;
    return {mix(dst.c, src, k), outA};
}

// Signed distance from p to a rounded square of half-size h and radius r.
double roundedBox(double px, double py, double h, double r) {
    const double qx = std::abs(px) - (h - r), qy = std::abs(py) - (h - r);
    const double ox = std::max(qx, 0.0), oy = std::max(qy, 0.0);
    return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0) - r;
}

// Distance from p to the segment a-b.
double segment(double px, double py, double ax, double ay, double bx, double by) {
    const double vx = bx - ax, vy = by - ay;
    const double t = std::clamp(((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy), 0.0, 1.0);
    const double dx = px - ax - t * vx, dy = py - ay - t * vy;
    return std::sqrt(dx * dx + dy * dy);
}

}  // namespace

QImage appIcon(int size) {
    // A bevelled metal tile carrying Vek's ring of bars, three quarters lit,
    // around a yellow V. Drawn with 8 x 8 samples per pixel.
    const int sub = 8;
    const double s = size;
    const int bars = size >= 32 ? 24 : 12;
    const int litBars = bars * 3 / 4;
    QImage img(size, size, QImage::Format_ARGB32);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            double r = 0, g = 0, b = 0, a = 0;
            for (int sy = 0; sy < sub; ++sy)
                for (int sx = 0; sx < sub; ++sx) {
                    // Coordinates in units of the icon: -0.5 .. 0.5.
                    const double px = (x + (sx + 0.5) / sub) / s - 0.5;
                    const double py = (y + (sy + 0.5) / sub) / s - 0.5;
                    Rgba p;
                    const double box = roundedBox(px, py, 0.47, 0.12);
                    if (box > 0) continue;
                    // Tile: metal with a bevel lit from the top left.
                    const int v = static_cast<int>(std::lround(78 - py * 30));
                    Rgb metal{v, v + 2, v + 7};
                    const double bevel = 0.045;
                    if (box > -bevel) {
                        const double lit = -(px + py);
                        metal = lit > 0 ? mix(metal, Rgb{150, 154, 162}, std::min(1.0, lit * 3))
                                        : mix(metal, Rgb{22, 23, 26}, std::min(1.0, -lit * 3));
                    }
                    p = over(p, metal, 1.0);
                    const double d = std::sqrt(px * px + py * py);
                    // Well with a sunken rim.
                    if (d < 0.41) {
                        const double rim = (px + py) / std::max(d, 1e-6);
                        const Rgb rimCol = rim < 0 ? Rgb{14, 15, 17} : Rgb{118, 122, 130};
                        p = over(p, d > 0.38 ? rimCol : Rgb{8, 8, 9}, 1.0);
                    }
                    // Bars; at 16 pixels a plain arc, three quarters lit.
                    if (size < 32 && d > 0.25 && d < 0.36) {
                        double deg = std::atan2(px, -py) * 180.0 / kPi;
                        if (deg < 0) deg += 360.0;
                        p = over(p, deg < 270.0 ? Rgb{255, 204, 48} : Rgb{58, 59, 64}, 1.0);
                    }
                    if (size >= 32 && d > 0.22 && d < 0.35) {
                        double deg = std::atan2(px, -py) * 180.0 / kPi;
                        if (deg < 0) deg += 360.0;
                        const double step = 360.0 / bars;
                        const int bar = std::min(bars - 1, static_cast<int>(deg / step));
                        const double within = deg - bar * step;
                        const double gapDeg = (size >= 32 ? 0.016 : 0.03) / d * 180.0 / kPi;
                        if (within > gapDeg && within < step - gapDeg) {
                            const double t = (d - 0.22) / 0.13;
                            const Rgb col = bar < litBars
                                                ? mix(Rgb{214, 150, 20}, Rgb{255, 228, 110}, t)
                                                : Rgb{46, 47, 51};
                            p = over(p, col, 1.0);
                        }
                    }
                    // The V.
                    const double stroke = size >= 32 ? 0.045 : 0.05;
                    const double vw = size >= 32 ? 0.11 : 0.1, vh = size >= 32 ? 0.1 : 0.09;
                    const double vd = std::min(segment(px, py, -vw, -vh, 0.0, vh + 0.01),
                                               segment(px, py, vw, -vh, 0.0, vh + 0.01));
                    if (vd < stroke) {
                        const Rgb col =
                            mix(Rgb{255, 232, 120}, Rgb{224, 160, 24}, (py + 0.1) / 0.21);
                        p = over(p, col, 1.0);
                    }
                    r += p.c.r * p.a;
                    g += p.c.g * p.a;
                    b += p.c.b * p.a;
                    a += p.a;
                }
            const double n = sub * sub;
            const int alpha = static_cast<int>(std::lround(a / n * 255.0));
            if (alpha == 0) {
                img.setPixel(x, y, qRgba(0, 0, 0, 0));
                continue;
            }
            auto ch = [&](double v) {
                return std::clamp(static_cast<int>(std::lround(v / a)), 0, 255);
            };
            img.setPixel(x, y, qRgba(ch(r), ch(g), ch(b), alpha));
        }
    return img;
}

QImage fileIcon(FileIcon kind, int size) {
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    // The page, its top right corner folded over.
    const double left = s * 0.14, right = s * 0.86, top = s * 0.03, bottom = s * 0.97;
    const double fold = s * 0.22;
    QPainterPath page;
    page.moveTo(left, top);
    page.lineTo(right - fold, top);
    page.lineTo(right, top + fold);
    page.lineTo(right, bottom);
    page.lineTo(left, bottom);
    page.closeSubpath();
    const double pen = std::max(1.0, s / 32.0);
    p.setPen(QPen(QColor(70, 72, 78), pen));
    p.setBrush(QColor(244, 244, 240));
    p.drawPath(page);
    QPainterPath corner;
    corner.moveTo(right - fold, top);
    corner.lineTo(right - fold, top + fold);
    corner.lineTo(right, top + fold);
    corner.closeSubpath();
    p.setBrush(QColor(200, 201, 204));
    p.drawPath(corner);
    // A playlist's lines, beside small bullets, above a smaller tile at the
    // lower right; an audio file's tile sits in the middle of the lower part.
    const int tile =
        std::max(8, static_cast<int>(std::lround(s * (kind == FileIcon::Playlist ? 0.44 : 0.62))));
    double tile_x = (s - tile) / 2.0;
    if (kind == FileIcon::Playlist) {
        tile_x = right - pen - tile - s * 0.03;
        p.setPen(Qt::NoPen);
        for (int row = 0; row < 3; ++row) {
            const double y = top + s * 0.12 + row * s * 0.12;
            p.setBrush(QColor(214, 150, 20));
            p.drawRect(QRectF(left + s * 0.07, y, s * 0.07, s * 0.07));
            p.setBrush(QColor(90, 92, 98));
            const double length = (row == 0 ? 0.28 : 0.44) * s;
            p.drawRect(QRectF(left + s * 0.18, y + s * 0.01, length, s * 0.05));
        }
    }
    p.drawImage(QPointF(tile_x, bottom - pen - tile - s * 0.03), appIcon(tile));
    return img;
}

QImage progressIcon(int index) {
    index = std::clamp(index, 0, 10);
    // The whole picture: a red square, lit from the top left, with a black V.
    Canvas full(16, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            Rgb col{214, 32, 26};
            if (x == 0 || y == 0)
                col = {255, 104, 88};
            else if (x == 15 || y == 15)
                col = {120, 12, 10};
            else if (x == 1 || y == 1)
                col = {236, 58, 46};
            full.set(x, y, col);
        }
    const Glyph& v = logoGlyph('V');
    for (int gy = 0; gy < v.height; ++gy)
        for (int gx = 0; gx < v.width; ++gx)
            if (v.ink(gx, gy)) full.set(4 + gx, 4 + gy, Rgb{0, 0, 0});
    // Nine parts, a 3 x 3 division; uncovered bottom row first, left to
    // right, then the middle row, then the top row.
    const int edges[4] = {0, 5, 11, 16};
    const int shown = index == 10 ? 9 : index;
    // The black ground has a thin grey rim, the skin's unlit metal, so that an
    // icon with nothing uncovered yet still shows on a dark panel.
    Canvas out(16, 16, Rgb{84, 86, 92});
    out.fill(1, 1, 15, 15, Rgb{0, 0, 0});
    for (int part = 0; part < shown; ++part) {
        const int row = 2 - part / 3, col = part % 3;
        for (int y = edges[row]; y < edges[row + 1]; ++y)
            for (int x = edges[col]; x < edges[col + 1]; ++x) out.set(x, y, full.get(x, y));
    }
    return out.toImage();
}

}  // namespace skin
