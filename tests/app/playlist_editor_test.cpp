// The playlist editor with the main window beside it, as the player runs them.
// Each control is checked for being wired to its playlist operation and
// showing the result; the operations' own rules are the playlist's tests'.
#include "app/playlist_editor.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFont>
#include <QLabel>
#include <QListView>
#include <QMimeData>
#include <QPushButton>
#include <QtTest/QTest>
#include <algorithm>
#include <chrono>
#include <functional>
#include <initializer_list>
#include <string>

#include "control/transport.h"
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
    static QString Playtime() {
        return PlaylistEditorWindow()->findChild<QLabel*>(QStringLiteral("playtime"))->text();
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
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    static void Select(const QList<int>& rows) {
        QItemSelectionModel* selection = List()->selectionModel();
        selection->clear();
        for (int row : rows)
            selection->select(List()->model()->index(row, 0), QItemSelectionModel::Select);
    }
    static void AppendAll(std::initializer_list<std::string> paths) {
        for (const std::string& path : paths) ASSERT_TRUE(AppendEntry(path.c_str()));
    }
    QString Folder() const { return QString::fromStdString(dir_.path()); }

    vek::test::TempDir dir_;
};

TEST_F(PlaylistEditorTest, ItShowsFileTitlesAndSelectsTheCurrentLine) {
    QWidget* editor = ShowEditor();
    EXPECT_EQ(Lines(), QStringList{});
    EXPECT_EQ(editor->windowTitle(), "VEK Playlist Editor");
    EXPECT_EQ(editor->parentWidget(), nullptr) << "stays while the main window is hidden";
    EXPECT_EQ(Playtime(), "Playtime: Unknown");
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

TEST_F(PlaylistEditorTest, DismissIsTheDefaultAndAddEventStaysGreyed) {
    ShowEditor();
    EXPECT_TRUE(Button("dismiss")->isDefault());
    bool greyed = false;
    test::When<QMenu>([] { return QApplication::activePopupWidget(); },
                      [&](QMenu* menu) {
                          for (QAction* action : menu->actions())
                              if (action->text() == QLatin1String("Add Event..."))
                                  greyed = !action->isEnabled();
                          menu->close();
                          return true;
                      });
    Button("add")->click();
    EXPECT_TRUE(greyed);
}

// Each editing control on the lines "a" and "d" selected (unless the case
// picks others), and what the list and its selection show after it.
TEST_F(PlaylistEditorTest, EachEditingControlChangesTheListAndShowsIt) {
    const struct {
        const char* control;  // a button, or "Delete" for the key
        const char* popup_entry;
        QStringList lines;
        QList<int> selected;
        QList<int> picked = {1, 2};
    } cases[] = {
        {"delete", nullptr, {"c.mp3", "b.mp3"}, {1}},  // the line that took their place
        {"Delete", nullptr, {"c.mp3", "b.mp3"}, {1}},
        {"delete", nullptr, {"c.mp3", "a.mp3"}, {1}, {2, 3}},  // the last lines: the new last
        {"up", nullptr, {"a.mp3", "d.mp3", "c.mp3", "b.mp3"}, {0, 1}},
        {"down", nullptr, {"c.mp3", "b.mp3", "a.mp3", "d.mp3"}, {2, 3}},
        {"sort", "Ascending", {"a.mp3", "b.mp3", "c.mp3", "d.mp3"}, {}},
        {"sort", "Decending", {"d.mp3", "c.mp3", "b.mp3", "a.mp3"}, {}},
        {"clear", nullptr, {}, {}},
    };
    for (const auto& c : cases) {
        ClosePlaylistEditor();
        ClearPlaylist();
        AppendAll({"/c.mp3", "/a.mp3", "/d.mp3", "/b.mp3"});
        ShowEditor();
        Select(c.picked);
        if (c.popup_entry) test::PickFromPopup(QString::fromLatin1(c.popup_entry));
        if (std::string(c.control) == "Delete")
            QTest::keyClick(List(), Qt::Key_Delete);
        else
            Button(c.control)->click();
        EXPECT_EQ(Lines(), c.lines) << c.control << " " << (c.popup_entry ? c.popup_entry : "");
        EXPECT_EQ(SelectedRows(), c.selected) << c.control;
        EXPECT_EQ(PlaylistCount(), static_cast<int>(c.lines.size())) << c.control;
    }
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

TEST_F(PlaylistEditorTest, AddFilesAndAddUrlAppendAndShowAtOnce) {
    ASSERT_TRUE(vek::test::WriteFileText(dir_.File("n.mp3"), "x"));
    AppendAll({"/a.mp3"});
    ShowEditor();
    test::ChooseFiles(Folder(), {"n.mp3"});
    test::PickFromPopup(QStringLiteral("Add File(s)..."));
    Button("add")->click();
    test::EnterUrl(QStringLiteral("abc"));  // too short to name an address
    test::PickFromPopup(QStringLiteral("Add URL..."));
    Button("add")->click();
    test::EnterUrl(QStringLiteral("http://radio.example/live"));
    test::PickFromPopup(QStringLiteral("Add URL..."));
    Button("add")->click();
    EXPECT_EQ(Lines(), (QStringList{"a.mp3", "n.mp3", "live"}));
    EXPECT_EQ(CurrentPosition(), 0);
}

TEST_F(PlaylistEditorTest, CancellingLoadListKeepsTheListAndChoosingReplacesIt) {
    ASSERT_TRUE(vek::test::WriteFileText(dir_.File("l.m3u"), "x.mp3\ny.mp3\n"));
    AppendAll({"/a.mp3", "/b.mp3"});
    ShowEditor();
    test::ChooseFiles(Folder(), {});
    Button("load")->click();
    EXPECT_EQ(Lines(), (QStringList{"a.mp3", "b.mp3"}));
    test::ChooseFiles(Folder(), {"l.m3u"});
    Button("load")->click();
    EXPECT_EQ(Lines(), (QStringList{"x.mp3", "y.mp3"}));
}

TEST_F(PlaylistEditorTest, SaveListWritesTheFormatOfTheChosenName) {
    AppendAll({"/a.mp3"});
    ShowEditor();
    QString title;
    test::WhenModal<QFileDialog>([&](QFileDialog* dialog) {
        title = dialog->windowTitle();
        EXPECT_EQ(dialog->nameFilters(),
                  (QStringList{"M3U Playlist (*.m3u)", "PLS Playlist (*.pls)"}));
        return true;  // ChooseFiles answers it
    });
    test::ChooseFiles(Folder(), {"list.pls"});
    Button("save")->click();
    EXPECT_EQ(title, "Save Playlist As...");
    EXPECT_EQ(vek::test::ReadFileText(dir_.File("list.pls")).rfind("[playlist]\n", 0), 0u);
    test::ChooseFiles(Folder(), {"list"});  // no ending: the first filter's
    Button("save")->click();
    EXPECT_EQ(vek::test::ReadFileText(dir_.File("list.m3u")), "#EXTM3U\n/a.mp3\n");
    test::ChooseFiles(Folder(), {"other"}, QStringLiteral("PLS Playlist (*.pls)"));
    Button("save")->click();
    EXPECT_EQ(vek::test::ReadFileText(dir_.File("other.pls")).rfind("[playlist]\n", 0), 0u);
}

TEST_F(PlaylistEditorTest, SaveListSaysWhenTheFileCannotBeWritten) {
    AppendAll({"/a.mp3"});
    ShowEditor();
    // A link to a place below a plain file, where nothing can be made.
    ASSERT_TRUE(vek::test::WriteFileText(dir_.File("plain"), "x"));
    ASSERT_EQ(symlink(dir_.File("plain/l.m3u").c_str(), dir_.File("l.m3u").c_str()), 0);
    test::ChooseFiles(Folder(), {"l.m3u"});
    Button("save")->click();
    ASSERT_EQ(desktop_.Count("Error..."), 1u);
    EXPECT_EQ(desktop_.Boxes()[0].text, "Error Saving Playlist: " + dir_.File("l.m3u"));
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

// A drop appends to the list as it stands, and the playing entry may go:
// what plays goes on playing.
TEST_F(PlaylistEditorTest, ADropAndDeletingThePlayingEntryInterruptNothing) {
    ASSERT_TRUE(AddFileByName(vek::test::DataPath("made/mpeg1_l3_cbr128_44k.mp3").c_str()));
    ASSERT_TRUE(vek::test::WriteFileText(dir_.File("more.m3u"), "x.mp3\ny.mp3\n"));
    MainWindow* w = Open();
    QWidget* editor = ShowEditor();
    ASSERT_TRUE(PumpUntil([&] { return w->last_percent() >= 10; }, 5000));
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir_.File("more.m3u")))});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(editor, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(editor, &drop);
    ASSERT_TRUE(PumpUntil([] { return PlaylistCount() == 3; }, 2000));
    EXPECT_EQ(Lines(), (QStringList{"mpeg1_l3_cbr128_44k.mp3", "x.mp3", "y.mp3"}));
    Select({0});
    Button("delete")->click();
    // A stop would end the percentages short of 100, a restart begin them again
    // from 0: they rise to the clip's end without ever falling back, however
    // slowly a busy machine plays it.
    const int at_delete = w->last_percent();
    int lowest = at_delete;
    EXPECT_TRUE(PumpUntil(
        [&] {
            lowest = std::min(lowest, w->last_percent());
            return w->last_percent() == 100;
        },
        30000))
        << w->last_percent();
    EXPECT_EQ(lowest, at_delete);
}

