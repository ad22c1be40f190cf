#include "app/mini_bar.h"

#include <QEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "app/sheet_geometry.h"
#include "app/window_commands.h"

namespace vek::app {
namespace {

// The bar was drawn as 80 x 14 dialog units, each button 16 x 13.
constexpr int kButtonUnitsX = 16, kButtonUnitsY = 13;
constexpr QPoint kOffsetFromPointer(80, 40);
constexpr int kFrameWidth = 2;

// Wide enough for the longest label too: the desktop's font is seldom as
// narrow as the one the bar was drawn for, and a cut label helps nobody.
QSize ButtonSize(const QFont& font) {
    QSize size = DialogUnitsToPixels(DialogBaseUnits(font), kButtonUnitsX, kButtonUnitsY);
    QFontMetrics metrics(font);
    for (const CommandRow& row : CommandTable())
        if (row.bar_text)
            size.setWidth(std::max(
                size.width(), metrics.horizontalAdvance(QString::fromLatin1(row.bar_text)) + 10));
    return size;
}

class MiniBar : public QFrame {
  public:
    MiniBar() : QFrame(nullptr, Qt::Tool | Qt::FramelessWindowHint) {
        setObjectName(QStringLiteral("mini_bar"));
        setAttribute(Qt::WA_DeleteOnClose);
        setFrameStyle(QFrame::Panel | QFrame::Raised);
        setLineWidth(kFrameWidth);
        QSize size = ButtonSize(font());
        int x = kFrameWidth;
        for (const CommandRow& row : CommandTable()) {
            if (!row.bar_text) continue;
            auto* button = new QPushButton(QString::fromLatin1(row.bar_text), this);
            button->setGeometry(x, kFrameWidth, size.width(), size.height());
            button->setFocusPolicy(Qt::NoFocus);
            int id = row.id;
            connect(button, &QPushButton::clicked, [id] { RunCommand(id); });
            x += size.width();
        }
        setFixedSize(x + kFrameWidth, size.height() + 2 * kFrameWidth);
    }

  protected:
    void changeEvent(QEvent* event) override {
        if (event->type() == QEvent::ActivationChange) {
            if (isActiveWindow())
                was_active_ = true;
            else if (was_active_)
                close();
        }
        QFrame::changeEvent(event);
    }

  private:
    bool was_active_ = false;
};

QPointer<MiniBar> g_bar;

}  // namespace

bool ShowMiniBar(QWidget* owner, QPoint pointer) {
    if (!g_bar) {
        g_bar = new MiniBar;
        QObject::connect(owner, &QObject::destroyed, g_bar, [] { CloseMiniBar(); });
    }
    QPoint at = pointer - kOffsetFromPointer;
    if (QScreen* screen = QGuiApplication::screenAt(pointer)) {
        QRect room = screen->availableGeometry();
        at.setX(std::clamp(at.x(), room.left(),
                           std::max(room.left(), room.right() + 1 - g_bar->width())));
        at.setY(std::clamp(at.y(), room.top(),
                           std::max(room.top(), room.bottom() + 1 - g_bar->height())));
    }
    g_bar->move(at);
    g_bar->show();
    g_bar->raise();
    g_bar->activateWindow();
    return true;
}

void CloseMiniBar() {
    if (g_bar) g_bar->close();
}

bool IsMiniBarOpen() {
    return g_bar && g_bar->isVisible();
}

}  // namespace vek::app
