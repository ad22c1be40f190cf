// The playlist editor with the main window beside it, as the player runs them.
#include "app/playlist_editor.h"

#include <gtest/gtest.h>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QListView>
#include <QMimeData>
#include <QPushButton>
#include <QtTest/QTest>

#include "control/transport.h"
#include "output/outputs.h"
#include "tests/app/app_test_support.h"
#include "tests/app/dialog_driving.h"

namespace vek::app {
namespace {

using test::Pump;
using test::PumpUntil;

class PlaylistEditorTest : public test::WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        test::ForgetQuitRequest();
    }
    void TearDown() override {
        ClosePlaylistEditor();
        WindowTest::TearDown();
    }

    QWidget* ShowEditor() {
        EXPECT_TRUE(ShowPlaylistEditor());
        Pump(10);
        return PlaylistEditorWindow();
    }
    static QListView* List() {
        return PlaylistEditorWindow()->findChild<QListView*>(QStringLiteral("list"));
    }
    static QPushButton* Button(const char* name) {
        return PlaylistEditorWindow()->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    static QStringList Lines() {
        QStringList lines;
        QAbstractItemModel* model = List()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            lines << model->index(row, 0).data().toString();
        return lines;
    }
    static QList<int> SelectedRows() {
        QList<int> rows;
        for (const QModelIndex& index : List()->selectionModel()->selectedIndexes())
            rows << index.row();
        return rows;
    }
    static void Select(std::initializer_list<int> rows) {
        QItemSelectionModel* selection = List()->selectionModel();
        selection->clear();
        for (int row : rows)
            selection->select(List()->model()->index(row, 0), QItemSelectionModel::Select);
    }
    static void AppendAll(std::initializer_list<std::string> paths) {
        for (const std::string& path : paths) ASSERT_TRUE(AppendEntry(path.c_str()));
    }

    vek::test::TempDir dir_;
};

TEST_F(PlaylistEditorTest, ItShowsFileTitlesAndSelectsTheCurrentLine) {
    AppendAll({"/m/a b.mp3", "http://radio.example/live", "http://radio.example/", "/m/c.mp3"});
    SelectEntry(3);
    QWidget* editor = ShowEditor();
    EXPECT_EQ(editor->windowTitle(), "VEK Playlist Editor");
    EXPECT_EQ(editor->parentWidget(), nullptr) << "stays while the main window is hidden";
    EXPECT_EQ(Lines(), (QStringList{"a b.mp3", "live", "http://radio.example/", "c.mp3"}));
    EXPECT_EQ(SelectedRows(), QList<int>{3});
    EXPECT_TRUE(IsPlaylistEditorOpen());
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

TEST_F(PlaylistEditorTest, AnEmptyListShowsNoLines) {
    ShowEditor();
    EXPECT_EQ(Lines(), QStringList{});
    EXPECT_EQ(SelectedRows(), QList<int>{});
}

TEST_F(PlaylistEditorTest, ButtonsReadAsTheyShouldAndTheIdleOnesAreGreyed) {
    ShowEditor();
    const struct {
        const char* name;
        const char* text;
        bool enabled;
    } buttons[] = {
        {"load", "Load List", true},  {"save", "Save List", false},
        {"add", "Add Item", true},    {"delete", "Del Item", false},
        {"shuffle", "Shuffle", true}, {"sort", "Sort", false},
        {"up", "Up", true},           {"down", "Dn", true},
        {"clear", "Clear", true},     {"dismiss", "Dismiss", true},
    };
    for (const auto& b : buttons) {
        ASSERT_NE(Button(b.name), nullptr) << b.name;
        EXPECT_EQ(Button(b.name)->text(), b.text);
        EXPECT_EQ(Button(b.name)->isEnabled(), b.enabled) << b.name;
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

TEST_F(PlaylistEditorTest, CancellingLoadListKeepsTheList) {
    AppendAll({"/a.mp3", "/b.mp3"});
    ShowEditor();
    test::ChooseFiles(QString::fromStdString(dir_.path()), {});
    Button("load")->click();
    EXPECT_EQ(PlaylistCount(), 2);
    EXPECT_EQ(Lines(), (QStringList{"a.mp3", "b.mp3"}));
}

TEST_F(PlaylistEditorTest, LoadListReplacesTheListWithTheChosenPlaylist) {
    ASSERT_TRUE(vek::test::WriteFileText(dir_.File("l.m3u"), "x.mp3\ny.mp3\n"));
    AppendAll({"/a.mp3"});
    ShowEditor();
    test::ChooseFiles(QString::fromStdString(dir_.path()), {"l.m3u"});
    Button("load")->click();
    EXPECT_EQ(Lines(), (QStringList{"x.mp3", "y.mp3"}));
}

TEST_F(PlaylistEditorTest, AddUrlAppendsFourCharactersButNotThree) {
    AppendAll({"/a.mp3"});
    ShowEditor();
    test::EnterUrl(QStringLiteral("abc"));
    test::PickFromPopup(QStringLiteral("Add URL..."));
    Button("add")->click();
    EXPECT_EQ(PlaylistCount(), 1);
    test::EnterUrl(QStringLiteral("http://radio.example/live"));
    test::PickFromPopup(QStringLiteral("Add URL..."));
    Button("add")->click();
    EXPECT_EQ(Lines(), (QStringList{"a.mp3", "live"}));
    EXPECT_EQ(CurrentPosition(), 0);
}

TEST_F(PlaylistEditorTest, ShuffleRedrawsOnlyWhenTheListWasShuffled) {
    SetShuffleSeedSource([]() -> uint32_t { return 1; });
    AppendAll({"/1.mp3", "/2.mp3"});
    ShowEditor();
    List()->selectionModel()->select(List()->model()->index(1, 0),
                                     QItemSelectionModel::ClearAndSelect);
    Button("shuffle")->click();
    EXPECT_EQ(SelectedRows(), QList<int>{1}) << "two entries are not shuffled";
    AppendAll({"/3.mp3", "/4.mp3", "/5.mp3"});
    Button("shuffle")->click();
    EXPECT_EQ(SelectedRows(), QList<int>{});
    EXPECT_NE(Lines(), (QStringList{"1.mp3", "2.mp3", "3.mp3", "4.mp3", "5.mp3"}));
    SetShuffleSeedSource(nullptr);
}

// Entries that cannot be opened show which path the decoder was given.
TEST_F(PlaylistEditorTest, ADoubleClickOnTheThirdLinePlaysTheThirdEntry) {
    AppendAll({dir_.File("a.mp3"), dir_.File("b.mp3"), dir_.File("c.mp3")});
    Open();
    ASSERT_TRUE(PumpUntil([&] { return desktop_.Count("Decoder Error Message...") == 1; }, 5000))
        << "the first entry is played at the start";
    ShowEditor();
    QListView* list = List();
    QRect third = list->visualRect(list->model()->index(2, 0));
    // Press, release, then the second press as the window system reports it.
    test::Press(list->viewport(), third.center());
    test::Release(list->viewport(), third.center());
    test::Mouse(list->viewport(), QEvent::MouseButtonDblClick, third.center(), Qt::LeftButton,
                Qt::LeftButton);
    EXPECT_EQ(CurrentPosition(), 2);
    ASSERT_TRUE(PumpUntil([&] { return desktop_.Count("Decoder Error Message...") == 2; }, 5000));
    EXPECT_EQ(desktop_.Boxes().back().text, "Could not open file: " + dir_.File("c.mp3"));
}

TEST_F(PlaylistEditorTest, EnterInTheListPlaysTheCaretLine) {
    AppendAll({dir_.File("a.mp3"), dir_.File("b.mp3")});
    Open();
    ASSERT_TRUE(PumpUntil([&] { return desktop_.Count("Decoder Error Message...") == 1; }, 5000));
    ShowEditor();
    List()->setCurrentIndex(List()->model()->index(1, 0));
    QTest::keyClick(List(), Qt::Key_Return);
    EXPECT_EQ(CurrentPosition(), 1);
    ASSERT_TRUE(PumpUntil([&] { return desktop_.Count("Decoder Error Message...") == 2; }, 5000));
    EXPECT_EQ(desktop_.Boxes().back().text, "Could not open file: " + dir_.File("b.mp3"));
    EXPECT_TRUE(IsPlaylistEditorOpen()) << "Enter in the list is not the default button";
}

TEST_F(PlaylistEditorTest, AnM3uDroppedOnTheEditorAppendsWithoutInterruptingPlayback) {
    vek::test::EnvRestorer driver("SDL_AUDIODRIVER"), file("SDL_DISKAUDIOFILE");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", dir_.File("device.raw").c_str(), 1);
    ShutdownSoundDevice();
    const std::string clip = vek::test::DataPath("made/mpeg1_l3_cbr128_44k.mp3");
    ASSERT_TRUE(AddFileByName(clip.c_str()));
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
    // No control lies over another.
    QList<QWidget*> controls =
        editor->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* a : controls) {
        for (QWidget* b : controls) {
            if (a == b || !a->isVisibleTo(editor) || !b->isVisibleTo(editor)) continue;
            EXPECT_FALSE(a->geometry().intersects(b->geometry()))
                << a->objectName().toStdString() << " " << b->objectName().toStdString();
        }
    }
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
    EXPECT_FALSE(IsPlaylistEditorOpen());
    EXPECT_EQ(PlaylistEditorWindow(), nullptr);
    ShowEditor()->close();
    EXPECT_EQ(PlaylistEditorWindow(), nullptr);
    Pump(10);  // the deferred deletion runs without harm
    AppendEntry("/a.mp3");
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
