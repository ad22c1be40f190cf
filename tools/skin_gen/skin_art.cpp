#include "tools/skin_gen/skin_art.h"

#include <QRegion>
#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

#include "tools/skin_gen/pixel_font.h"

namespace skin {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Palette. Light falls from the top left throughout.
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kGap{16, 17, 19};     // the dark slit around raised parts
constexpr Rgb kWell{9, 9, 10};      // floor of the sunken wells
constexpr Rgb kTray{20, 21, 23};    // floor of the transport tray
constexpr Rgb kInk{214, 217, 222};  // transport symbols
constexpr Rgb kInkPressed{138, 142, 148};
constexpr Rgb kInkShadow{22, 23, 26};
constexpr Rgb kYellow{255, 202, 48};
constexpr Rgb kYellowLight{255, 232, 120};
constexpr Rgb kYellowDeep{214, 150, 20};
constexpr Rgb kYellowPressed{168, 124, 22};
constexpr Rgb kLabelOff{118, 122, 129};
constexpr Rgb kLabelOffPressed{78, 81, 86};
constexpr Rgb kLabelOnPressed{178, 136, 26};
constexpr Rgb kEngrave{150, 154, 161};  // printed legends on the metal

constexpr Rgb kFieldBg{5, 5, 6};
constexpr Rgb kFieldDot{38, 39, 43};
constexpr Rgb kDotLit{255, 212, 60};
constexpr Rgb kDotLitBridge{206, 156, 36};
constexpr Rgb kDotDim{112, 86, 22};
constexpr Rgb kDotDimBridge{84, 64, 16};

// ---------------------------------------------------------------------------
// Metal

// Brushed dark grey: fine horizontal streaks over a slight top-to-bottom
// darkening, with a cool tint.
Rgb metalAt(int x, int y) {
    const double base = 68.0 - y * 9.0 / 190.0;
    const int bx = x / 13;
    const double fx = (x % 13) / 13.0;
    const double s0 = hashNoise(bx, y, 11), s1 = hashNoise(bx + 1, y, 11);
    const double streak = (s0 + (s1 - s0) * fx - 0.5) * 4.0;
    const double row = (hashNoise(0, y, 12) - 0.5) * 2.2;
    const double grain = (hashNoise(x, y, 13) - 0.5) * 1.6;
    const int v = static_cast<int>(std::lround(base + streak + row + grain));
    return {v, v + 2, v + 6};
}

// Raised part: its own bevel along whatever outline the mask has, and a dark
// slit around it so it reads as a separate piece set into the face.
void drawRaised(Canvas& c, const Mask& part, const Mask& window, int lift, bool pressed,
                bool slit) {
    int top = part.height(), bottom = 0;
    for (int y = 0; y < part.height(); ++y)
        for (int x = 0; x < part.width(); ++x)
            if (part.at(x, y)) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    const double span = std::max(1, bottom - top);
    for (int y = 0; y < part.height(); ++y)
        for (int x = 0; x < part.width(); ++x) {
            if (!part.at(x, y)) continue;
            const int grad = static_cast<int>(std::lround(7.0 - 12.0 * (y - top) / span));
            Rgb col = shade(metalAt(x, y), lift + grad + (pressed ? -14 : 0));
            const EdgeInfo e = edgeOf(part, x, y, 2);
            if (!pressed) {
                if (e.ring == 1)
                    col = e.facing < 0   ? shade(col, 56)
                          : e.facing > 0 ? shade(col, -44)
                                         : shade(col, 6);
                if (e.ring == 2)
                    col = e.facing < 0 ? shade(col, 16) : e.facing > 0 ? shade(col, -14) : col;
            } else {
                if (e.ring == 1)
                    col = e.facing < 0   ? shade(col, -30)
                          : e.facing > 0 ? shade(col, 14)
                                         : shade(col, -8);
                if (e.ring == 2) col = e.facing < 0 ? shade(col, -10) : col;
            }
            c.set(x, y, col);
        }
    if (!slit) return;
    for (int y = 0; y < part.height(); ++y)
        for (int x = 0; x < part.width(); ++x) {
            if (part.at(x, y) || !window.at(x, y)) continue;
            bool near = false;
            for (int dy = -1; dy <= 1 && !near; ++dy)
                for (int dx = -1; dx <= 1 && !near; ++dx) near = part.at(x + dx, y + dy);
            if (near) c.set(x, y, kGap);
        }
}

// Rim of a sunken area: the wall at the top and left lies in shadow, the one
// at the bottom and right catches the light.
void drawSunkenRim(Canvas& c, const Mask& floor, int width, const Mask& window) {
    for (int y = 0; y < floor.height(); ++y)
        for (int x = 0; x < floor.width(); ++x) {
            if (!window.at(x, y)) continue;
            const EdgeInfo e = rimOf(floor, x, y, width);
            if (e.ring == 0) continue;
            const Rgb m = metalAt(x, y);
            Rgb col;
            if (e.ring == 1)
                col = e.facing > 0   ? Rgb{14, 15, 17}
                      : e.facing < 0 ? shade(m, 44)
                                     : shade(m, -18);
            else
                col = e.facing > 0 ? shade(m, -26) : e.facing < 0 ? shade(m, 14) : shade(m, -6);
            c.set(x, y, col);
        }
}

Mask rectMask(int x0, int y0, int x1, int y1) {
    Mask m(geo::kWindowWidth, geo::kExpandedHeight);
    m.rect(x0, y0, x1, y1, true);
    return m;
}

Mask rectMask(const geo::Rect& r) {
    return rectMask(r.left, r.top, r.right, r.bottom);
}

// Where a control's look is copied to, as a mask.
Mask drawnMask(const geo::ControlPlace& place) {
    return rectMask(place.drawn_at.x, place.drawn_at.y, place.drawn_at.x + place.size.x,
                    place.drawn_at.y + place.size.y);
}

// ---------------------------------------------------------------------------
// Text

// Draws small-face text; returns the x after it.
int drawSmallText(Canvas& c, int x, int y, std::string_view text, Rgb col) {
    for (char ch : text) {
        const Glyph& g = smallGlyph(ch);
        for (int gy = 0; gy < g.height; ++gy)
            for (int gx = 0; gx < g.width; ++gx)
                if (g.ink(gx, gy)) c.set(x + gx, y + gy, col);
        x += g.width + 1;
    }
    return x;
}

// Printed legend on the metal: light letters with a dark shadow below right.
void drawLegend(Canvas& c, int x, int y, std::string_view text) {
    Canvas ink(smallTextWidth(text) + 1, 6, kBlack);
    drawSmallText(ink, 0, 0, text, {255, 255, 255});
    for (int gy = 0; gy < ink.height(); ++gy)
        for (int gx = 0; gx < ink.width(); ++gx)
            if (ink.get(gx, gy).r == 0 && ink.get(gx - 1, gy - 1).r != 0)
                c.set(x + gx, y + gy, shade(metalAt(x + gx, y + gy), -30));
    drawSmallText(c, x, y, text, kEngrave);
}

// The same legend turned to read upwards; (x, yBottom) is the bottom-left
// corner of the turned text.
void drawLegendUpwards(Canvas& c, int x, int yBottom, std::string_view text) {
    const int len = smallTextWidth(text);
    Canvas ink(len, 5, kBlack);
    drawSmallText(ink, 0, 0, text, {255, 255, 255});
    auto inked = [&](int tx, int ty) { return ink.get(tx, ty).r != 0; };
    // Text pixel (tx, ty) lands at (x + ty, yBottom - tx).
    for (int tx = -1; tx <= len; ++tx)
        for (int ty = -1; ty <= 5; ++ty) {
            const int sx = x + ty, sy = yBottom - tx;
            if (inked(tx, ty)) {
                c.set(sx, sy, kEngrave);
            } else {
                // screen neighbour up-left is text (tx + 1, ty - 1)
                if (inked(tx + 1, ty - 1)) c.set(sx, sy, shade(metalAt(sx, sy), -30));
            }
        }
}

// ---------------------------------------------------------------------------
// Pixel art

struct Sprite {
    int w, h;
    const char* rows[12];
};

// clang-format off
const Sprite kOpen       {9, 8, {"....#....", "...###...", "..#####..", ".#######.", "#########", ".........", "#########", "#########"}};
const Sprite kOpenSmall  {7, 6, {"...#...", "..###..", ".#####.", "#######", ".......", "#######"}};
const Sprite kPlay       {5, 9, {"#....", "##...", "###..", "####.", "#####", "####.", "###..", "##...", "#...."}};
const Sprite kPlaySmall  {4, 7, {"#...", "##..", "###.", "####", "###.", "##..", "#..."}};
const Sprite kPause      {8, 9, {"###..###", "###..###", "###..###", "###..###", "###..###", "###..###", "###..###", "###..###", "###..###"}};
const Sprite kPauseSmall {6, 7, {"##..##", "##..##", "##..##", "##..##", "##..##", "##..##", "##..##"}};
const Sprite kStop       {8, 8, {"########", "########", "########", "########", "########", "########", "########", "########"}};
const Sprite kStopSmall  {6, 6, {"######", "######", "######", "######", "######", "######"}};
const Sprite kPrev       {10, 7, {"##...#...#", "##..##..##", "##.###.###", "##########", "##.###.###", "##..##..##", "##...#...#"}};
const Sprite kPrevSmall  {8, 5, {"#..#..#.", "#.##.##.", "########", "#.##.##.", "#..#..#."}};
// clang-format on

bool spriteInk(const Sprite& s, int x, int y, bool mirror) {
    if (x < 0 || y < 0 || x >= s.w || y >= s.h) return false;
    return s.rows[y][mirror ? s.w - 1 - x : x] == '#';
}

void drawSprite(Canvas& c, const Sprite& s, int x, int y, bool mirror, Rgb ink, bool shadow) {
    if (shadow)
        for (int sy = 0; sy <= s.h; ++sy)
            for (int sx = 0; sx <= s.w; ++sx)
                if (!spriteInk(s, sx, sy, mirror) && spriteInk(s, sx - 1, sy - 1, mirror))
                    c.set(x + sx, y + sy, kInkShadow);
    for (int sy = 0; sy < s.h; ++sy)
        for (int sx = 0; sx < s.w; ++sx)
            if (spriteInk(s, sx, sy, mirror)) c.set(x + sx, y + sy, ink);
}

// ---------------------------------------------------------------------------
// Parts of the face

void drawBase(Canvas& c, const Mask& win) {
    for (int y = 0; y < geo::kExpandedHeight; ++y)
        for (int x = 0; x < geo::kWindowWidth; ++x) {
            if (!win.at(x, y)) {
                c.set(x, y, kBlack);
                continue;
            }
            Rgb col = metalAt(x, y);
            const EdgeInfo e = edgeOf(win, x, y, 2);
            if (e.ring == 1)
                col = e.facing < 0   ? shade(col, 50)
                      : e.facing > 0 ? shade(col, -40)
                                     : shade(col, 4);
            if (e.ring == 2)
                col = e.facing < 0 ? shade(col, 16) : e.facing > 0 ? shade(col, -16) : col;
            c.set(x, y, col);
        }
}

void drawTitleStrip(Canvas& c) {
    // Product name in bold yellow letters, lit from above, with a drop shadow.
    const int lx = 107, ly = 7;
    int x = lx;
    for (char ch : std::string_view("VEK")) {
        const Glyph& g = logoGlyph(ch);
        for (int gy = 0; gy <= g.height; ++gy)
            for (int gx = 0; gx <= g.width; ++gx)
                if (!g.ink(gx, gy) && g.ink(gx - 1, gy - 1))
                    c.set(x + gx, ly + gy, Rgb{12, 12, 13});
        for (int gy = 0; gy < g.height; ++gy)
            for (int gx = 0; gx < g.width; ++gx) {
                if (!g.ink(gx, gy)) continue;
                const double t = gy / static_cast<double>(g.height - 1);
                Rgb col = t < 0.5 ? mix(kYellowLight, kYellow, t * 2)
                                  : mix(kYellow, kYellowDeep, (t - 0.5) * 2);
                c.set(x + gx, ly + gy, col);
            }
        x += g.width + 2;
    }
    // Grip: engraved grooves filling the rest of the strip.
    const int gx0 = x + 5, gx1 = 249;
    for (int gy : {6, 9, 12, 15}) {
        for (int gx = gx0; gx < gx1; ++gx) {
            c.set(gx, gy, shade(metalAt(gx, gy), -34));
            c.set(gx, gy + 1, shade(metalAt(gx, gy + 1), 26));
        }
    }
    // Dividing groove between the strip and the face below it.
    for (int gx = 100; gx < 252; ++gx) {
        c.set(gx, 21, shade(metalAt(gx, 21), -30));
        c.set(gx, 22, shade(metalAt(gx, 22), 18));
    }
}

void drawFrameButtons(Canvas& c, const Mask& win, const Scene& s) {
    // Close corner: an L-shaped plate with a yellow cross in its corner square.
    Mask close(geo::kWindowWidth, geo::kExpandedHeight);
    for (const geo::Rect& r : {geo::kControls[geo::kClose].area, geo::kControls[geo::kClose].more_area})
        close.rect(r.left, r.top, r.right, r.bottom, true);
    drawRaised(c, close, win, 8, s.closePressed, true);
    {
        const int o = s.closePressed ? 1 : 0;
        const Rgb ink = s.closePressed ? kYellowPressed : kYellow;
        const int cx = 10 + o, cy = 10 + o;
        // A bold cross: two diagonals, each two pixels wide.
        Mask cross(geo::kWindowWidth, geo::kExpandedHeight);
        for (int d = -3; d <= 3; ++d) {
            cross.put(cx + d, cy + d, true);
            cross.put(cx + d + 1, cy + d, true);
            cross.put(cx + d, cy - d, true);
            cross.put(cx + d + 1, cy - d, true);
        }
        for (int y = cy - 4; y <= cy + 5; ++y)
            for (int x = cx - 4; x <= cx + 6; ++x) {
                if (cross.at(x, y))
                    c.set(x, y, ink);
                else if (!s.closePressed && cross.at(x - 1, y - 1))
                    c.set(x, y, kInkShadow);
            }
        // Grip ticks at the ends of the two arms.
        for (int i = 0; i < 3; ++i) {
            const int ax = 21 + 2 * i + o;
            for (int ay = 8 + o; ay < 13 + o; ++ay) {
                c.set(ax, ay, shade(c.get(ax, ay), -26));
                c.set(ax + 1, ay, shade(c.get(ax + 1, ay), 18));
            }
            const int by = 21 + 2 * i + o;
            for (int bx = 8 + o; bx < 13 + o; ++bx) {
                c.set(bx, by, shade(c.get(bx, by), -26));
                c.set(bx, by + 1, shade(c.get(bx, by + 1), 18));
            }
        }
    }
    // Minimise: a yellow triangle pointing down.
    drawRaised(c, drawnMask(geo::kControls[geo::kMinimise]), win, 8, s.minimisePressed, true);
    {
        const int o = s.minimisePressed ? 1 : 0;
        const Rgb ink = s.minimisePressed ? kYellowPressed : kYellow;
        Mask tri(geo::kWindowWidth, geo::kExpandedHeight);
        for (int row = 0; row < 4; ++row)
            tri.rect(7 + row + o, 38 + row + o, 15 - row + o, 39 + row + o, true);
        for (int y = 37; y < 45; ++y)
            for (int x = 6; x < 17; ++x) {
                if (tri.at(x, y))
                    c.set(x, y, ink);
                else if (!s.minimisePressed && tri.at(x - 1, y - 1))
                    c.set(x, y, kInkShadow);
            }
    }
    // The second square button has no function; it stays blank.
    drawRaised(c, rectMask(4, 51, 18, 65), win, 8, false, true);
}

void drawDisplayField(Canvas& c, const Mask& win) {
    constexpr geo::Rect field = geo::kDisplayField;
    Mask floor = rectMask(field.left, field.top, field.left + field.width(), field.top + field.height());
    drawSunkenRim(c, floor, 2, win);
    for (int fy = 0; fy < field.height(); ++fy)
        for (int fx = 0; fx < field.width(); ++fx)
            c.set(field.left + fx, field.top + fy, fieldGridPixel(fx, fy));
    // A faint reflection on the glass, fading out above the digits' rows
    // (the time display redraws those from bitmaps 118 and 135, which carry
    // the plain grid).
    for (int fy = 0; fy < 16; ++fy)
        for (int fx = 0; fx < field.width(); ++fx) {
            const double t = (1.0 - fy / 16.0) * (1.0 - fx / (2.0 * field.width()));
            const Rgb base = fieldGridPixel(fx, fy);
            c.set(field.left + fx, field.top + fy,
                  shade(base, static_cast<int>(std::lround(t * t * 14))));
        }
}

void drawRing(Canvas& c, const Mask& win, bool lit) {
    const double cx = kRingMidX, cy = kRingMidY;
    constexpr int kSub = 4;
    for (int y = geo::kRingCentre.y - 30; y < geo::kRingCentre.y + 30; ++y)
        for (int x = geo::kRingCentre.x - 30; x < geo::kRingCentre.x + 30; ++x) {
            if (!win.at(x, y)) continue;
            // Coverage of the well (radius 24.5) and of the rim (to 26.5).
            double well = 0, rim = 0, hub = 0, hubEdge = 0;
            for (int sy = 0; sy < kSub; ++sy)
                for (int sx = 0; sx < kSub; ++sx) {
                    const double px = x + (sx + 0.5) / kSub - cx, py = y + (sy + 0.5) / kSub - cy;
                    const double d = std::sqrt(px * px + py * py);
                    if (d < 24.5)
                        well += 1;
                    else if (d < 26.5)
                        rim += 1;
                    if (d < 10.0)
                        hub += 1;
                    else if (d < 11.0)
                        hubEdge += 1;
                }
            const double n = kSub * kSub;
            well /= n;
            rim /= n;
            hub /= n;
            hubEdge /= n;
            if (well + rim <= 0) continue;
            const double px = x + 0.5 - cx, py = y + 0.5 - cy;
            const double d = std::max(0.001, std::sqrt(px * px + py * py));
            const double nx = px / d, ny = py / d;
            // Sunken rim: towards the light (top left) in shadow.
            const double facing = (nx + ny) * 0.7071;
            const Rgb m = metalAt(x, y);
            const Rgb rimCol = facing < 0 ? mix(m, Rgb{12, 13, 15}, std::min(1.0, -facing * 1.1))
                                          : mix(m, shade(m, 52), facing);
            Rgb col = m;
            col = mix(col, rimCol, std::min(1.0, rim + well));
            col = mix(col, kWell, well);
            // Bars.
            const BarHit bar = ringBarAt(x, y);
            if (bar.bar >= 0 && bar.coverage > 0) {
                const double r = d;
                const double t = std::clamp((r - kBarInner) / (kBarOuter - kBarInner), 0.0, 1.0);
                const Rgb barCol = lit ? mix(kYellowDeep, kYellowLight, t * 0.8)
                                       : mix(Rgb{42, 43, 47}, Rgb{60, 61, 66}, t);
                col = mix(col, barCol, bar.coverage);
            }
            // Hub: a raised, turned metal boss in the middle.
            if (hub + hubEdge > 0) {
                const double ring = std::sin(d * 2.2) * 3.0;
                const double light = -(nx + ny) * 0.7071;  // towards the top left
                Rgb face =
                    shade(m, static_cast<int>(std::lround(10 + ring + light * 10 * d / 10.0)));
                Rgb edge = light > 0 ? mix(face, shade(face, 58), light)
                                     : mix(face, Rgb{14, 15, 17}, -light);
                Rgb hubCol = mix(edge, face, hub / std::max(1e-9, hub + hubEdge));
                col = mix(col, hubCol, std::min(1.0, hub + hubEdge));
            }
            c.set(x, y, col);
        }
    // A small yellow mark above 12 o'clock shows where the ring starts.
    c.set(214, 28, kYellowDeep);
    c.set(215, 28, kYellow);
    c.set(216, 28, kYellowDeep);
    c.set(215, 29, kYellowDeep);
}

void drawTransport(Canvas& c, const Mask& win, const Scene& s) {
    Mask tray = rectMask(31, 71, 149, 91);
    drawSunkenRim(c, tray, 1, win);
    c.fill(31, 71, 149, 91, kTray);
    // Faces sit at the left edge of each clickable area, 16 wide: the Play
    // button's drawing starts two pixels left of its area, so those two
    // columns are tray floor in every look.
    static const Sprite* kSprites[6] = {&kOpen, &kPlay, &kPause, &kStop, &kPrev, &kPrev};
    static const Sprite* kSmall[6] = {&kOpenSmall, &kPlaySmall, &kPauseSmall,
                                      &kStopSmall, &kPrevSmall, &kPrevSmall};
    for (int i = 0; i < 6; ++i) {
        const int fx = TransportPlace(i).area.left, fy = TransportPlace(i).area.top;
        const bool pressed = s.transportPressed == i;
        drawRaised(c, rectMask(fx, fy, fx + 16, fy + 18), win, 2, pressed, false);
        const Sprite& sp = pressed ? *kSmall[i] : *kSprites[i];
        const bool mirror = i == 5;
        int sx = fx + (16 - sp.w) / 2, sy = fy + (18 - sp.h) / 2;
        if (i == 1) sx += 1;  // a triangle looks centred a little right of its box
        if (i >= 4) sx = fx + (16 - sp.w + 1) / 2 + (mirror ? 0 : 0);
        if (pressed) {
            sx += 1;
            sy += 1;
        }
        drawSprite(c, sp, sx, sy, mirror, pressed ? kInkPressed : kInk, !pressed);
    }
}

void drawLabels(Canvas& c, const Mask& win, const Scene& s) {
    Mask plate = rectMask(170, 71, 190, 91);
    drawSunkenRim(c, plate, 1, win);
    c.fill(170, 71, 190, 91, kWell);
    // Fine divider between the two labels.
    for (int x = 172; x < 188; ++x) c.set(x, 81, Rgb{26, 27, 30});
    auto label = [&](const geo::ControlPlace& place, std::string_view text, bool on,
                     bool pressed) {
        // Only the part of a label inside both its clickable area and its
        // drawing ever changes: the area starts two pixels right of where the
        // label is drawn.
        const int x0 = place.area.left, x1 = place.drawn_at.x + place.size.x;
        if (pressed) c.fill(x0, place.area.top, x1, place.area.bottom, Rgb{24, 25, 28});
        const Rgb ink =
            on ? (pressed ? kLabelOnPressed : kYellow) : (pressed ? kLabelOffPressed : kLabelOff);
        const int w = smallTextWidth(text);
        drawSmallText(c, x0 + (x1 - x0 - w + 1) / 2, place.area.top + 2, text, ink);
    };
    label(geo::kControls[geo::kRepeat], "REP", s.repeatOn, s.repeatPressed);
    label(geo::kControls[geo::kShuffle], "SHUF", s.shuffleOn, s.shufflePressed);
}

void drawTab(Canvas& c, const Mask& win, const Scene& s) {
    const geo::Rect area = geo::kControls[geo::kExpandTab].area;
    Mask tab(geo::kWindowWidth, geo::kExpandedHeight);
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) tab.put(x, y, win.at(x, y));
    // Slit around it on the face (outside its clickable area, so it stays put).
    for (int y = area.top - 1; y <= area.bottom; ++y) c.set(area.left - 1, y, kGap);
    for (int x = area.left - 1; x < area.left + 4; ++x) {
        c.set(x, area.top - 1, kGap);
        c.set(x, area.bottom, kGap);
    }
    drawRaised(c, tab, win, 10, s.tabPressed, false);
    // Three grip ridges; the pressed tab is drawn one pixel higher.
    const int o = s.tabPressed ? -1 : 0;
    for (int i = 0; i < 3; ++i) {
        const int y = area.top + 4 + 3 * i + o;
        for (int x = area.left + 1; x < area.left + 5; ++x) {
            if (!tab.at(x, y) || !tab.at(x, y + 1)) continue;
            c.set(x, y, s.tabPressed ? Rgb{150, 112, 24} : kYellow);
            c.set(x, y + 1, shade(c.get(x, y + 1), -30));
        }
    }
}

