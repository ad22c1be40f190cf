// The windows on a Wayland desktop: run by tests/support/with-weston.sh, on a
// headless Weston with a solid background, looked at through its screenshots
// and through what the client tells the compositor (WAYLAND_DEBUG=client).
#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QDir>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QWindow>
#include <cstdlib>
#include <map>

#include "app/playlist_editor.h"
#include "app/preferences.h"
#include "app/qt_desktop.h"
#include "app/tray_icon.h"
#include "tests/app/app_test_support.h"

namespace vek::app {
namespace {

using test::PumpUntil;

const QRgb kDesktop = qRgb(0x33, 0x66, 0x99);  // with-weston.sh's background

QImage Screenshot() {
    vek::test::TempDir dir;
    if (std::system(("cd " + dir.path() + " && weston-screenshooter").c_str()) != 0) return {};
    QDir shots(QString::fromStdString(dir.path()), QStringLiteral("*.png"));
    return QImage(shots.filePath(shots.entryList().value(0))).convertToFormat(QImage::Format_RGB32);
}

// The region the window last gave as its input region.
QRegion InputRegion() {
    std::map<QString, QRegion> regions;
    QRegion input;
    QRegularExpression made(QStringLiteral(R"(new id (wl_region@\d+))")),
        add(QStringLiteral(R"((wl_region@\d+)\.add\((\d+), (\d+), (\d+), (\d+)\))")),
        set(QStringLiteral(R"(set_input_region\((wl_region@\d+)\))"));
    // What this client told the compositor: its WAYLAND_DEBUG log.
    const char* log_path = std::getenv("WESTON_CLIENT_LOG");
    const std::string log = log_path ? vek::test::ReadFileText(log_path) : std::string();
    for (const QString& line : QString::fromStdString(log).split('\n')) {
        if (auto m = made.match(line); m.hasMatch()) regions[m.captured(1)] = QRegion();
        if (auto m = add.match(line); m.hasMatch())
            regions[m.captured(1)] += QRect(m.captured(2).toInt(), m.captured(3).toInt(),
                                            m.captured(4).toInt(), m.captured(5).toInt());
        if (auto m = set.match(line); m.hasMatch()) input = regions[m.captured(1)];
    }
    return input;
}

using WaylandTest = test::WindowTest;

// The desktop shows at every point of the window's box outside the outline,
// and the window's own pixels inside; presses land inside the outline only.
TEST_F(WaylandTest, OutsideItsOutlineTheWindowShowsTheDesktopInBothHeights) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("wayland"));
    MainWindow* w = Open();
    for (int height : {kExpandedHeight, kCollapsedHeight}) {
        if (w->height() != height) RunCommand(kCmdExpand);
        int wrong = -1, desktop = 0;
        PumpUntil(
            [&] {
                QImage shot = Screenshot(),
                       face = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
                QRect box;  // what covers the desktop
                for (int y = 0; y < shot.height(); ++y)
                    for (int x = 0; x < shot.width(); ++x)
                        box |= shot.pixel(x, y) != kDesktop ? QRect(x, y, 1, 1) : QRect();
                if (box.size() != QSize(kWindowWidth, height)) return false;
                wrong = desktop = 0;
                for (int y = 0; y < height; ++y)
                    for (int x = 0; x < kWindowWidth; ++x) {
                        bool inside = w->mask().contains(QPoint(x, y));
                        desktop += !inside;
                        wrong += shot.pixel(box.topLeft() + QPoint(x, y)) !=
                                 (inside ? face.pixel(x, y) : kDesktop);
                    }
                return wrong == 0;
            },
            10000);
        EXPECT_EQ(wrong, 0) << height;
        EXPECT_GT(desktop, 1500) << height;
    }
    EXPECT_EQ(InputRegion(), WindowShape(kWindowWidth, kExpandedHeight, kTabY));
}

