// The playlist editor with the main window beside it, as the player runs them.
#include <gtest/gtest.h>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QtTest/QTest>

#include "control/transport.h"
#include "output/outputs.h"
#include "tests/app/playlist_editor_fixture.h"

namespace vek::app {
namespace {

using test::PlaylistEditorTest;
using test::Pump;
using test::PumpUntil;

TEST_F(PlaylistEditorTest, ItShowsFileTitlesAndSelectsTheCurrentLine) {
    QWidget* editor = ShowEditor();
    EXPECT_EQ(Lines(), QStringList{});
    EXPECT_EQ(editor->windowTitle(), "VEK Playlist Editor");
    EXPECT_EQ(editor->parentWidget(), nullptr) << "stays while the main window is hidden";
    ClosePlaylistEditor();
    AppendAll({"/m/a b.mp3", "http://radio.example/live", "http://radio.example/", "/m/c.mp3"});
    SelectEntry(3);
    ShowEditor();
    EXPECT_EQ(Lines(), (QStringList{"a b.mp3", "live", "http://radio.example/", "c.mp3"}));
    EXPECT_EQ(SelectedRows(), QList<int>{3});
}

TEST_F(PlaylistEditorTest, AStationsTitleShowsInItsLineAndTheSelectionStays) {
    AppendAll({"/a.mp3", "http://radio.example/live"});
    ShowEditor();
    Select({0});
    ASSERT_TRUE(SetEntryTitle(EntryAt(1), "Artist - Song"));
    RefreshPlaylistEditor();  // as the main window asks when a title comes
    EXPECT_EQ(Lines(), (QStringList{"a.mp3", "Artist - Song"}));
    EXPECT_EQ(SelectedRows(), QList<int>{0});
}

TEST_F(PlaylistEditorTest, ButtonsReadAsTheyShould) {
    ShowEditor();
    const char* const buttons[][2] = {
        {"load", "Load List"}, {"save", "Save List"}, {"add", "Add Item"}, {"delete", "Del Item"},
        {"shuffle", "Shuffle"}, {"sort", "Sort"},     {"up", "Up"},        {"down", "Dn"},
        {"clear", "Clear"},    {"dismiss", "Dismiss"}};
    for (const auto& b : buttons) {
        ASSERT_NE(Button(b[0]), nullptr) << b[0];
        EXPECT_EQ(Button(b[0])->text(), b[1]);
    }
    EXPECT_TRUE(Button("dismiss")->isDefault());
}

TEST_F(PlaylistEditorTest, ClearEmptiesTheListAndTheLinesAndLaterAddsShowAtOnce) {
    AppendAll({"/a.mp3", "/b.mp3"});
    ShowEditor();
    Button("clear")->click();
    EXPECT_EQ(PlaylistCount(), 0);
    EXPECT_EQ(Lines(), QStringList{});
    ASSERT_TRUE(vek::test::WriteFileText(dir_.File("n.mp3"), "x"));
    test::ChooseFiles(QString::fromStdString(dir_.path()), {"n.mp3"});
    test::PickFromPopup(QStringLiteral("Add File(s)..."));
    Button("add")->click();
    EXPECT_EQ(Lines(), QStringList{"n.mp3"});
}

TEST_F(PlaylistEditorTest, CancellingLoadListKeepsTheListAndChoosingReplacesIt) {
    ASSERT_TRUE(vek::test::WriteFileText(dir_.File("l.m3u"), "x.mp3\ny.mp3\n"));
    AppendAll({"/a.mp3", "/b.mp3"});
    ShowEditor();
    test::ChooseFiles(QString::fromStdString(dir_.path()), {});
    Button("load")->click();
    EXPECT_EQ(Lines(), (QStringList{"a.mp3", "b.mp3"}));
    test::ChooseFiles(QString::fromStdString(dir_.path()), {"l.m3u"});
    Button("load")->click();
    EXPECT_EQ(Lines(), (QStringList{"x.mp3", "y.mp3"}));
}

TEST_F(PlaylistEditorTest, AddUrlAppendsFourCharactersButNotThree) {
    AppendAll({"/a.mp3"});
    ShowEditor();
    for (const char* typed : {"abc", "http://radio.example/live"}) {
        test::EnterUrl(QString::fromLatin1(typed));
        test::PickFromPopup(QStringLiteral("Add URL..."));
        Button("add")->click();
    }
    EXPECT_EQ(Lines(), (QStringList{"a.mp3", "live"}));
    EXPECT_EQ(CurrentPosition(), 0);
}

TEST_F(PlaylistEditorTest, ShuffleRedrawsOnlyWhenTheListWasShuffled) {
    SetShuffleSeedSource([]() -> uint32_t { return 1; });
    AppendAll({"/1.mp3", "/2.mp3"});
    ShowEditor();
    Select({1});
    Button("shuffle")->click();
    EXPECT_EQ(SelectedRows(), QList<int>{1}) << "two entries are not shuffled";
    AppendAll({"/3.mp3", "/4.mp3", "/5.mp3"});
    Button("shuffle")->click();
    EXPECT_NE(Lines(), (QStringList{"1.mp3", "2.mp3", "3.mp3", "4.mp3", "5.mp3"}));
    SetShuffleSeedSource(nullptr);
}

// Entries that cannot be opened show which path the decoder was given.
TEST_F(PlaylistEditorTest, ADoubleClickOrEnterPlaysTheLine) {
    AppendAll({dir_.File("a.mp3"), dir_.File("b.mp3"), dir_.File("c.mp3")});
    Open();
    auto boxes = [&] { return desktop_.Count("Decoder Error Message..."); };
    ASSERT_TRUE(PumpUntil([&] { return boxes() == 1; }, 5000)) << "the first plays at the start";
    ShowEditor();
    QWidget* lines = List()->viewport();
    QPoint third = List()->visualRect(List()->model()->index(2, 0)).center();
    // Press, release, then the second press as the window system reports it.
    test::Press(lines, third);
    test::Release(lines, third);
    test::Mouse(lines, QEvent::MouseButtonDblClick, third, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(CurrentPosition(), 2);
    ASSERT_TRUE(PumpUntil([&] { return boxes() == 2; }, 5000));
    EXPECT_EQ(desktop_.Boxes().back().text, "Could not open file: " + dir_.File("c.mp3"));
    List()->setCurrentIndex(List()->model()->index(1, 0));
    QTest::keyClick(List(), Qt::Key_Return);
    ASSERT_TRUE(PumpUntil([&] { return boxes() == 3; }, 5000));
    EXPECT_EQ(desktop_.Boxes().back().text, "Could not open file: " + dir_.File("b.mp3"));
    EXPECT_TRUE(IsPlaylistEditorOpen()) << "Enter in the list is not the default button";
}

TEST_F(PlaylistEditorTest, AnM3uDroppedOnTheEditorAppendsWithoutInterruptingPlayback) {
    vek::test::EnvRestorer driver("SDL_AUDIODRIVER"), file("SDL_DISKAUDIOFILE");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", dir_.File("device.raw").c_str(), 1);
    ShutdownSoundDevice();
    ASSERT_TRUE(AddFileByName(vek::test::DataPath("made/mpeg1_l3_cbr128_44k.mp3").c_str()));
    ASSERT_TRUE(vek::test::WriteFileText(dir_.File("more.m3u"), "x.mp3\ny.mp3\n"));
    MainWindow* w = Open();
    QWidget* editor = ShowEditor();
    ASSERT_TRUE(PumpUntil([&] { return w->last_percent() >= 10; }, 5000));
    auto device_bytes = [&] { return vek::test::ReadFileBytes(dir_.File("device.raw")).size(); };
    size_t before = device_bytes();

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir_.File("more.m3u")))});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(editor, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(editor, &drop);
    ASSERT_TRUE(PumpUntil([] { return PlaylistCount() == 3; }, 2000));
    EXPECT_EQ(Lines(), (QStringList{"mpeg1_l3_cbr128_44k.mp3", "x.mp3", "y.mp3"}));

    // A restart would begin the percentages again from 0.
    int percent = w->last_percent();
    for (int i = 0; i < 8; ++i) {
        Pump(100);
        EXPECT_GE(w->last_percent(), percent);
        percent = w->last_percent();
    }
    EXPECT_EQ(CurrentPosition(), 0);
    EXPECT_EQ(GetPlayState(), PlayState::Playing);
    EXPECT_GT(device_bytes(), before);
    window_->close();
    window_.reset();
    ShutdownSoundDevice();
}