Rgb volumeColour(int k) {
    // Green at the bottom through yellow to red at the top.
    const Rgb green{70, 214, 72}, yellow{255, 208, 48}, red{255, 58, 40};
    const double t = k / 15.0;
    return t < 0.6 ? mix(green, yellow, t / 0.6) : mix(yellow, red, (t - 0.6) / 0.4);
}

// One LED bar, 9 x 4: a lit top row, a shaded bottom row, softened ends.
void drawBar(Canvas& c, int x0, int y0, Rgb col, bool lit) {
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 9; ++i) {
            Rgb p = col;
            if (j == 0) p = lit ? mix(col, Rgb{255, 255, 255}, 0.35) : shade(col, 10);
            if (j == 3) p = scale(col, lit ? 0.72 : 0.8);
            if (i == 0 || i == 8) p = scale(p, 0.82);
            c.set(x0 + i, y0 + j, p);
        }
}

// A small round screw head, 5 x 5, with a slot; (x, y) is its top-left.
void drawScrew(Canvas& c, int x, int y) {
    // clang-format off
    static const char* kHead[5] = {".lll.", "llmmd", "lmmmd", "lmmdd", ".ddd."};
    // clang-format on
    for (int j = -1; j <= 5; ++j)
        for (int i = -1; i <= 5; ++i) {
            const bool in = i >= 0 && j >= 0 && i < 5 && j < 5 && kHead[j][i] != '.';
            const Rgb m = metalAt(x + i, y + j);
            if (!in) {
                // A soft shadow below and right of the head.
                const bool below = (i >= 1 && j >= 1 && i <= 5 && j <= 5) &&
                                   (i == 5 || j == 5 || kHead[j][i] == '.') && !(i == 5 && j == 5);
                if (below && (i > 2 || j > 2)) c.set(x + i, y + j, shade(m, -14));
                continue;
            }
            const char k = kHead[j][i];
            c.set(x + i, y + j, k == 'l' ? shade(m, 38) : k == 'm' ? shade(m, 12) : shade(m, -22));
        }
    // The slot, running from bottom left to top right.
    c.set(x + 1, y + 3, Rgb{22, 23, 26});
    c.set(x + 2, y + 2, Rgb{22, 23, 26});
    c.set(x + 3, y + 1, Rgb{22, 23, 26});
    c.set(x + 2, y + 3, shade(metalAt(x + 2, y + 3), 30));
    c.set(x + 3, y + 2, shade(metalAt(x + 3, y + 2), 30));
}