// The compositor places them: they open as the main window's own.
TEST_F(WaylandTest, TheEditorAndThePreferencesOpenAsTheWindowsOwnAndClose) {
    MainWindow* w = Open();
    for (int command : {kCmdPlaylistEditor, kCmdPreferences}) {
        RunCommand(command);
        QWidget* opened = command == kCmdPreferences ? PreferencesSheet() : PlaylistEditorWindow();
        ASSERT_TRUE(opened && PumpUntil([&] { return opened->windowHandle()->isExposed(); }, 5000));
        EXPECT_EQ(opened->windowHandle()->transientParent(), w->windowHandle());
        opened->close();
        EXPECT_TRUE(
            PumpUntil([] { return !IsPlaylistEditorOpen() && !IsPreferencesOpen(); }, 5000));
    }
}

// The tray as a desktop panel sees it: a StatusNotifierItem registered with
// the watcher that main() started, asked over the bus as a panel asks.
const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kItem = QStringLiteral("org.kde.StatusNotifierItem");

// The item lives in this process: its answer comes while the loop runs.
QDBusMessage CallItem(const QString& item, const QString& method, const QVariantList& arguments) {
    bool property = method == QLatin1String("Get");
    QDBusMessage call = QDBusMessage::createMethodCall(
        item, QStringLiteral("/StatusNotifierItem"),
        property ? QStringLiteral("org.freedesktop.DBus.Properties") : kItem, method);
    call.setArguments(arguments);
    QDBusPendingCall pending = QDBusConnection::sessionBus().asyncCall(call);
    PumpUntil([&] { return pending.isFinished(); }, 5000);
    return pending.reply();
}

// The pixels of every size of the item's icon.
QByteArray IconPixels(const QString& item) {
    QDBusMessage reply =
        CallItem(item, QStringLiteral("Get"), {kItem, QStringLiteral("IconPixmap")});
    const QDBusArgument sizes =
        reply.arguments().value(0).value<QDBusVariant>().variant().value<QDBusArgument>();
    QByteArray pixels;
    sizes.beginArray();
    while (!sizes.atEnd()) {
        int width = 0, height = 0;
        QByteArray argb;
        sizes.beginStructure();
        sizes >> width >> height >> argb;
        sizes.endStructure();
        pixels += argb;
    }
    sizes.endArray();
    return pixels;
}

TEST_F(WaylandTest, InTheTrayTheItemFollowsTheProgressAndItsActionsAct) {
    // A panel's watcher, there before the first icon asks for one.
    QProcess panel;
    panel.start(QStringLiteral(VEK_SNI_WATCHER), {});
    ASSERT_TRUE(PumpUntil(
        [] {
            return QDBusConnection::sessionBus().interface()->isServiceRegistered(kWatcher).value();
        },
        5000))
        << "no session bus, or " VEK_SNI_WATCHER " did not start";
    gSettings.MinimizeLocation = 1;
    MainWindow* w = Open();
    RunCommand(kCmdMinimise);
    QDBusInterface watcher(kWatcher, QStringLiteral("/StatusNotifierWatcher"), kWatcher);
    QString item;
    ASSERT_TRUE(PumpUntil(
        [&] {
            QStringList items = watcher.property("RegisteredStatusNotifierItems").toStringList();
            item = items.value(items.size() - 1);  // the watcher keeps those gone too
            return !item.isEmpty() && !w->isVisible();
        },
        5000));
    UpdateTrayIcon(5);
    const QByteArray low = IconPixels(item);
    UpdateTrayIcon(95);
    EXPECT_FALSE(low.isEmpty());
    EXPECT_NE(IconPixels(item), low);
    UpdateTrayIcon(7);
    EXPECT_EQ(IconPixels(item), low);
    // A panel's right click, then its click.
    CallItem(item, QStringLiteral("ContextMenu"), {0, 0});
    EXPECT_TRUE(PumpUntil([&] { return w->menu()->isVisible(); }, 5000));
    w->menu()->close();
    CallItem(item, QStringLiteral("Activate"), {0, 0});
    EXPECT_TRUE(PumpUntil([&] { return w->isVisible() && !IsInTray(); }, 5000));
}

}  // namespace
}  // namespace vek::app