TEST_F(PlaylistEditorTest, TheCurrentLineIsBoldAndTheMarkFollowsTheCurrentEntry) {
    AppendAll({"/a.mp3", "/b.mp3", "/c.mp3"});
    SelectEntry(1);
    ShowEditor();
    auto bold = [](int row) {
        return List()->model()->index(row, 0).data(Qt::FontRole).value<QFont>().bold();
    };
    EXPECT_TRUE(bold(1));
    EXPECT_FALSE(bold(0));
    Select({1});
    Button("up")->click();
    EXPECT_TRUE(bold(0)) << "the mark went with the song";
    SelectNext();
    EXPECT_TRUE(bold(1));
    EXPECT_FALSE(bold(0));
}

// Ten thousand real files: the lengths come in while the window keeps
// answering, since the window itself never reads them.
TEST_F(PlaylistEditorTest, MeasuringTenThousandFilesDoesNotHoldTheWindow) {
    const std::string clip = vek::test::DataPath("made/mpeg1_l3_crc_48k.mp3");
    std::string m3u;
    for (int i = 0; i < 10000; ++i) {
        std::string name = dir_.File("t" + std::to_string(i) + ".mp3");
        ASSERT_EQ(link(clip.c_str(), name.c_str()), 0);
        m3u += name + "\n";
    }
    ASSERT_TRUE(vek::test::WriteFileText(dir_.File("all.m3u"), m3u));
    ShowEditor();
    ASSERT_TRUE(AddFileByName(dir_.File("all.m3u").c_str()));
    using Clock = std::chrono::steady_clock;
    Clock::time_point last = Clock::now();
    Clock::duration longest{};
    auto answered = [&] {
        longest = std::max(longest, Clock::now() - last);
        last = Clock::now();
    };
    RefreshPlaylistEditor();
    answered();
    EXPECT_TRUE(PumpUntil([&] { return answered(), Playtime() == "Playtime: 8:20:00"; }, 60000))
        << Playtime().toStdString();
    EXPECT_LT(longest, std::chrono::milliseconds(250)) << "the window stopped answering";
}

