#include "app/tray_icon.h"

#include <QCursor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QStyleHints>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstring>

#include "app/entry_title.h"
#include "app/main_window.h"
#include "app/mini_bar.h"
#include "app/player_events.h"
#include "app/window_commands.h"
#include "playlist/playlist.h"

namespace vek::app {
namespace {

constexpr int kPictureCount = 11;
constexpr int kTipLength = 63;
const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");

// What stays for the process: the pictures and the tests' settings.
struct TrayShared {
    std::array<QImage, kPictureCount> pictures;
    bool (*available)() = nullptr;
    int watch_ms = 2000;
};
TrayShared g_shared;

// The icon of one main window. It is made on the window's first minimise to
// the tray, as the window's child, so it goes with the window.
struct Tray {
    QPointer<QSystemTrayIcon> icon;
    QPointer<MainWindow> window;
    bool in_tray = false;
    int shown_index = -1;
    int percent = 0;
    TrayClicks clicks;
    QTimer* bar_wait = nullptr;  // children of the icon
    QTimer* watch = nullptr;     // XEmbed only
    QMenu* menu = nullptr;       // what a StatusNotifierItem host shows itself
};
Tray g_tray;

bool StatusAreaAvailable() {
    return g_shared.available ? g_shared.available() : QSystemTrayIcon::isSystemTrayAvailable();
}

// Qt shows the icon as a StatusNotifierItem where a watcher on the session bus
// says a host is there (KDE, GNOME with AppIndicator, most Wayland panels),
// else through XEmbed.
bool StatusNotifierHostThere() {
    QDBusMessage get = QDBusMessage::createMethodCall(
        kWatcher, QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << kWatcher << QStringLiteral("IsStatusNotifierHostRegistered");
    // A panel that hangs must not hold up the window for D-Bus's 25 seconds.
    QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, 2000);
    return reply.arguments().value(0).value<QDBusVariant>().variant().toBool();
}

// The name the tip gives the track; empty with an empty list.
QString CurrentTitle() {
    return gPlaylist.current ? EntryDisplayTitle(*gPlaylist.current) : QString();
}

// Back from the tray, as a double click asks: the window leaves its minimised
// state (which removes the icon) and comes to the front.
void RestoreWindow(MainWindow* window) {
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    RemoveTrayIcon(window);
    window->raise();
    window->activateWindow();
}

void Act(TrayAction action) {
    MainWindow* window = g_tray.window;
    if (!window) return;
    switch (action) {
        case TrayAction::AwaitSecondClick:
            g_tray.bar_wait->start(QGuiApplication::styleHints()->mouseDoubleClickInterval());
            break;
        case TrayAction::OpenBar:
            ShowMiniBar(window, QCursor::pos());
            break;
        case TrayAction::Restore:
            g_tray.bar_wait->stop();
            RestoreWindow(window);
            break;
        case TrayAction::OpenMenu:
            g_tray.bar_wait->stop();
            ShowMainMenu(window, QCursor::pos());
            break;
        case TrayAction::None:
            break;
    }
}

void ShowPicture(int percent) {
    g_tray.percent = percent;
    int index = TrayIconIndex(percent);
    if (index != g_tray.shown_index) {
        g_tray.icon->setIcon(QIcon(QPixmap::fromImage(g_shared.pictures[index])));
        g_tray.shown_index = index;
    }
    g_tray.icon->setToolTip(TrayTipText(CurrentTitle(), percent));
}

void FollowTitle(PlayerEvent event, int, void*) {
    if (event == PlayerEvent::TitleChanged) UpdateTrayIcon(g_tray.percent);
}

void MakeIcon(MainWindow* window) {
    if (g_tray.icon && g_tray.window == window) return;
    delete g_tray.icon;
    g_tray = Tray{};
    g_tray.window = window;
    g_tray.clicks.status_notifier = StatusNotifierHostThere();
    g_tray.icon = new QSystemTrayIcon(window);
    g_tray.bar_wait = new QTimer(g_tray.icon);
    g_tray.bar_wait->setSingleShot(true);
    QObject::connect(g_tray.bar_wait, &QTimer::timeout,
                     [] { Act(OnDoubleClickIntervalOver(&g_tray.clicks)); });
    QObject::connect(
        g_tray.icon, &QSystemTrayIcon::activated,
        [](QSystemTrayIcon::ActivationReason reason) { Act(OnTrayClick(&g_tray.clicks, reason)); });
    // A status area that goes away (its panel quit) takes the icon with it;
    // the window must not stay hidden then. A StatusNotifierItem's watcher is
    // heard leaving the bus; XEmbed's status area is looked for now and then.
    auto restore = [] {
        if (g_tray.in_tray && g_tray.window) RestoreWindow(g_tray.window);
    };
    if (g_tray.clicks.status_notifier) {
        auto* gone =
            new QDBusServiceWatcher(kWatcher, QDBusConnection::sessionBus(),
                                    QDBusServiceWatcher::WatchForUnregistration, g_tray.icon);
        QObject::connect(gone, &QDBusServiceWatcher::serviceUnregistered, restore);
        // The host shows the menu itself, and must be given it for that; the
        // keys act only in the player's windows, so it shows none.
        g_tray.menu = new QMenu(window);
        BuildCommandMenu(g_tray.menu, g_tray.icon, false);
        g_tray.icon->setContextMenu(g_tray.menu);
        return;
    }
    g_tray.watch = new QTimer(g_tray.icon);
    QObject::connect(g_tray.watch, &QTimer::timeout, [restore] {
        if (!StatusAreaAvailable()) restore();
    });
}

}  // namespace

int TrayIconIndex(int percent) {
    return std::clamp(percent, 0, 100) / 10;
}

QString TrayTipText(const QString& title, int percent) {
    const QString head = QStringLiteral("Vek - ");
    const QString tail =
        QStringLiteral(" - %1%").arg(std::clamp(percent, 0, 100), 3, 10, QLatin1Char('0'));
    const int room = kTipLength - static_cast<int>(head.size() + tail.size());
    if (title.size() <= room) return head + title + tail;
    // A long title gives way, not the percent. Never half of a character
    // made of two UTF-16 units.
    int keep = room - 1;
    if (title.at(keep - 1).isHighSurrogate()) --keep;
    return head + title.left(keep) + QChar(0x2026) + tail;
}

TrayAction OnTrayClick(TrayClicks* clicks, QSystemTrayIcon::ActivationReason reason) {
    if (clicks->status_notifier) {
        return reason == QSystemTrayIcon::Trigger       ? TrayAction::Restore
               : reason == QSystemTrayIcon::MiddleClick ? TrayAction::OpenBar
               : reason == QSystemTrayIcon::Context     ? TrayAction::OpenMenu
                                                        : TrayAction::None;
    }
    switch (reason) {
        case QSystemTrayIcon::Trigger:
            if (clicks->bar_pending) {
                clicks->bar_pending = false;
                return TrayAction::Restore;
            }
            clicks->bar_pending = true;
            return TrayAction::AwaitSecondClick;
        case QSystemTrayIcon::DoubleClick:
            clicks->bar_pending = false;
            return TrayAction::Restore;
        case QSystemTrayIcon::Context:
            clicks->bar_pending = false;
            return TrayAction::OpenMenu;
        default:
            return TrayAction::None;
    }
}

TrayAction OnDoubleClickIntervalOver(TrayClicks* clicks) {
    if (!clicks->bar_pending) return TrayAction::None;
    clicks->bar_pending = false;
    return TrayAction::OpenBar;
}

bool MinimisesToTray(int minimize_location) {
    return minimize_location == 1 && StatusAreaAvailable();
}

void LoadTrayIcons() {
    for (int i = 0; i < kPictureCount; ++i)
        g_shared.pictures[i] = QImage(QStringLiteral(":/skin/progress_%1.png").arg(i));
    // A stream's title changes without a change of percent.
    RemovePlayerListener(FollowTitle, nullptr);
    AddPlayerListener(FollowTitle, nullptr);
}

void AddTrayIcon(MainWindow* window, int percent) {
    MakeIcon(window);
    ShowPicture(percent);
    g_tray.icon->show();
    g_tray.in_tray = true;
    g_tray.clicks.bar_pending = false;
    if (g_tray.watch) g_tray.watch->start(g_shared.watch_ms);
    // Called while the window is being minimised, which shows it once its
    // state has changed: it is hidden when that is over.
    QTimer::singleShot(0, window, [window] {
        if (g_tray.in_tray && g_tray.window == window) window->hide();
    });
}

void UpdateTrayIcon(int percent) {
    if (g_tray.in_tray && g_tray.icon) ShowPicture(percent);
}

void RemoveTrayIcon(MainWindow* window) {
    if (!g_tray.in_tray || !g_tray.icon || g_tray.window != window) return;
    g_tray.in_tray = false;
    if (g_tray.watch) g_tray.watch->stop();
    g_tray.bar_wait->stop();
    g_tray.icon->hide();
    CloseMiniBar();
    if (!window->isMinimized()) window->show();
}

bool IsInTray() {
    return g_tray.in_tray;
}

void SetStatusAreaCheck(bool (*available)()) {
    g_shared.available = available;
}

void SetStatusAreaWatchInterval(int milliseconds) {
    g_shared.watch_ms = milliseconds;
}

}  // namespace vek::app
