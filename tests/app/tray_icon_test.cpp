#include "app/tray_icon.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QListView>
#include <QPushButton>
#include <QStyleHints>

#include "app/entry_title.h"
#include "app/mini_bar.h"
#include "app/player_events.h"
#include "app/playlist_editor.h"
#include "control/transport.h"
#include "net/stream_title.h"
#include "platform/messages.h"
#include "tests/app/app_test_support.h"
#include "tests/support/tagged_file.h"

namespace vek::app {
namespace {

using test::Pump;
using test::PumpUntil;

TEST(TrayIcon, ThePictureIsTheTenthHeldToEleven) {
    const int cases[][2] = {{0, 0}, {9, 0}, {10, 1}, {99, 9}, {100, 10}, {103, 10}, {-4, 0}};
    for (const auto& c : cases) EXPECT_EQ(TrayIconIndex(c[0]), c[1]) << c[0];
}

TEST(TrayIcon, ALongTitleGivesWayToThePercentIn63Characters) {
    EXPECT_EQ(TrayTipText(QStringLiteral("a.mp3"), 103), QStringLiteral("Vek - a.mp3 - 100%"));
    QString tip = TrayTipText(QString(100, QLatin1Char('x')), 7);
    EXPECT_EQ(tip.size(), 63);
    EXPECT_TRUE(tip.startsWith(QStringLiteral("Vek - xxx")));
    EXPECT_TRUE(tip.endsWith(QStringLiteral("x\u2026 - 007%"))) << tip.toStdString();
    // A character outside the Basic Multilingual Plane at the cut goes whole.
    QString x48(48, QLatin1Char('x'));
    EXPECT_EQ(TrayTipText(x48 + QString::fromUtf8("\U0001F3B5") + x48, 7),
              QStringLiteral("Vek - ") + x48 + QStringLiteral("\u2026 - 007%"));
}

// The window's side, with a status area made up: the offscreen platform has none.
bool g_status_area = true;
bool FakeStatusArea() {
    return g_status_area;
}

QPushButton* BarButton(const char* text) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("mini_bar") && w->isVisible())
            for (QPushButton* b : w->findChildren<QPushButton*>())
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

TEST_F(TrayWindowTest, Location0OrNoStatusAreaKeepsTheTaskbar) {
    for (auto [location, status_area] : {std::pair{0, true}, std::pair{1, false}}) {
        gSettings.MinimizeLocation = location;
        g_status_area = status_area;
        if (window_) window_->close();
        MainWindow* w = Open();
        Minimise();
        EXPECT_TRUE(w->isMinimized() && w->isVisible()) << location;
        EXPECT_FALSE(IconShown()) << location;
    }
}

// The icon shows the last percent and follows the progress while shown. Its
// pictures at 0, 50 and 100 percent are kept in the build folder.
TEST_F(TrayWindowTest, MinimisedTheWindowGivesWayToTheIcon) {
    QDir().mkpath(VEK_SCREENSHOT_DIR);
    MainWindow* w = Open();
    w->HandleMessage(UIM_PROGRESS, 0, 57);
    Minimise();
    EXPECT_FALSE(w->isVisible());
    ASSERT_TRUE(IconShown());
    EXPECT_EQ(Icon()->toolTip(), QStringLiteral("Vek -  - 057%"));  // an empty list
    auto picture = [&] {
        return Icon()->icon().pixmap(16).toImage().convertToFormat(QImage::Format_RGB32);
    };
    EXPECT_EQ(picture(), LoadSkinImage("progress_5.png").convertToFormat(QImage::Format_RGB32));
    for (int percent : {0, 50, 100}) {
        w->HandleMessage(UIM_PROGRESS, 0, percent);
        picture().save(QStringLiteral(VEK_SCREENSHOT_DIR "/tray_icon_%1.png").arg(percent));
    }
    EXPECT_EQ(picture(), LoadSkinImage("progress_10.png").convertToFormat(QImage::Format_RGB32));
}

// A stream names its track itself, and renames it without a change of percent.
TEST_F(TrayWindowTest, TheTipFollowsAStreamsTitle) {
    const char* url = "http://radio.example/";
    Open();
    ASSERT_TRUE(AppendEntry(url));  // after the start, so that nothing plays it
    Minimise();
    EXPECT_EQ(Icon()->toolTip(), QStringLiteral("Vek - http://radio.example/ - 000%"));
    PostStreamTitle(url, "Band - Song");
    EXPECT_TRUE(PumpUntil(
        [&] { return Icon()->toolTip() == QStringLiteral("Vek - Band - Song - 000%"); }, 2000))
        << Icon()->toolTip().toStdString();
}

// "Show tag titles in the playlist": the editor reads the tags, and the tip
// and the lines name a tagged file by them; switched off, both go back to the
// file title.
TEST_F(TrayWindowTest, TagTitlesNameTheTrackInTheTipAndTheEditorsLines) {
    vek::test::TempDir dir;
    std::string tagged = dir.File("07 - track.mp3"), plain = dir.File("plain.mp3");
    const std::string clip = vek::test::DataPath("made/mpeg1_l3_cbr128_44k.mp3");
    ASSERT_TRUE(vek::test::WriteTaggedCopy(clip, tagged, {{.title = "Song", .artists = {"Band"}}}));
    ASSERT_TRUE(vek::test::WriteTaggedCopy(clip, plain, {}));
    gSettings.ShowTagTitles = 1;
    Open();
    ASSERT_TRUE(AppendEntry(tagged.c_str()));  // after the start, so that nothing plays it
    ASSERT_TRUE(AppendEntry(plain.c_str()));
    Minimise();
    ASSERT_TRUE(ShowPlaylistEditor());
    auto lines = [] {
        QAbstractItemModel* model =
            PlaylistEditorWindow()->findChild<QListView*>(QStringLiteral("list"))->model();
        return QStringList{model->index(0, 0).data().toString(),
                           model->index(1, 0).data().toString()};
    };
    EXPECT_TRUE(PumpUntil(
        [&] { return Icon()->toolTip() == QStringLiteral("Vek - Band - Song - 000%"); }, 5000))
        << Icon()->toolTip().toStdString();
    EXPECT_EQ(lines(), (QStringList{"Band - Song", "plain.mp3"}));
    gSettings.ShowTagTitles = 0;
    TagTitlesSwitched();  // as the preferences do
    EXPECT_EQ(Icon()->toolTip(), QStringLiteral("Vek - 07 - track.mp3 - 000%"));
    EXPECT_EQ(lines(), (QStringList{"07 - track.mp3", "plain.mp3"}));
    ClosePlaylistEditor();
}

// Some status areas report a double click as a click and a double click,
// others as two clicks.
TEST_F(TrayWindowTest, ADoubleClickRestoresTheWindowAndRemovesTheIcon) {
    MainWindow* w = Open();
    for (auto second : {QSystemTrayIcon::DoubleClick, QSystemTrayIcon::Trigger}) {
        Minimise();
        Click(QSystemTrayIcon::Trigger);
        Click(second);
        EXPECT_TRUE(w->isVisible() && !w->isMinimized()) << second;
        EXPECT_FALSE(IconShown());
    }
    // Progress out of the tray changes nothing there.
    w->HandleMessage(UIM_PROGRESS, 0, 80);
    EXPECT_EQ(Icon()->toolTip(), QStringLiteral("Vek -  - 000%"));
    Pump(100);
    EXPECT_FALSE(IsMiniBarOpen()) << "a double click opens nothing";
}

// The menu acts with the window hidden; its Close does not show it again.
TEST_F(TrayWindowTest, ARightClickOpensTheMenuWithTheWindowHidden) {
    MainWindow* w = Open();
    Minimise();
    Click(QSystemTrayIcon::Context);
    EXPECT_TRUE(w->menu()->isVisible());
    EXPECT_FALSE(w->isVisible());
    for (QAction* action : w->menu()->actions())
        if (action->data().toInt() == kCmdClose) action->trigger();
    EXPECT_FALSE(IsInTray());
    EXPECT_FALSE(w->isVisible());
}

// The bar opens once the double-click interval has passed, 80 pixels left of
// and 40 above the pointer, and goes when another window becomes active.
TEST_F(TrayWindowTest, AClickOpensTheBarWhichClosesOnDeactivation) {
    Open();
    Minimise();
    QCursor::setPos(400, 300);
    Click(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(IsMiniBarOpen()) << "a second click may still come";
    ASSERT_TRUE(PumpUntil([] { return BarButton("Prev") != nullptr; }, 2000));
    QWidget* bar = BarButton("Prev")->window();
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

}  // namespace
}  // namespace vek::app
