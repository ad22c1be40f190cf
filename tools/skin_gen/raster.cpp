#include "tools/skin_gen/raster.h"

#include <algorithm>
#include <cmath>

namespace skin {

namespace {
int clampByte(int v) {
    return std::clamp(v, 0, 255);
}
}  // namespace

Rgb shade(Rgb c, int d) {
    return {c.r + d, c.g + d, c.b + d};
}

Rgb mix(Rgb a, Rgb b, double t) {
    auto m = [t](int p, int q) { return static_cast<int>(std::lround(p + (q - p) * t)); };
    return {m(a.r, b.r), m(a.g, b.g), m(a.b, b.b)};
}

Rgb scale(Rgb c, double f) {
    return {static_cast<int>(std::lround(c.r * f)), static_cast<int>(std::lround(c.g * f)),
            static_cast<int>(std::lround(c.b * f))};
}

Rgb grey(int v) {
    return {v, v, v};
}

double hashNoise(int x, int y, int salt) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
                 static_cast<uint32_t>(salt) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return (h & 0xffffu) / 65536.0;
}

Canvas::Canvas(int w, int h, Rgb fill) : w_(w), h_(h), px_(static_cast<size_t>(w) * h, fill) {}

Rgb Canvas::get(int x, int y) const {
    if (!inside(x, y)) return {};
    return px_[static_cast<size_t>(y) * w_ + x];
}

void Canvas::set(int x, int y, Rgb c) {
    if (!inside(x, y)) return;
    px_[static_cast<size_t>(y) * w_ + x] = {clampByte(c.r), clampByte(c.g), clampByte(c.b)};
}

void Canvas::blend(int x, int y, Rgb c, double a) {
    if (!inside(x, y) || a <= 0.0) return;
    set(x, y, mix(get(x, y), c, std::min(a, 1.0)));
}

void Canvas::fill(int x0, int y0, int x1, int y1, Rgb c) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) set(x, y, c);
}

Canvas Canvas::crop(int x, int y, int w, int h) const {
    Canvas out(w, h);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) out.set(i, j, get(x + i, y + j));
    return out;
}

void Canvas::paste(const Canvas& src, int x, int y) {
    for (int j = 0; j < src.height(); ++j)
        for (int i = 0; i < src.width(); ++i) set(x + i, y + j, src.get(i, j));
}

QImage Canvas::toImage() const {
    QImage img(w_, h_, QImage::Format_RGB32);
    for (int y = 0; y < h_; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w_; ++x) {
            const Rgb c = px_[static_cast<size_t>(y) * w_ + x];
            line[x] = qRgb(c.r, c.g, c.b);
        }
    }
    return img;
}

Canvas Canvas::fromImage(const QImage& img) {
    const QImage src = img.convertToFormat(QImage::Format_RGB32);
    Canvas out(src.width(), src.height());
    for (int y = 0; y < src.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        for (int x = 0; x < src.width(); ++x)
            out.set(x, y, {qRed(line[x]), qGreen(line[x]), qBlue(line[x])});
    }
    return out;
}

void Mask::rect(int x0, int y0, int x1, int y1, bool on) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) put(x, y, on);
}

namespace {

// The nearest ring around (x, y) holding pixels whose membership of m is
// `wanted`, and the sign of the summed directions towards them.
EdgeInfo nearestRing(const Mask& m, int x, int y, int maxRing, bool wanted) {
    EdgeInfo e;
    for (int ring = 1; ring <= maxRing; ++ring) {
        int sum = 0;
        bool any = false;
        for (int dy = -ring; dy <= ring; ++dy)
            for (int dx = -ring; dx <= ring; ++dx) {
                if (std::max(std::abs(dx), std::abs(dy)) != ring) continue;
                if (m.at(x + dx, y + dy) != wanted) continue;
                any = true;
                sum += (dx > 0 ? 1 : dx < 0 ? -1 : 0) + (dy > 0 ? 1 : dy < 0 ? -1 : 0);
            }
        if (any) {
            e.ring = ring;
            e.facing = sum < 0 ? -1 : sum > 0 ? 1 : 0;
            return e;
        }
    }
    return e;
}

}  // namespace

EdgeInfo edgeOf(const Mask& m, int x, int y, int maxRing) {
    if (!m.at(x, y)) return EdgeInfo{};
    return nearestRing(m, x, y, maxRing, false);
}

EdgeInfo rimOf(const Mask& m, int x, int y, int maxRing) {
    if (m.at(x, y)) return EdgeInfo{};
    return nearestRing(m, x, y, maxRing, true);
}

}  // namespace skin
