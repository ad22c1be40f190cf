// The editor's editing controls: each is wired to its playlist operation
// (whose own rules the playlist's tests check) and shows the result.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QtTest/QTest>

#include "control/transport.h"
#include "tests/app/playlist_editor_fixture.h"

namespace vek::app {
namespace {

using test::PlaylistEditorTest;
using test::Pump;
using test::PumpUntil;

QString Playtime() {
    return PlaylistEditorWindow()->findChild<QLabel*>(QStringLiteral("playtime"))->text();
}

TEST_F(PlaylistEditorTest, TheEditingButtonsActAndAddEventStaysGreyed) {
    ShowEditor();
    for (const char* name : {"save", "delete", "sort", "up", "down"})
        EXPECT_TRUE(Button(name)->isEnabled()) << name;
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

TEST_F(PlaylistEditorTest, DelItemRemovesTheSelectedLines) {
    AppendAll({"/a.mp3", "/b.mp3", "/c.mp3", "/d.mp3"});
    ShowEditor();
    Select({1, 2});
    Button("delete")->click();
    EXPECT_EQ(Lines(), (QStringList{"a.mp3", "d.mp3"}));
    EXPECT_EQ(SelectedRows(), QList<int>{1}) << "the line that took their place";
}

TEST_F(PlaylistEditorTest, TheDeleteKeyRemovesTheSelectedLines) {
    AppendAll({"/a.mp3", "/b.mp3"});
    ShowEditor();
    Select({1});
    QTest::keyClick(List(), Qt::Key_Delete);
    EXPECT_EQ(Lines(), QStringList{"a.mp3"});
}

TEST_F(PlaylistEditorTest, UpAndDnMoveTheSelectedLinesAndKeepThemSelected) {
    AppendAll({"/a.mp3", "/b.mp3", "/c.mp3", "/d.mp3"});
    ShowEditor();
    Select({2, 3});
    Button("up")->click();
    EXPECT_EQ(Lines(), (QStringList{"a.mp3", "c.mp3", "d.mp3", "b.mp3"}));
    EXPECT_EQ(SelectedRows(), (QList<int>{1, 2}));
    Button("down")->click();
    Button("down")->click();  // at the end: nothing moves
    EXPECT_EQ(Lines(), (QStringList{"a.mp3", "b.mp3", "c.mp3", "d.mp3"}));
    EXPECT_EQ(SelectedRows(), (QList<int>{2, 3}));
}

TEST_F(PlaylistEditorTest, SortOffersAscendingAndDecending) {
    AppendAll({"/10 x.mp3", "/B.mp3", "/2 x.mp3"});
    ShowEditor();
    test::PickFromPopup(QStringLiteral("Ascending"));
    Button("sort")->click();
    EXPECT_EQ(Lines(), (QStringList{"2 x.mp3", "10 x.mp3", "B.mp3"}));
    test::PickFromPopup(QStringLiteral("Decending"));
    Button("sort")->click();
    EXPECT_EQ(Lines(), (QStringList{"B.mp3", "10 x.mp3", "2 x.mp3"}));
}

TEST_F(PlaylistEditorTest, SaveListWritesTheFormatOfTheChosenName) {
    AppendAll({dir_.File("a.mp3"), "/elsewhere/b.mp3"});
    ShowEditor();
    QString folder = QString::fromStdString(dir_.path());
    QString title;
    test::WhenModal<QFileDialog>([&](QFileDialog* dialog) {
        title = dialog->windowTitle();
        EXPECT_EQ(dialog->nameFilters(),
                  (QStringList{"M3U Playlist (*.m3u)", "PLS Playlist (*.pls)"}));
        return true;  // ChooseFiles answers it
    });
    test::ChooseFiles(folder, {"list.pls"});
    Button("save")->click();
    EXPECT_EQ(title, "Save Playlist As...");
    EXPECT_EQ(vek::test::ReadFileText(dir_.File("list.pls")),
              "[playlist]\nFile1=a.mp3\nTitle1=a\nLength1=-1\nFile2=/elsewhere/b.mp3\n"
              "Title2=b\nLength2=-1\nNumberOfEntries=2\nVersion=2\n");
    test::ChooseFiles(folder, {"list"});  // no ending: the first filter's
    Button("save")->click();
    EXPECT_EQ(vek::test::ReadFileText(dir_.File("list.m3u")), "#EXTM3U\na.mp3\n/elsewhere/b.mp3\n");
}

TEST_F(PlaylistEditorTest, SaveListSaysWhenTheFileCannotBeWritten) {
    AppendAll({"/a.mp3"});
    ShowEditor();
    // A link to a place below a plain file, where nothing can be made.
    ASSERT_TRUE(vek::test::WriteFileText(dir_.File("plain"), "x"));
    ASSERT_EQ(symlink(dir_.File("plain/l.m3u").c_str(), dir_.File("l.m3u").c_str()), 0);
    test::ChooseFiles(QString::fromStdString(dir_.path()), {"l.m3u"});
    Button("save")->click();
    ASSERT_EQ(desktop_.Count("Error..."), 1u);
    EXPECT_EQ(desktop_.Boxes()[0].text, "Error Saving Playlist: " + dir_.File("l.m3u"));
}

TEST_F(PlaylistEditorTest, PlaytimeSumsTheFilesAndMarksWhatItCannotKnow) {
    const std::string clip = vek::test::DataPath("made/mpeg1_l3_crc_48k.mp3");  // 3.048 s
    ShowEditor();
    EXPECT_EQ(Playtime(), "Playtime: Unknown");
    for (int i = 0; i < 20; ++i) AppendAll({clip});
    RefreshPlaylistEditor();
    ASSERT_TRUE(PumpUntil([] { return Playtime() == "Playtime: 0:01:00"; }, 5000))
        << Playtime().toStdString();
    AppendAll({"http://radio.example/live"});
    RefreshPlaylistEditor();
    EXPECT_EQ(Playtime(), "Playtime: 0:01:00+");
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

// The .wav output shows what played: the clips have different rates, and a
// track stopped or started again would leave its file short.
TEST_F(PlaylistEditorTest, DeletingThePlayingEntryStopsNothingAndTheOneAfterItFollows) {
    gSettings.AudioOutputSystem = 1;
    desktop_.SetSaveNames({dir_.File("1.wav"), dir_.File("2.wav")});
    // Thirty copies of a clip: long enough to be playing still when it goes.
    const std::string clip = vek::test::DataPath("made/mpeg1_l3_crc_48k.mp3");
    std::vector<uint8_t> bytes = vek::test::ReadFileBytes(clip), copies;
    for (int i = 0; i < 30; ++i) copies.insert(copies.end(), bytes.begin(), bytes.end());
    const std::string playing = dir_.File("long.mp3");
    ASSERT_TRUE(vek::test::WriteFileBytes(playing, copies.data(), copies.size()));
    AppendAll({playing, vek::test::DataPath("made/mpeg2_l3_22k.mp3"),
               vek::test::DataPath("made/mpeg1_l3_cbr128_44k.mp3")});
    Open();  // plays the first entry
    ASSERT_TRUE(PumpUntil([&] { return desktop_.SaveRequests() == 1; }, 5000));
    ShowEditor();
    Select({0});
    Button("delete")->click();
    ASSERT_TRUE(PumpUntil([&] { return desktop_.SaveRequests() == 2; }, 20000));
    vek::test::WavFile first, next;
    ASSERT_TRUE(vek::test::ReadWav(dir_.File("1.wav"), &first));
    EXPECT_EQ(first.data.size(),
              30 * vek::test::ReadFileBytes(clip.substr(0, clip.size() - 4) + ".pcm").size());
    ASSERT_TRUE(PumpUntil([&] { return vek::test::ReadWav(dir_.File("2.wav"), &next); }, 5000));
    EXPECT_EQ(next.rate, 22050);
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
    auto last = std::chrono::steady_clock::now();
    RefreshPlaylistEditor();
    auto longest = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - last);
    bool done = PumpUntil(
        [&] {
            auto now = std::chrono::steady_clock::now();
            longest = std::max(longest,
                               std::chrono::duration_cast<std::chrono::milliseconds>(now - last));
            last = now;
            return Playtime() == "Playtime: 8:28:00";
        },
        60000);
    EXPECT_TRUE(done) << Playtime().toStdString();
    EXPECT_LT(longest, std::chrono::milliseconds(250)) << "the window stopped answering";
}

}  // namespace
}  // namespace vek::app
