#include "app/skin/drawing.h"

#include <QPainter>
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/skin/geometry.h"

namespace vek::app {
namespace {

using namespace vek::geometry;

constexpr int kGlyphWidth = 12;
constexpr int kGlyphHeight = 16;
constexpr int kGlyphCount = 11;  // "0" to "9" and ":"
constexpr int kGlyphStep = 10;   // neighbours overlap by two columns
constexpr int kTextX = 72, kTextY = 20;
constexpr int kTextEnd = 152;  // no glyph starts here or further right
constexpr int kSignX = 60, kSignY = 22;
constexpr int kSignWidth = 8, kSignHeight = 11;
constexpr int kDimSignY = 10;

int SignSourceX(TimeSign sign) {
    switch (sign) {
        case TimeSign::Playing:
            return 20;
        case TimeSign::Paused:
            return 36;
        case TimeSign::Stopped:
            break;
    }
    return 28;
}

// Copies a block as it is, alpha included, the way a plain bitmap copy does.
void CopyBlock(QPainter& painter, QPoint to, const QImage& from, QRect source) {
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(to, from, source);
}

// Images whose pixels are whole 32-bit words of one format are copied word by
// word; a painter costs more to set up than the few blocks the display
// threads copy four times a second.
bool PlainPixels(const QImage& to, const QImage& from) {
    return to.format() == from.format() && to.depth() == 32;
}

// CopyBlock for one block, the same pixels by rows where it can.
void CopyBlock(QImage* to, QPoint at, const QImage& from, QRect source) {
    if (!PlainPixels(*to, from) || !from.rect().contains(source)) {
        QPainter painter(to);
        CopyBlock(painter, at, from, source);
        return;
    }
    const QRect target = QRect(at, source.size()) & to->rect();
    if (target.isEmpty()) return;
    const QPoint from_at = source.topLeft() + (target.topLeft() - at);
    const size_t bytes = sizeof(uint32_t) * static_cast<size_t>(target.width());
    for (int y = 0; y < target.height(); ++y) {
        auto* row = reinterpret_cast<uint32_t*>(to->scanLine(target.top() + y));
        const auto* from_row =
            reinterpret_cast<const uint32_t*>(from.constScanLine(from_at.y() + y));
        std::memcpy(row + target.left(), from_row + from_at.x(), bytes);
    }
}

// For each pixel of the ring's box, the first and the last ring sector that
// holds it (-1 for none): a pixel lies in the sectors from..to-1 exactly when
// its first is below to and its last reaches from. Worked out once from the
// sectors' regions, it replaces a union of up to 360 regions per copy.
struct SectorSpans {
    int width = 0, height = 0;
    std::vector<int16_t> first, last;
};

const SectorSpans& RingSpans() {
    static const SectorSpans spans = [] {
        SectorSpans s;
        const QRect box = ToQRect(kRingPaintArea);
        s.width = box.width();
        s.height = box.height();
        s.first.assign(static_cast<size_t>(s.width * s.height), -1);
        s.last.assign(s.first.size(), -1);
        for (int i = 0; i < kRingSectors; ++i) {
            for (const QRect& r :
                 RingSector(i).translated(-box.topLeft()) & QRect(QPoint(), box.size())) {
                for (int y = r.top(); y <= r.bottom(); ++y) {
                    for (int x = r.left(); x <= r.right(); ++x) {
                        size_t at = static_cast<size_t>(y * s.width + x);
                        if (s.first[at] < 0) s.first[at] = static_cast<int16_t>(i);
                        s.last[at] = static_cast<int16_t>(i);
                    }
                }
            }
        }
        return s;
    }();
    return spans;
}

// Copies from's pixels into the box where they fall in the sectors
// from_sector..to_sector-1; from lies at the box's top left. False when the
// images are not plain pixels of the box's size: the caller clips instead.
bool CopyThroughSectors(QImage* box, const QImage& from, int from_sector, int to_sector) {
    const SectorSpans& spans = RingSpans();
    if (!PlainPixels(*box, from) || box->width() != spans.width || box->height() != spans.height)
        return false;
    const int width = std::min(box->width(), from.width());
    const int height = std::min(box->height(), from.height());
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(box->scanLine(y));
        const auto* from_row = reinterpret_cast<const uint32_t*>(from.constScanLine(y));
        const int16_t* first = &spans.first[static_cast<size_t>(y * spans.width)];
        const int16_t* last = &spans.last[static_cast<size_t>(y * spans.width)];
        for (int x = 0; x < width; ++x) {
            if (first[x] >= 0 && first[x] < to_sector && last[x] >= from_sector)
                row[x] = from_row[x];
        }
    }
    return true;
}

}  // namespace

