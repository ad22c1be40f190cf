#include "app/tray_icon.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QPushButton>
#include <QStyleHints>
#include <vector>

#include "app/mini_bar.h"
#include "app/player_events.h"
#include "control/transport.h"
#include "platform/messages.h"
#include "tests/app/app_test_support.h"

namespace vek::app {
namespace {

using test::Pump;
using test::PumpUntil;

TEST(TrayIcon, ThePictureIsTheTenthHeldToEleven) {
    const struct {
        int percent, index;
    } cases[] = {{0, 0}, {9, 0}, {10, 1}, {55, 5}, {99, 9}, {100, 10}, {103, 10}, {-4, 0}};
    for (const auto& c : cases) EXPECT_EQ(TrayIconIndex(c.percent), c.index) << c.percent;
}

TEST(TrayIcon, TheTipNamesTheTitleAndThePercent) {
    const struct {
        const char* title;
        int percent;
        const char* tip;
    } cases[] = {
        {"a.mp3", 42, "Vek - a.mp3 - 042%"},
        {"", 0, "Vek -  - 000%"},  // an empty list
        {"a.mp3", 103, "Vek - a.mp3 - 100%"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TrayTipText(QString::fromUtf8(c.title), c.percent), QString::fromUtf8(c.tip));
}

TEST(TrayIcon, ALongTitleGivesWayToThePercentIn63Characters) {
    QString tip = TrayTipText(QString(100, QLatin1Char('x')), 7);
    EXPECT_EQ(tip.size(), 63);
    EXPECT_TRUE(tip.startsWith(QStringLiteral("Vek - xxx")));
    EXPECT_TRUE(tip.endsWith(QStringLiteral("x\u2026 - 007%"))) << tip.toStdString();
}

TEST(TrayIcon, ClicksTurnIntoActions) {
    using R = QSystemTrayIcon::ActivationReason;
    constexpr R kWaitOver = QSystemTrayIcon::Unknown;  // the double-click interval passed
    const struct {
        std::vector<R> events;
        std::vector<TrayAction> actions;
    } cases[] = {
        {{R::Trigger, kWaitOver}, {TrayAction::AwaitSecondClick, TrayAction::OpenBar}},
        {{R::Trigger, R::DoubleClick, kWaitOver},
         {TrayAction::AwaitSecondClick, TrayAction::Restore, TrayAction::None}},
        // Status areas that report a double click as two clicks.
        {{R::Trigger, R::Trigger, kWaitOver},
         {TrayAction::AwaitSecondClick, TrayAction::Restore, TrayAction::None}},
        {{R::Trigger, R::Context, kWaitOver},
         {TrayAction::AwaitSecondClick, TrayAction::OpenMenu, TrayAction::None}},
        {{R::MiddleClick, kWaitOver}, {TrayAction::None, TrayAction::None}},
    };
    for (const auto& c : cases) {
        TrayClicks clicks;
        std::vector<TrayAction> actions;
        for (R event : c.events)
            actions.push_back(event == kWaitOver ? OnDoubleClickIntervalOver(&clicks)
                                                 : OnTrayClick(&clicks, event));
        EXPECT_EQ(actions, c.actions) << "case " << (&c - cases);
    }
}

// The window's side, with a status area made up: the offscreen platform has none.
bool g_status_area = true;
bool FakeStatusArea() {
    return g_status_area;
}

QWidget* OpenBar() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("mini_bar") && w->isVisible()) return w;
    return nullptr;
}

QPushButton* BarButton(const char* text) {
    QWidget* bar = OpenBar();
    if (!bar) return nullptr;
    for (QPushButton* b : bar->findChildren<QPushButton*>())
        if (b->text() == QLatin1String(text)) return b;
    return nullptr;
}

class TrayWindowTest : public test::WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        g_status_area = true;
        SetStatusAreaCheck(FakeStatusArea);
        double_click_ms_ = QGuiApplication::styleHints()->mouseDoubleClickInterval();
        QGuiApplication::styleHints()->setMouseDoubleClickInterval(30);
        gSettings.MinimizeLocation = 1;
    }
    void TearDown() override {
        CloseMiniBar();
        WindowTest::TearDown();
        SetStatusAreaCheck(nullptr);
        SetStatusAreaWatchInterval(2000);
        QGuiApplication::styleHints()->setMouseDoubleClickInterval(double_click_ms_);
    }
    QSystemTrayIcon* Icon() { return window_->findChild<QSystemTrayIcon*>(); }
    bool IconShown() { return Icon() && Icon()->isVisible(); }
    void Minimise() {
        window_->showMinimized();
        Pump(20);
    }
    void Click(QSystemTrayIcon::ActivationReason reason) { emit Icon()->activated(reason); }

    int double_click_ms_ = 0;
};

TEST_F(TrayWindowTest, MinimisingWithLocation0KeepsTheTaskbar) {
    gSettings.MinimizeLocation = 0;
    MainWindow* w = Open();
    Minimise();
    EXPECT_TRUE(w->isMinimized());
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(IconShown());
}

TEST_F(TrayWindowTest, WithoutAStatusAreaMinimisingKeepsTheTaskbar) {
    g_status_area = false;
    MainWindow* w = Open();
    Minimise();
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(IsInTray());
    EXPECT_FALSE(IconShown());
}

