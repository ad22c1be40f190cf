// Small pixel canvas for drawing the skin by hand: every pixel is set by
// integer or plain floating-point arithmetic of our own, so the output is the
// same on every run and does not depend on a paint engine's anti-aliasing.
#pragma once

#include <QImage>
#include <cstdint>
#include <vector>

namespace skin {

struct Rgb {
    int r = 0, g = 0, b = 0;
};

inline bool operator==(Rgb a, Rgb b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

// Adds d to every channel (clamped later, when stored).
Rgb shade(Rgb c, int d);
// Linear mix: t = 0 gives a, t = 1 gives b.
Rgb mix(Rgb a, Rgb b, double t);
// Scales every channel by f.
Rgb scale(Rgb c, double f);
Rgb grey(int v);

// Deterministic hash noise in [0, 1).
double hashNoise(int x, int y, int salt);

class Canvas {
  public:
    Canvas() = default;
    Canvas(int w, int h, Rgb fill = {});

    int width() const { return w_; }
    int height() const { return h_; }
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < w_ && y < h_; }

    Rgb get(int x, int y) const;
    void set(int x, int y, Rgb c);
    // Blends c over the pixel with opacity a (0..1).
    void blend(int x, int y, Rgb c, double a);
    // Fills [x0, x1) x [y0, y1).
    void fill(int x0, int y0, int x1, int y1, Rgb c);

    Canvas crop(int x, int y, int w, int h) const;
    void paste(const Canvas& src, int x, int y);

    QImage toImage() const;
    static Canvas fromImage(const QImage& img);

  private:
    int w_ = 0, h_ = 0;
    std::vector<Rgb> px_;
};

// A set of pixels, used for the window outline and for the outlines of
// raised and sunken parts, whose bevels follow whatever shape they have.
class Mask {
  public:
    Mask() = default;
    Mask(int w, int h) : w_(w), h_(h), bits_(static_cast<size_t>(w) * h, 0) {}

    int width() const { return w_; }
    int height() const { return h_; }
    bool at(int x, int y) const {
        return x >= 0 && y >= 0 && x < w_ && y < h_ && bits_[static_cast<size_t>(y) * w_ + x];
    }
    void put(int x, int y, bool on) {
        if (x >= 0 && y >= 0 && x < w_ && y < h_) bits_[static_cast<size_t>(y) * w_ + x] = on;
    }
    // [x0, x1) x [y0, y1)
    void rect(int x0, int y0, int x1, int y1, bool on);

  private:
    int w_ = 0, h_ = 0;
    std::vector<uint8_t> bits_;
};

// How a pixel of a mask lies against the mask's edge, looking at the outside
// pixels within Chebyshev distance `ring`: 0 when none is that close, else
// the sign of the summed directions towards them (negative: the outside is
// up or left, so the pixel catches the light; positive: it is in shadow).
struct EdgeInfo {
    int ring = 0;    // 1 for the outermost pixel row, 2 for the next, 0 inside
    int facing = 0;  // -1 lit (top/left), +1 shadowed (bottom/right), 0 corner
};
EdgeInfo edgeOf(const Mask& m, int x, int y, int maxRing);

// The same seen from outside: for a pixel not in the mask, the nearest ring
// holding mask pixels (facing +1: the mask lies down or right of it).
EdgeInfo rimOf(const Mask& m, int x, int y, int maxRing);

}  // namespace skin
