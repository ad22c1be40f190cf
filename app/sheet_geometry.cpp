#include "app/sheet_geometry.h"

#include <QFont>
#include <QFontMetricsF>
#include <QScreen>
#include <QString>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace vek::app {

QSize DialogUnitsToPixels(const QFont& font, int x, int y) {
    QFontMetricsF metrics(font);
    // The average width is taken over the alphabet in both cases.
    QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    double unit_x = metrics.horizontalAdvance(alphabet) / 52.0 / 4.0;
    double unit_y = metrics.height() / 8.0;
    return QSize(static_cast<int>(std::lround(x * unit_x)),
                 static_cast<int>(std::lround(y * unit_y)));
}

QSize SheetPageSize(const QFont& font) {
    return DialogUnitsToPixels(font, 235, 156);
}

void PlaceBeside(QWidget* sheet, const QWidget* owner) {
    if (!owner || !owner->isVisible() || !owner->screen()) return;
    QRect room = owner->screen()->availableGeometry();
    QRect beside = owner->frameGeometry();
    QSize size = sheet->sizeHint();
    constexpr int kGap = 8;
    int y =
        std::clamp(beside.top(), room.top(), std::max(room.top(), room.bottom() - size.height()));
    if (beside.right() + kGap + size.width() <= room.right())
        sheet->move(beside.right() + kGap, y);
    else if (beside.left() - kGap - size.width() >= room.left())
        sheet->move(beside.left() - kGap - size.width(), y);
}

}  // namespace vek::app
