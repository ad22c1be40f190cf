#include "app/skin/drawing.h"

#include <QPainter>
#include <cctype>
#include <cstdio>

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
    QPainter painter(field);
    CopyBlock(painter, QPoint(0, 0), bitmaps.face, area);
    CopyBlock(painter, QPoint(kSignX, kSignY), bitmaps.signs,
              QRect(SignSourceX(sign), bright ? 0 : kDimSignY, kSignWidth, kSignHeight));
    char text[16];
    FormatElapsedTime(seconds, text, sizeof text);
    int dx = kTextX;
    for (const char* c = text; *c != '\0' && dx < kTextEnd; ++c, dx += kGlyphStep) {
        int glyph = std::toupper(static_cast<unsigned char>(*c)) - '0';
        if (glyph < 0 || glyph >= kGlyphCount) continue;
        CopyBlock(painter, QPoint(dx, kTextY), bitmaps.digits,
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
    QPainter painter(box);
    painter.setClipRegion(RingSectorsInBox(0, angle));
    CopyBlock(painter,
              QPoint(kLitRingAt.x - kRingPaintArea.left, kLitRingAt.y - kRingPaintArea.top),
              bitmaps.lit, bitmaps.lit.rect());
}

void DimRingFrom(QImage* box, const RingBitmaps& bitmaps, int angle) {
    QPainter painter(box);
    painter.setClipRegion(RingSectorsInBox(angle, kRingSectors));
    CopyBlock(painter, QPoint(0, 0), bitmaps.unlit, bitmaps.unlit.rect());
}

void DrawRingAtRest(QImage* box, const RingBitmaps& bitmaps, int angle) {
    {
        QPainter painter(box);
        CopyBlock(painter, QPoint(0, 0), bitmaps.unlit, bitmaps.unlit.rect());
    }
    LightRing(box, bitmaps, angle);
}

}  // namespace vek::app