// The icon shows the last percent and follows the progress only while shown.
// Its pictures at 0, 50 and 100 percent are kept in the build folder.
TEST_F(TrayWindowTest, MinimisedTheWindowGivesWayToTheIcon) {
    QDir().mkpath(VEK_SCREENSHOT_DIR);
    MainWindow* w = Open();
    w->HandleMessage(UIM_PROGRESS, 0, 57);
    Minimise();
    EXPECT_FALSE(w->isVisible());
    ASSERT_TRUE(IconShown());
    EXPECT_EQ(Icon()->toolTip(), QStringLiteral("Vek -  - 057%"));
    auto picture = [&] {
        return Icon()->icon().pixmap(16).toImage().convertToFormat(QImage::Format_RGB32);
    };
    EXPECT_EQ(picture(), LoadSkinImage("progress_5.png").convertToFormat(QImage::Format_RGB32));
    for (int percent : {0, 50, 100}) {
        w->HandleMessage(UIM_PROGRESS, 0, percent);
        picture().save(QStringLiteral(VEK_SCREENSHOT_DIR "/tray_icon_%1.png").arg(percent));
    }
    EXPECT_EQ(picture(), LoadSkinImage("progress_10.png").convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(Icon()->toolTip(), QStringLiteral("Vek -  - 100%"));
}

TEST_F(TrayWindowTest, ProgressWhileNotInTheTrayLeavesTheIconAlone) {
    MainWindow* w = Open();
    Minimise();
    w->showNormal();
    Pump(20);
    ASSERT_FALSE(IconShown());
    QString tip = Icon()->toolTip();
    w->HandleMessage(UIM_PROGRESS, 0, 80);
    EXPECT_EQ(Icon()->toolTip(), tip);
    EXPECT_FALSE(IconShown());
}

TEST_F(TrayWindowTest, ADoubleClickRestoresTheWindowAndRemovesTheIcon) {
    MainWindow* w = Open();
    Minimise();
    Click(QSystemTrayIcon::Trigger);
    Click(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->isMinimized());
    EXPECT_FALSE(IconShown());
    EXPECT_FALSE(IsInTray());
    Pump(100);
    EXPECT_FALSE(IsMiniBarOpen()) << "a double click opens nothing";
}

TEST_F(TrayWindowTest, ARightClickOpensTheMenuWithTheWindowHidden) {
    MainWindow* w = Open();
    Minimise();
    Click(QSystemTrayIcon::Context);
    EXPECT_TRUE(w->menu()->isVisible());
    EXPECT_FALSE(w->isVisible());
    w->menu()->close();
}

// The bar opens once the double-click interval has passed, 80 pixels left of
// and 40 above the pointer, and goes when another window becomes active.
TEST_F(TrayWindowTest, AClickOpensTheBarWhichClosesOnDeactivation) {
    Open();
    Minimise();
    QCursor::setPos(400, 300);
    Click(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(IsMiniBarOpen()) << "a second click may still come";
    ASSERT_TRUE(PumpUntil([] { return OpenBar() != nullptr; }, 2000));
    QWidget* bar = OpenBar();
    EXPECT_EQ(bar->pos(), QPoint(320, 260));
    ASSERT_TRUE(PumpUntil([bar] { return bar->isActiveWindow(); }, 2000));
    bar->grab().save(QStringLiteral(VEK_SCREENSHOT_DIR "/mini_bar.png"));
    QWidget other;
    other.show();
    other.activateWindow();
    EXPECT_TRUE(PumpUntil([] { return !IsMiniBarOpen(); }, 2000));
}

TEST_F(TrayWindowTest, TheBarsStopAndPlayButtonsActOnThePlayer) {
    ASSERT_TRUE(AddFileByName(vek::test::DataPath("made/mpeg1_l3_cbr128_44k.mp3").c_str()));
    int started = 0;
    auto count = [](PlayerEvent event, int, void* n) {
        if (event == PlayerEvent::TrackStarted) ++*static_cast<int*>(n);
    };
    AddPlayerListener(count, &started);
    Open();
    ASSERT_TRUE(PumpUntil([&] { return started == 1; }, 5000));
    Minimise();
    Click(QSystemTrayIcon::Trigger);
    ASSERT_TRUE(PumpUntil([] { return BarButton("Stop") != nullptr; }, 2000));
    BarButton("Stop")->click();
    EXPECT_EQ(GetPlayState(), PlayState::Stopped);
    BarButton("Play")->click();
    EXPECT_TRUE(PumpUntil([&] { return started == 2; }, 5000)) << "the track plays again";
    RemovePlayerListener(count, &started);
}

TEST_F(TrayWindowTest, TheWindowComesBackWhenTheStatusAreaGoes) {
    SetStatusAreaWatchInterval(10);
    MainWindow* w = Open();
    Minimise();
    ASSERT_TRUE(IsInTray());
    g_status_area = false;
    EXPECT_TRUE(PumpUntil([w] { return w->isVisible() && !w->isMinimized(); }, 2000));
    EXPECT_FALSE(IconShown());
}

TEST_F(TrayWindowTest, ClosingFromTheTrayDoesNotShowTheWindowAgain) {
    MainWindow* w = Open();
    Minimise();
    w->RunCommand(kCmdClose);
    EXPECT_FALSE(IsInTray());
    EXPECT_FALSE(w->isVisible());
    EXPECT_NE(IniText().find("MinimizeLocation=1\n"), std::string::npos) << "settings saved";
}

}  // namespace
}  // namespace vek::app