Rgb dimOf(Rgb lit) {
    return mix(Rgb{30, 31, 34}, lit, 0.16);
}

void drawLowerSection(Canvas& c, const Mask& win, const Scene& s) {
    // Seam where the lower panel meets the upper one.
    for (int x = 20; x < 253; ++x) {
        c.set(x, 93, shade(metalAt(x, 93), -32));
        c.set(x, 94, shade(metalAt(x, 94), 20));
    }

    // Volume column.
    drawLegendUpwards(c, 25, 150, "VOLUME");
    Mask vol = rectMask(35, 98, 48, 181);
    drawSunkenRim(c, vol, 2, win);
    c.fill(35, 98, 48, 181, kWell);
    for (int k = 0; k < geo::kVolumeCells; ++k) {
        const Rgb lit = volumeColour(k);
        const geo::Rect cell = geo::VolumeCell(k);
        drawBar(c, cell.left, cell.top, s.volumeLit ? lit : dimOf(lit), s.volumeLit);
    }

    // Equaliser: twelve columns of fifteen bars, three guide lines.
    Mask eq = rectMask(62, 97, 235, 177);
    drawSunkenRim(c, eq, 2, win);
    c.fill(62, 97, 235, 177, kWell);
    for (int gy : {101, 136, 171})
        for (int x = 63; x < 234; ++x) c.set(x, gy, x % 2 ? Rgb{44, 45, 49} : Rgb{30, 31, 34});
    drawLegend(c, 53, 99, "+");
    drawLegend(c, 53, 134, "0");
    drawLegend(c, 53, 169, "-");
    const Rgb knobLit{255, 206, 52};
    for (int col = 0; col < vek::kEqBands; ++col)
        for (int r = 0; r < geo::kEqualiserRows; ++r) {
            const bool knob = s.knobsInFirstColumn && col == 0;
            const geo::Rect cell = geo::EqualiserCell(col, r);
            drawBar(c, cell.left, cell.top, knob ? knobLit : Rgb{40, 41, 45}, knob);
        }

    drawScrew(c, 22, 98);
    drawScrew(c, 22, 177);
    drawScrew(c, 244, 98);
    drawScrew(c, 244, 177);

    // Equaliser lamp socket and its legend.
    drawLegend(c, 244, 150, "EQ");
    constexpr geo::Rect socket = geo::kLamp;
    drawSunkenRim(c, rectMask(socket), 1, win);
    for (int y = socket.top; y < socket.bottom; ++y)
        for (int x = socket.left; x < socket.right; ++x)
            c.set(x, y,
                  (y == socket.top || x == socket.left) ? Rgb{24, 34, 26} : Rgb{34, 48, 36});
}

