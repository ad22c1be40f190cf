#include "app/dialog_units.h"

#include <QFont>
#include <QFontMetricsF>
#include <QString>
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

}  // namespace vek::app
