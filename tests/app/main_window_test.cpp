#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QImage>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "app/player_events.h"
#include "control/transport.h"
#include "engine/decoder.h"
#include "engine/decoder_thread.h"
#include "net/stream_title.h"
#include "output/outputs.h"
#include "platform/messages.h"
#include "tests/app/app_test_support.h"

namespace vek::app {
namespace {

using test::Press;
using test::Pump;
using test::PumpUntil;
using test::Release;
using test::WindowTest;

QImage Grab(QWidget* w) {
    return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// True when the window shows the bitmap's block at the given place.
bool Shows(const QImage& window, QPoint at, const QPixmap& bitmap, QRect source) {
    QImage block = bitmap.toImage().convertToFormat(QImage::Format_RGB32).copy(source);
    return window.copy(QRect(at, source.size())) == block;
}

using MainWindowTest = WindowTest;

TEST_F(MainWindowTest, CollapsesTo99AndExpandsBack) {
    MainWindow* w = Open();
    EXPECT_EQ(w->height(), 191);
    RunCommand(kCmdExpand);
    EXPECT_EQ(w->height(), 99);
    EXPECT_FALSE(w->expanded());
    // The collapsed window's lower edge is the skin's bottom strip.
    EXPECT_TRUE(Shows(Grab(w), QPoint(0, 93), w->skin().face, QRect(0, 185, 258, 6)));
    RunCommand(kCmdExpand);
    EXPECT_EQ(w->height(), 191);
    EXPECT_EQ(w->width(), 258);
}

TEST_F(MainWindowTest, ClosingStoresThePositionAndTheForm) {
    MainWindow* w = Open();
    w->move(321, 234);
    RunCommand(kCmdExpand);  // closed collapsed: the next start is collapsed
    window_->close();
    window_.reset();
    std::string ini = IniText();
    EXPECT_NE(ini.find("WindowX=321\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("WindowY=234\n"), std::string::npos);
    EXPECT_NE(ini.find("StartupExpanded=0\n"), std::string::npos);
}

TEST_F(MainWindowTest, ClosingMinimisedKeepsTheStoredPosition) {
    gSettings.WindowX = 40;
    gSettings.WindowY = 50;
    MainWindow* w = Open();
    w->move(400, 300);
    w->showMinimized();
    Pump(20);
    ASSERT_TRUE(w->isMinimized());
    window_->close();
    window_.reset();
    std::string ini = IniText();
    EXPECT_NE(ini.find("WindowX=40\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("WindowY=50\n"), std::string::npos);
}

TEST_F(MainWindowTest, ThePressedPlayButtonIsDrawnTwoPixelsLeftOfItsRegion) {
    MainWindow* w = Open();
    Press(w, QPoint(60, 80));
    EXPECT_TRUE(w->pressed(kPlay));
    QImage image = Grab(w);
    EXPECT_TRUE(Shows(image, QPoint(50, 72), w->skin().transport, QRect(21, 20, 18, 18)));
    // Dragged off, the button looks idle again and its release does nothing.
    test::MoveTo(w, QPoint(100, 120));
    EXPECT_FALSE(w->pressed(kPlay));
    EXPECT_TRUE(Shows(Grab(w), QPoint(50, 72), w->skin().transport, QRect(21, 0, 18, 18)));
    Release(w, QPoint(100, 120));
    EXPECT_EQ(GetPlayState(), PlayState::Stopped);
}

TEST_F(MainWindowTest, APressOutsideTheCloseCornerDoesNothing) {
    MainWindow* w = Open();
    Press(w, QPoint(30, 20));
    Release(w, QPoint(30, 20));
    Pump(20);
    EXPECT_TRUE(w->isVisible());
    for (int i = 0; i < kPushControlCount; ++i)
        EXPECT_FALSE(w->pressed(static_cast<PushControl>(i)));
}

TEST_F(MainWindowTest, APressedExpandTabRisesOnePixel) {
    MainWindow* w = Open();
    Press(w, QPoint(253, 70));
    ASSERT_TRUE(w->pressed(kExpandTab));
    QImage image = Grab(w);
    // Clipped to the region (251, 64)-(258, 79): the rows from 64 on show the
    // pressed source shifted up by one against the idle look.
    EXPECT_TRUE(Shows(image, QPoint(251, 64), w->skin().frame, QRect(58, 32, 7, 15)));
    Release(w, QPoint(0, 0));  // off the tab: no collapse
}

TEST_F(MainWindowTest, TheLampShowsTheEqualiserState) {
    gSettings.EqEnabled = 1;
    MainWindow* w = Open();
    EXPECT_EQ(Grab(w).pixelColor(247, 160), QColor(255, 0, 0));
    RunCommand(kCmdEqualizer);
    EXPECT_EQ(gSettings.EqEnabled, 0);
    // The toggle repaints the lamp itself: the screen shows it at once.
    QImage screen = w->screen()->grabWindow(w->winId(), 245, 158, 5, 7).toImage();
    EXPECT_EQ(screen.pixelColor(2, 2), QColor(0, 255, 0));
}

TEST_F(MainWindowTest, VolumeZeroLightsTheBottomCellOnly) {
    gSettings.EqVolume = 0;
    MainWindow* w = Open();
    QImage image = Grab(w);
    const QPixmap& strips = w->skin().strips;
    EXPECT_TRUE(Shows(image, QPoint(37, 174), strips, QRect(0, 75, 9, 4)));
    EXPECT_TRUE(Shows(image, QPoint(37, 169), w->skin().face, QRect(37, 169, 9, 5)));
    gSettings.EqVolume = 15;
    w->repaint();
    EXPECT_TRUE(Shows(Grab(w), QPoint(37, 99), strips, QRect(0, 0, 9, 79)));
}

// The column climbs one cell per 60 ms from a timer; the press itself
// returns at once with the first step taken.
TEST_F(MainWindowTest, AClickInTheVolumeColumnStepsToTheCell) {
    gSettings.EqVolume = 12;
    MainWindow* w = Open();
    auto start = std::chrono::steady_clock::now();
    Press(w, QPoint(40, 101));  // the top cell
    Release(w, QPoint(40, 101));
    EXPECT_EQ(gSettings.EqVolume, 13);
    std::vector<std::chrono::steady_clock::duration> steps;
    ASSERT_TRUE(PumpUntil(
        [&] {
            if (gSettings.EqVolume == 13 + static_cast<int>(steps.size()) + 1)
                steps.push_back(std::chrono::steady_clock::now() - start);
            return gSettings.EqVolume == 15;
        },
        3000));
    ASSERT_EQ(steps.size(), 2u) << "one cell at a time";
    EXPECT_GE(steps[0], std::chrono::milliseconds(50));
    EXPECT_GE(steps[1] - steps[0], std::chrono::milliseconds(50));
}

TEST_F(MainWindowTest, AMoveInTheColumnDuringTheSteppingTakesItsCellAtOnce) {
    gSettings.EqVolume = 0;
    MainWindow* w = Open();
    Press(w, QPoint(40, 101));
    ASSERT_EQ(gSettings.EqVolume, 1);
    test::MoveTo(w, QPoint(40, 151));  // cell 5
    EXPECT_EQ(gSettings.EqVolume, 5);
    Release(w, QPoint(40, 151));
    Pump(200);
    EXPECT_EQ(gSettings.EqVolume, 5) << "the stepping has ended";
}

// The display threads' pictures reach the window: the ring at half lights
// twelve bars, and the field shows the stopped sign beside 0:00:00.
TEST_F(MainWindowTest, TheWindowShowsWhatTheDisplayThreadsDraw) {
    MainWindow* w = Open();
    w->HandleMessage(UIM_PROGRESS, 0, 50);
    EXPECT_EQ(w->last_percent(), 50);
    ASSERT_TRUE(PumpUntil(
        [&] { return test::LitBars(Grab(w).copy(ToQRect(kRingPaintArea))) == 12; }, 5000));
    const QImage digits = LoadSkinImage("bitmap_118.png");
    const QImage signs = LoadSkinImage("bitmap_135.png");
    auto field_shown = [&] {
        QImage field = Grab(w).copy(ToQRect(kDisplayField));
        bool sign = field.copy(60, 22, 8, 11) == signs.copy(28, 0, 8, 11) ||
                    field.copy(60, 22, 8, 11) == signs.copy(28, 10, 8, 11);
        return sign && field.copy(72, 20, 10, 16) == digits.copy(0, 0, 10, 16);
    };
    EXPECT_TRUE(PumpUntil(field_shown, 5000));
}

// The ring's 3, 6 and 9 o'clock, through the window's own press handling.
void RecordSeek(PlayerEvent event, int value, void* sought) {
    if (event == PlayerEvent::Seeked) static_cast<std::vector<int>*>(sought)->push_back(value);
}

TEST_F(MainWindowTest, APressOnTheRingSeeksToWhereItPoints) {
    std::vector<int> sought;
    AddPlayerListener(RecordSeek, &sought);
    MainWindow* w = Open();
    for (QPoint at : {QPoint(234, 55), QPoint(215, 74), QPoint(198, 55)}) {
        Press(w, at);
        Release(w, at);
    }
    RemovePlayerListener(RecordSeek, &sought);
    EXPECT_EQ(sought, (std::vector<int>{25, 50, 75}));
}

// What listeners hear: each change once, after it.
void RecordEvent(PlayerEvent event, int value, void* heard) {
    static_cast<std::vector<std::pair<PlayerEvent, int>>*>(heard)->push_back({event, value});
}

TEST_F(MainWindowTest, ListenersHearEachChangeOnce) {
    gSettings.EqVolume = 7;
    std::vector<std::pair<PlayerEvent, int>> heard;
    MainWindow* w = Open();
    AddPlayerListener(RecordEvent, &heard);
    Press(w, QPoint(40, 136));  // cell 8: one step
    Release(w, QPoint(40, 136));
    RunCommand(kCmdShuffle);
    RemovePlayerListener(RecordEvent, &heard);
    RunCommand(kCmdShuffle);
    std::vector<std::pair<PlayerEvent, int>> want = {{PlayerEvent::VolumeChanged, 8},
                                                     {PlayerEvent::OptionsChanged, 0}};
    EXPECT_EQ(heard, want);
}

int g_editor_refreshes = 0;

TEST_F(MainWindowTest, AStreamsTitleGoesToItsEntryAndIsAnnounced) {
    Open();
    ASSERT_TRUE(AppendEntry("http://old.example/radio"));
    ASSERT_TRUE(AppendEntry("http://radio.example/live"));
    ASSERT_TRUE(SelectEntry(1));
    std::vector<std::pair<PlayerEvent, int>> heard;
    AddPlayerListener(RecordEvent, &heard);
    SetPlaylistRefreshHook([] { ++g_editor_refreshes; });
    std::thread([] {
        // The player moved on from the first stream while its title was on its way.
        PostStreamTitle("http://old.example/radio", "Late");
        PostStreamTitle("http://radio.example/live", "Song");
        PostStreamTitle("http://radio.example/live", "Song");
    }).join();
    EXPECT_TRUE(PumpUntil([] { return gPlaylist.current->title != nullptr; }, 2000));
    Pump(20);
    SetPlaylistRefreshHook(nullptr);
    RemovePlayerListener(RecordEvent, &heard);
    EXPECT_EQ(gPlaylist.first->title, nullptr);
    EXPECT_STREQ(gPlaylist.current->title, "Song");
    EXPECT_EQ(g_editor_refreshes, 1);
    std::vector<std::pair<PlayerEvent, int>> want = {{PlayerEvent::TitleChanged, 0}};
    EXPECT_EQ(heard, want);
}

// Next gives the decoder 100 ms to stop before it asks for the entry; the
// window waits on a timer, so other timers fire while the entry waits.
void RecordStart(PlayerEvent event, int, void* at) {
    if (event == PlayerEvent::TrackStarted)
        *static_cast<std::chrono::steady_clock::time_point*>(at) = std::chrono::steady_clock::now();
}

TEST_F(MainWindowTest, NextAfterAStopPlaysTheNextEntryWithoutHoldingTheWindow) {
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(AddFileByName(vek::test::DataPath("made/mpeg1_l3_cbr128_44k.mp3").c_str()));
    Open();
    ASSERT_TRUE(PumpUntil([] { return GetPlayState() == PlayState::Playing; }, 5000));
    RunCommand(kCmdStop);
    std::chrono::steady_clock::time_point started{};
    AddPlayerListener(RecordStart, &started);
    int ticks_while_waiting = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout,
                     [&] { ticks_while_waiting += StopPostedSinceLastPlay(); });
    tick.start(5);  // due before the change's timer, so it fires first however late the loop runs
    auto next = std::chrono::steady_clock::now();
    RunCommand(kCmdNext);
    bool played = PumpUntil([&] { return GetPlayState() == PlayState::Playing; }, 5000);
    RemovePlayerListener(RecordStart, &started);
    ASSERT_TRUE(played);
    EXPECT_EQ(CurrentPosition(), 1);
    EXPECT_GE(started - next, std::chrono::milliseconds(kTrackChangeGapMs));
    EXPECT_GT(ticks_while_waiting, 0) << "the GUI thread was held until the entry was asked for";
}

TEST_F(MainWindowTest, ThePreferencesSheetsClosingSavesAndAppliesTheLayer) {
    MainWindow* w = Open();
    w->setEnabled(false);  // as a sheet may leave it
    gSettings.AlwaysOnTop = 1;
    gSettings.EqVolume = 4;
    PreferencesSheetClosed();
    EXPECT_TRUE(w->isEnabled());
    EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_NE(IniText().find("EqVolume=4\n"), std::string::npos) << IniText();
}

TEST_F(MainWindowTest, TheMenuTicksOnlyWhatIsOn) {
    gSettings.RepeatPlay = 1;
    gSettings.ShufflePlay = 0;
    MainWindow* w = Open();
    ShowMainMenu(w, w->mapToGlobal(QPoint(100, 100)));
    for (QAction* action : w->menu()->findChildren<QAction*>()) {
        int id = action->data().toInt();
        if (id == kCmdRepeat) {
            EXPECT_TRUE(action->isCheckable() && action->isChecked());
        }
        if (id == kCmdShuffle || id == kCmdEqualizer || id == kCmdPlaylistEditor) {
            EXPECT_FALSE(action->isCheckable()) << id << " would show an empty box";
        }
    }
    w->menu()->close();
}

// The menu, the keys and the buttons are the command table's: the entries in
// its order, greyed where a row has no action; a key text names the key its
// row binds, no key runs two commands, and every push control runs one.
TEST_F(MainWindowTest, TheMenuKeysAndButtonsFollowTheCommandTable) {
    MainWindow* w = Open();
    std::vector<QAction*> entries;
    std::function<void(QMenu*)> walk = [&](QMenu* menu) {
        for (QAction* action : menu->actions()) {
            if (action->menu())
                walk(action->menu());
            else if (!action->isSeparator())
                entries.push_back(action);
        }
    };
    walk(w->menu());
    std::vector<QKeySequence> shortcuts;
    for (QShortcut* shortcut : w->findChildren<QShortcut*>()) shortcuts.push_back(shortcut->key());
    size_t entry = 0;
    std::set<int> keys, buttons;
    for (const CommandRow& row : CommandTable()) {
        if (row.menu != MenuPlace::None) {
            ASSERT_LT(entry, entries.size()) << row.id;
            EXPECT_EQ(entries[entry]->data().toInt(), row.id);
            EXPECT_EQ(entries[entry++]->isEnabled(), row.run != nullptr) << row.id;
        }
        for (QKeyCombination key : row.keys) {
            if (key == QKeyCombination()) continue;
            EXPECT_TRUE(keys.insert(key.toCombined()).second) << row.id << " shares its key";
            EXPECT_EQ(std::count(shortcuts.begin(), shortcuts.end(), QKeySequence(key)), 1);
        }
        if (row.key_text_only) {
            EXPECT_EQ(row.keys[0], QKeyCombination()) << row.id;
        } else if (row.key_text) {
            EXPECT_EQ(QKeySequence(row.keys[0]).toString().toLower(),
                      QString::fromLatin1(row.key_text).toLower());
        }
        if (row.button != kPushControlCount) {
            EXPECT_TRUE(buttons.insert(row.button).second) << row.id << " shares its button";
        }
    }
    EXPECT_EQ(entry, entries.size()) << "entries without a row";
    EXPECT_EQ(buttons.size(), static_cast<size_t>(kPushControlCount));
}

TEST_F(MainWindowTest, AClickOnTheMiddleRowSetsTheGainToOne) {
    gSettings.EqBand[4] = 0.0f;
    MainWindow* w = Open();
    QPoint middle_of_band_4(67 + 14 * 4 + 3, 169 - 5 * 7 + 2);
    Press(w, middle_of_band_4);
    Release(w, middle_of_band_4);
    EXPECT_EQ(gSettings.EqBand[4], 7 * 0.14285715f);
    EXPECT_FLOAT_EQ(gSettings.EqBand[4], 1.0f);
    // The curve follows: band 4's breakpoint is line 30.
    EXPECT_EQ(EqualiserCurveValue(30), gSettings.EqBand[4]);
    QImage image = Grab(w);
    // The knob strip is 9 wide; the cell's tenth column shows the skin.
    QRect cell = w->skin().equaliser_cells[4][7];
    cell.setWidth(9);
    QImage knob = w->skin()
                      .strips.toImage()
                      .convertToFormat(QImage::Format_RGB32)
                      .copy(QRect(9, cell.top() - 99, 9, cell.height()));
    EXPECT_EQ(image.copy(cell), knob);
}

TEST_F(MainWindowTest, AFileOnTheCommandLinePlaysThroughTheDeviceAbout100MsIn) {
    // The sound device is SDL's disk driver here, so what it played can be seen.
    vek::test::TempDir disk;
    vek::test::EnvRestorer driver("SDL_AUDIODRIVER"), file("SDL_DISKAUDIOFILE");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", disk.File("device.raw").c_str(), 1);
    ShutdownSoundDevice();  // the next open starts SDL with this driver
    ASSERT_TRUE(AddFileByName(vek::test::DataPath("made/mpeg1_l3_cbr128_44k.mp3").c_str()));
    auto start = std::chrono::steady_clock::now();
    Open();
    ASSERT_TRUE(PumpUntil([] { return GetPlayState() == PlayState::Playing; }, 5000));
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(100));
    EXPECT_LT(took, std::chrono::milliseconds(1500));
    EXPECT_TRUE(PumpUntil(
        [&] { return vek::test::ReadFileBytes(disk.File("device.raw")).size() > 0; }, 3000))
        << "the device received audio";
    window_->close();
    window_.reset();
    ShutdownSoundDevice();
}

// The decoder's report changes the state without a command: the listeners
// hear of it all the same.
TEST_F(MainWindowTest, PlayingAFileThatCannotBeOpenedEndsStopped) {
    vek::test::TempDir dir;
    ASSERT_TRUE(AddFileByName(dir.File("gone.mp3").c_str()));
    Open();
    ASSERT_TRUE(PumpUntil([&] { return desktop_.Count("Decoder Error Message...") == 1; }, 5000));
    std::vector<std::pair<PlayerEvent, int>> heard;
    AddPlayerListener(RecordEvent, &heard);
    RunCommand(kCmdPlay);
    EXPECT_EQ(GetPlayState(), PlayState::Playing);
    EXPECT_TRUE(PumpUntil([] { return GetPlayState() == PlayState::Stopped; }, 5000))
        << "nothing plays, so the window must not say it does";
    RemovePlayerListener(RecordEvent, &heard);
    EXPECT_EQ(desktop_.Count("Decoder Error Message..."), 2u) << "Play tried the path again";
    std::vector<std::pair<PlayerEvent, int>> want = {
        {PlayerEvent::PlayStateChanged, static_cast<int>(PlayState::Playing)},
        {PlayerEvent::PlayStateChanged, static_cast<int>(PlayState::Stopped)}};
    EXPECT_EQ(heard, want);
}

TEST_F(MainWindowTest, ClosingWhilePausedDoesNotWaitForTheDecoder) {
    // Paused, the device takes no audio and the decoder waits to write; the
    // close must not sit out the thread's stop bound.
    gSettings.AudioOutputSystem = 0;
    ASSERT_TRUE(AddFileByName(vek::test::DataPath("made/mpeg1_l3_cbr128_44k.mp3").c_str()));
    Open();
    ASSERT_TRUE(PumpUntil([] { return GetPlayState() == PlayState::Playing; }, 5000));
    RunCommand(kCmdPause);
    Pump(400);  // long enough for every buffer to fill
    auto start = std::chrono::steady_clock::now();
    window_->close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_FALSE(DecoderThreadGivenUp());
}

// A press repaints its control alone: each pressed look shows where the
// layout draws it (clipped to the control where it clips) and nothing else on
// the window changes. The pictures are kept in the build folder for a person.
TEST_F(MainWindowTest, APressChangesOnlyItsControlsPixels) {
    QDir().mkpath(VEK_SCREENSHOT_DIR);
    gSettings.RepeatPlay = 1;
    gSettings.EqVolume = 9;
    MainWindow* w = Open();
    const QImage idle = Grab(w);
    for (int i = 0; i < kPushControlCount; ++i) {
        auto control = static_cast<PushControl>(i);
        const ControlPlace& place = kControls[control];
        QRegion drawn(QRect(ToQPoint(place.drawn_at_pressed), QSize(place.size.x, place.size.y)));
        if (place.clip_to_area) drawn &= w->skin().controls[control].region;
        Press(w, ToQRect(place.area).center());
        ASSERT_TRUE(w->pressed(control)) << control;
        const QImage pressed = Grab(w);
        if (control == kPlay) pressed.save(QStringLiteral(VEK_SCREENSHOT_DIR "/play_pressed.png"));
        int changed = 0, stray = 0;
        for (int y = 0; y < idle.height(); ++y)
            for (int x = 0; x < idle.width(); ++x) {
                if (idle.pixel(x, y) == pressed.pixel(x, y)) continue;
                ++changed;
                stray += !drawn.contains(QPoint(x, y));
            }
        EXPECT_GT(changed, 0) << "control " << control << " shows no pressed look";
        EXPECT_EQ(stray, 0) << "control " << control << " changed pixels beyond its look";
        test::MoveTo(w, QPoint(120, 140));  // off every control: the release does nothing
        Release(w, QPoint(120, 140));
        EXPECT_TRUE(Grab(w) == idle) << "control " << control << " released";
    }
    idle.save(QStringLiteral(VEK_SCREENSHOT_DIR "/expanded.png"));
    RunCommand(kCmdExpand);
    Grab(w).save(QStringLiteral(VEK_SCREENSHOT_DIR "/collapsed.png"));
}

}  // namespace
}  // namespace vek::app