void drawBottomEdge(Canvas& c) {
    // Rows 185..190 close the window at the bottom, also when collapsed.
    for (int x = 20; x < 253; ++x) {
        c.set(x, 185, shade(metalAt(x, 185), -28));
        c.set(x, 186, shade(metalAt(x, 186), 22));
    }
}

}  // namespace

Mask windowMask() {
    const QRegion shape =
        geo::WindowShape(geo::kWindowWidth, geo::kExpandedHeight, geo::kTabY);
    Mask m(geo::kWindowWidth, geo::kExpandedHeight);
    for (int y = 0; y < m.height(); ++y)
        for (int x = 0; x < m.width(); ++x) m.put(x, y, shape.contains(QPoint(x, y)));
    return m;
}

Rgb fieldGridPixel(int fx, int fy) {
    return (fx % 2 == 0 && fy % 2 == 0) ? kFieldDot : kFieldBg;
}

BarHit ringBarAt(int x, int y) {
    // The sector table cuts its corners toward zero, which moves the ring it
    // outlines half a pixel up and left: its true middle is (215.5, 55.5).
    // The bars are laid around that point, between radii that stay inside
    // the sectors' 14..22. Sector i spans i - 1 to i degrees, so lighting
    // the angle A covers -1 to A - 1 degrees: the bars' boundaries lie one
    // degree before each multiple of 15, each with a parallel-sided gap
    // wide enough to swallow the sectors' rounding.
    constexpr int kSub = 4;
    BarHit hit;
    int inside = 0, votes[24] = {};
    for (int sy = 0; sy < kSub; ++sy)
        for (int sx = 0; sx < kSub; ++sx) {
            const double px = x + (sx + 0.5) / kSub - kRingMidX;
            const double py = y + (sy + 0.5) / kSub - kRingMidY;
            const double d = std::sqrt(px * px + py * py);
            if (d < kBarInner || d > kBarOuter) continue;
            double deg = std::atan2(px, -py) * 180.0 / kPi + kBarOffsetDeg;
            if (deg < 0) deg += 360.0;
            if (deg >= 360.0) deg -= 360.0;
            const int bar = std::min(23, static_cast<int>(deg / 15.0));
            bool inGap = false;
            for (int k : {bar, bar + 1}) {
                const double a = (k * 15.0 - kBarOffsetDeg) * kPi / 180.0;
                const double ux = std::sin(a), uy = -std::cos(a);
                if (std::abs(px * uy - py * ux) < kBarHalfGap) inGap = true;
            }
            if (inGap) continue;
            ++inside;
            ++votes[bar];
        }
    if (inside == 0) return hit;
    const int bar = static_cast<int>(std::max_element(votes, votes + 24) - votes);
    // Finally the bar keeps only pixels that its own fifteen sectors cover,
    // as the window rasterises them.
    static const std::array<QRegion, 24> kBarSectors = [] {
        std::array<QRegion, 24> r;
        for (int i = 0; i < geo::kRingSectors; ++i) r[i / 15] += geo::RingSector(i);
        return r;
    }();
    if (!kBarSectors[bar].contains(QPoint(x, y))) return hit;
    hit.bar = bar;
    hit.coverage = inside / static_cast<double>(kSub * kSub);
    return hit;
}