// At the smallest size every control lies inside the window, clear of the
// others, and shows its whole text. Grown, the list grows with the window, and
// what lies right of it or below it moves with the right or the bottom edge.
TEST_F(PlaylistEditorTest, TheControlsKeepToTheirEdgesAndClearOfEachOther) {
    QWidget* editor = ShowEditor();
    editor->resize(100, 100);
    ASSERT_EQ(editor->size(), QSize(240, 226));
    const QList<QWidget*> controls =
        editor->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_GE(controls.size(), 12);
    std::vector<QRect> small;
    for (QWidget* c : controls) {
        small.push_back(c->geometry());
        EXPECT_TRUE(editor->rect().contains(c->geometry())) << c->objectName().toStdString();
        if (auto* button = qobject_cast<QPushButton*>(c)) {
            EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), button->width())
                << button->text().toStdString();
        }
        for (QWidget* other : controls)
            EXPECT_TRUE(other == c || !other->geometry().intersects(c->geometry()))
                << c->objectName().toStdString() << " " << other->objectName().toStdString();
    }
    const QRect list = List()->geometry();
    const QSize grown(100, 60);
    editor->resize(editor->size() + grown);
    for (int i = 0; i < controls.size(); ++i) {
        QRect now = controls[i]->geometry();
        QPoint moved = now.topLeft() - small[i].topLeft();
        const std::string name = controls[i]->objectName().toStdString();
        EXPECT_EQ(moved.x(), small[i].left() > list.right() ? grown.width() : 0) << name;
        EXPECT_EQ(moved.y(), small[i].top() > list.bottom() ? grown.height() : 0) << name;
        EXPECT_EQ(now.size(), small[i].size() + (controls[i] == List() ? grown : QSize(0, 0)))
            << name;
    }
}

TEST_F(PlaylistEditorTest, ReopeningPutsItWhereItWasAndTheIniKeepsThePlace) {
    Open();
    ShowEditor()->move(150, 120);
    Pump(10);
    RunCommand(kCmdPlaylistEditor);
    EXPECT_FALSE(IsPlaylistEditorOpen());
    RunCommand(kCmdPlaylistEditor);
    ASSERT_TRUE(IsPlaylistEditorOpen());
    EXPECT_EQ(PlaylistEditorWindow()->pos(), QPoint(150, 120));
    window_->close();  // the main window's end closes the editor and saves the settings
    EXPECT_FALSE(IsPlaylistEditorOpen());
    std::string ini = IniText();
    EXPECT_NE(ini.find("PlaylistX=150\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("PlaylistY=120\n"), std::string::npos);
}

// The close box's window is deleted later: an editor opened before then sums
// the lengths all the same, and marks a stream's as unknown.
TEST_F(PlaylistEditorTest, DismissAndTheCloseBoxDestroyIt) {
    ShowEditor();
    Button("dismiss")->click();
    EXPECT_EQ(PlaylistEditorWindow(), nullptr);
    ShowEditor()->close();
    EXPECT_EQ(PlaylistEditorWindow(), nullptr);
    RefreshPlaylistEditor();  // reaches no editor
    // Opened again before the closed one is deleted, which happens meanwhile.
    ShowEditor();
    const std::string clip = vek::test::DataPath("made/mpeg1_l3_crc_48k.mp3");  // 3.048 s
    AppendAll({clip, clip});
    RefreshPlaylistEditor();
    EXPECT_TRUE(PumpUntil([] { return Playtime() == "Playtime: 0:00:06"; }, 5000))
        << Playtime().toStdString();
    AppendAll({"http://radio.example/live"});
    RefreshPlaylistEditor();
    EXPECT_EQ(Playtime(), "Playtime: 0:00:06+");
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