int FormatElapsedTime(int seconds, char* out, size_t size) {
    if (seconds < 0) seconds = 0;
    int n = std::snprintf(out, size, "%01d:%02d:%02d", seconds / 3600, (seconds % 3600) / 60,
                          seconds % 60);
    return n < 0 ? 0 : n;
}

void DrawTimeField(QImage* field, const TimeBitmaps& bitmaps, int seconds, TimeSign sign,
                   bool bright) {
    const QRect area = ToQRect(kDisplayField);
    CopyBlock(field, QPoint(0, 0), bitmaps.face, area);
    CopyBlock(field, QPoint(kSignX, kSignY), bitmaps.signs,
              QRect(SignSourceX(sign), bright ? 0 : kDimSignY, kSignWidth, kSignHeight));
    char text[16];
    FormatElapsedTime(seconds, text, sizeof text);
    int dx = kTextX;
    for (const char* c = text; *c != '\0' && dx < kTextEnd; ++c, dx += kGlyphStep) {
        int glyph = std::toupper(static_cast<unsigned char>(*c)) - '0';
        if (glyph < 0 || glyph >= kGlyphCount) continue;
        CopyBlock(field, QPoint(dx, kTextY), bitmaps.digits,
                  QRect(kGlyphWidth * glyph, 0, kGlyphWidth, kGlyphHeight));
    }
}

int RingAngle(int percent) {
    if (percent <= 0) return 0;
    if (percent >= 100) return 360;  // and the angles of greater percents count as 360
    // One single-precision factor, so that 5 percent gives 18 degrees (one bar).
    constexpr float kDegreesPerPercent = 0.01f * 360.0f;
    return static_cast<int>(static_cast<float>(percent) * kDegreesPerPercent);
}

int RingRestAngle(int percent) {
    int angle = RingAngle(percent);
    return angle - angle % 15;
}

QRegion RingSectorsInBox(int from, int to) {
    if (from < 0) from = 0;
    if (to > kRingSectors) to = kRingSectors;
    QRegion sectors;
    for (int i = from; i < to; ++i) sectors += RingSector(i);
    return sectors.translated(-kRingPaintArea.left, -kRingPaintArea.top);
}

void LightRing(QImage* box, const RingBitmaps& bitmaps, int angle) {
    if (angle <= 0) return;
    static_assert(kLitRingAt.x == kRingPaintArea.left && kLitRingAt.y == kRingPaintArea.top,
                  "the lit ring starts at the box's top left");
    if (CopyThroughSectors(box, bitmaps.lit, 0, angle)) return;
    QPainter painter(box);
    painter.setClipRegion(RingSectorsInBox(0, angle));
    CopyBlock(painter,
              QPoint(kLitRingAt.x - kRingPaintArea.left, kLitRingAt.y - kRingPaintArea.top),
              bitmaps.lit, bitmaps.lit.rect());
}

void DimRingFrom(QImage* box, const RingBitmaps& bitmaps, int angle) {
    if (CopyThroughSectors(box, bitmaps.unlit, std::max(angle, 0), kRingSectors)) return;
    QPainter painter(box);
    painter.setClipRegion(RingSectorsInBox(angle, kRingSectors));
    CopyBlock(painter, QPoint(0, 0), bitmaps.unlit, bitmaps.unlit.rect());
}

void DrawRingAtRest(QImage* box, const RingBitmaps& bitmaps, int angle) {
    CopyBlock(box, QPoint(0, 0), bitmaps.unlit, bitmaps.unlit.rect());
    LightRing(box, bitmaps, angle);
}

}  // namespace vek::app