Canvas renderWindow(const Scene& s) {
    const Mask win = windowMask();
    Canvas c(geo::kWindowWidth, geo::kExpandedHeight);
    drawBase(c, win);
    drawTitleStrip(c);
    drawFrameButtons(c, win, s);
    drawDisplayField(c, win);
    drawRing(c, win, s.ringLit);
    drawTransport(c, win, s);
    drawLabels(c, win, s);
    drawTab(c, win, s);
    drawLowerSection(c, win, s);
    drawBottomEdge(c);
    // Whatever the outline cuts away stays black.
    for (int y = 0; y < geo::kExpandedHeight; ++y)
        for (int x = 0; x < geo::kWindowWidth; ++x)
            if (!win.at(x, y)) c.set(x, y, kBlack);
    return c;
}

namespace {

// Lights the dots of a glyph given in dot units, with faint bridges between
// neighbouring lit dots so strokes read as strokes.
void lightDots(Canvas& c, int x0, int y0, const Glyph& g, Rgb dot, Rgb bridge) {
    for (int j = 0; j < g.height; ++j)
        for (int i = 0; i < g.width; ++i) {
            if (!g.ink(i, j)) continue;
            c.set(x0 + 2 * i, y0 + 2 * j, dot);
            if (g.ink(i + 1, j)) c.set(x0 + 2 * i + 1, y0 + 2 * j, bridge);
            if (g.ink(i, j + 1)) c.set(x0 + 2 * i, y0 + 2 * j + 1, bridge);
            // Diagonal steps get a bridge too, unless a corner already joins them.
            if (g.ink(i + 1, j + 1) && !g.ink(i + 1, j) && !g.ink(i, j + 1))
                c.set(x0 + 2 * i + 1, y0 + 2 * j + 1, bridge);
            if (g.ink(i - 1, j + 1) && !g.ink(i - 1, j) && !g.ink(i, j + 1))
                c.set(x0 + 2 * i - 1, y0 + 2 * j + 1, bridge);
        }
}

Canvas gridCanvas(int w, int h) {
    Canvas c(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) c.set(x, y, fieldGridPixel(x, y));
    return c;
}

}  // namespace