TEST_F(PlaylistEditorTest, TheWindowStopsAt240By226AndTheButtonsFollowTheEdges) {
    QWidget* editor = ShowEditor();
    editor->resize(100, 100);
    EXPECT_EQ(editor->size(), QSize(240, 226));
    editor->resize(400, 300);
    EXPECT_EQ(List()->geometry(), QRect(3, 3, 340, 276));
    EXPECT_EQ(Button("load")->pos(), QPoint(348, 3));
    EXPECT_EQ(Button("dismiss")->pos(), QPoint(348, 160));
    EXPECT_EQ(Button("up")->pos(), QPoint(3, 287));
    EXPECT_EQ(Button("down")->pos(), QPoint(27, 287));
    EXPECT_EQ(editor->findChild<QWidget*>(QStringLiteral("playtime"))->pos(), QPoint(47, 287));
    // The bottom row's controls do not lie over one another.
    EXPECT_LT(Button("up")->geometry().right(), Button("down")->x());
    EXPECT_LT(Button("down")->geometry().right(), 47);
}

TEST_F(PlaylistEditorTest, ReopeningPutsItWhereItWasAndTheIniKeepsThePlace) {
    Open();
    ShowEditor()->move(150, 120);
    Pump(10);
    window_->RunCommand(kCmdPlaylistEditor);
    EXPECT_FALSE(IsPlaylistEditorOpen());
    window_->RunCommand(kCmdPlaylistEditor);
    ASSERT_TRUE(IsPlaylistEditorOpen());
    EXPECT_EQ(PlaylistEditorWindow()->pos(), QPoint(150, 120));
    window_->close();  // the main window's end closes the editor and saves the settings
    EXPECT_FALSE(IsPlaylistEditorOpen());
    std::string ini = IniText();
    EXPECT_NE(ini.find("PlaylistX=150\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("PlaylistY=120\n"), std::string::npos);
}

TEST_F(PlaylistEditorTest, DismissAndTheCloseBoxDestroyIt) {
    ShowEditor();
    Button("dismiss")->click();
    EXPECT_EQ(PlaylistEditorWindow(), nullptr);
    ShowEditor()->close();
    EXPECT_EQ(PlaylistEditorWindow(), nullptr);
    Pump(10);  // the deferred deletion runs without harm
    RefreshPlaylistEditor();  // reaches no editor
}

TEST_F(PlaylistEditorTest, ARefreshWhileRefreshIsOffLeavesTheLines) {
    AppendAll({"/a.mp3"});
    ShowEditor();
    SetEditorRefreshEnabled(false);
    AppendAll({"/b.mp3"});
    RefreshPlaylistEditor();
    EXPECT_EQ(Lines(), QStringList{"a.mp3"});
    SetEditorRefreshEnabled(true);
    RefreshPlaylistEditor();
    EXPECT_EQ(Lines(), (QStringList{"a.mp3", "b.mp3"}));
}

}  // namespace
}  // namespace vek::app
