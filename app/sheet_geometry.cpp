#include "app/sheet_geometry.h"

#include <QFont>
#include <QFontMetricsF>
#include <QScreen>
#include <QString>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "app/qt_desktop.h"

namespace vek::app {

QSizeF DialogBaseUnits(const QFont& font) {
    QFontMetricsF metrics(font);
    // The average width is taken over the alphabet in both cases.
    QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return QSizeF(metrics.horizontalAdvance(alphabet) / 52.0, metrics.height());
}

QSize DialogUnitsToPixels(QSizeF base, int x, int y) {
    return QSize(static_cast<int>(std::lround(x * base.width() / 4.0)),
                 static_cast<int>(std::lround(y * base.height() / 8.0)));
}

QSize SheetPageSize(const QFont& font) {
    return DialogUnitsToPixels(DialogBaseUnits(font), 235, 156);
}

void PlaceBeside(QWidget* sheet, const QWidget* owner) {
    // A sheet is its owner's dialog: where windows cannot be placed, the
    // compositor keeps it with the owner.
    if (!owner || !owner->isVisible() || !owner->screen() || !WindowPositionsKnown()) return;
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

void OpenWithOwner(QWidget* window, const QWidget* owner) {
    if (WindowPositionsKnown() || !owner || !owner->windowHandle()) return;
    window->winId();  // its native window, to be told whose it is
    window->windowHandle()->setTransientParent(owner->windowHandle());
}

}  // namespace vek::app