Canvas digitBitmap() {
    Canvas c = gridCanvas(132, 16);
    const char* kChars = "0123456789:";
    for (int n = 0; n < 11; ++n)
        lightDots(c, 12 * n, 0, dotGlyph(kChars[n]), kDotLit, kDotLitBridge);
    return c;
}

Canvas signBitmap() {
    // Signs drawn pixel by pixel in rows 1..9 of their 8 x 11 cell: the
    // bright cell's last row is the dim cell's first, so both stay blank.
    // Pixels on the grid's dots are brightest, the others a little darker,
    // like the digits' strokes.
    // clang-format off
    static const char* kPlaying[9] = {"#.......", "##......", "###.....", "####....", "#####...", "####....", "###.....", "##......", "#......."};
    static const char* kStopped[9] = {"........", "#######.", "#######.", "#######.", "#######.", "#######.", "#######.", "#######.", "........"};
    static const char* kPaused[9]  = {"##..##..", "##..##..", "##..##..", "##..##..", "##..##..", "##..##..", "##..##..", "##..##..", "##..##.."};
    // clang-format on
    Canvas c = gridCanvas(146, 36);
    const char* const* signs[3] = {kPlaying, kStopped, kPaused};
    for (int i = 0; i < 3; ++i)
        for (int row = 0; row < 9; ++row)
            for (int col = 0; col < 8; ++col) {
                if (signs[i][row][col] != '#') continue;
                const int x = 20 + 8 * i + col, y = 1 + row;
                const bool onDot = x % 2 == 0 && y % 2 == 0;
                c.set(x, y, onDot ? kDotLit : kDotLitBridge);
                c.set(x, y + 10, onDot ? kDotDim : kDotDimBridge);
            }
    return c;
}

}  // namespace skin
