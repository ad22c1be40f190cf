// The open-file dialog and the Open URL dialog, answered from their own event
// loops.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QFileDialog>
#include <QListView>
#include <QMenu>
#include <QShortcut>
#include <cstring>

#include "app/open_files_dialog.h"
#include "app/open_url_dialog.h"
#include "tests/app/app_test_support.h"
#include "tests/app/dialog_driving.h"

namespace vek::app {
namespace {

using test::ChooseFiles;

std::vector<std::string> Entries() {
    std::vector<std::string> entries;
    for (PlaylistEntry* e = gPlaylist.first; e; e = e->next) entries.emplace_back(e->path);
    return entries;
}

class OpenFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::ForgetQuitRequest();
        ResetSettingsToDefaults();
        ClearPlaylist();
        for (const char* name : {"a.mp3", "b.mp3", "c.wav"})
            ASSERT_TRUE(vek::test::WriteFileText(dir_.File(name), "x"));
        folder_ = QString::fromStdString(dir_.path());
    }
    void TearDown() override { ClearPlaylist(); }

    vek::test::TempDir dir_;
    QString folder_;
    vek::test::RecordingDesktop desktop_;
};

TEST_F(OpenFilesTest, CancelChangesNothing) {
    AppendEntry("/kept.mp3");
    gSettings.PreviousDir.Set("/before/");
    ChooseFiles(folder_, {});
    EXPECT_EQ(OpenFilesDialog(nullptr, true, kFilterPlaylists), 0);
    EXPECT_EQ(Entries(), std::vector<std::string>{"/kept.mp3"});
    EXPECT_EQ(gSettings.PreviousDir.Get(), "/before/");
}

TEST_F(OpenFilesTest, OneFileKeepsItsFolderWithASlash) {
    ChooseFiles(folder_, {"a.mp3"});
    EXPECT_EQ(OpenFilesDialog(nullptr, true, kFilterAllSupported), 1);
    EXPECT_EQ(gSettings.PreviousDir.Get(), dir_.path() + "/");
    EXPECT_EQ(Entries(), std::vector<std::string>{dir_.File("a.mp3")});
}

TEST_F(OpenFilesTest, TwoFilesKeepTheFolderWithoutASlashAndComeInTheirOrder) {
    ChooseFiles(folder_, {"b.mp3", "a.mp3"});
    EXPECT_EQ(OpenFilesDialog(nullptr, true, kFilterAllSupported), 2);
    EXPECT_EQ(gSettings.PreviousDir.Get(), dir_.path());
    EXPECT_EQ(Entries(), (std::vector<std::string>{dir_.File("b.mp3"), dir_.File("a.mp3")}));
}

TEST_F(OpenFilesTest, TheDialogOpensWhereTheLastOneWasLeft) {
    gSettings.PreviousDir.Set((dir_.path() + "/").c_str());
    QString opened;
    test::WhenModal<QFileDialog>([&](QFileDialog* dialog) {
        opened = dialog->directory().absolutePath();
        dialog->reject();
        return true;
    });
    OpenFilesDialog(nullptr, true, kFilterAllSupported);
    EXPECT_EQ(opened, folder_);
}

TEST_F(OpenFilesTest, AFileInTheRootIsJoinedWithOneSlash) {
    EXPECT_EQ(AddChosenFiles({QStringLiteral("/a.mp3")}, true), 1);
    EXPECT_EQ(Entries(), std::vector<std::string>{"/a.mp3"});
    EXPECT_EQ(gSettings.PreviousDir.Get(), "/");
    // Several files there keep the root's slash: an empty folder would not open it.
    AddChosenFiles({QStringLiteral("/a.mp3"), QStringLiteral("/b.mp3")}, true);
    EXPECT_EQ(gSettings.PreviousDir.Get(), "/");
}

TEST_F(OpenFilesTest, APlaylistAddedKeepsTheCurrentEntry) {
    ASSERT_TRUE(vek::test::WriteFileText(
        dir_.File("l.pls"), "[playlist]\nNumberOfEntries=2\nFile1=a.mp3\nFile2=b.mp3\n"));
    AppendEntry("/first.mp3");
    AppendEntry("/second.mp3");
    SelectEntry(1);
    ChooseFiles(folder_, {"l.pls"});
    EXPECT_EQ(OpenFilesDialog(nullptr, false, kFilterAllSupported), 1);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"/first.mp3", "/second.mp3", dir_.File("a.mp3"),
                                                   dir_.File("b.mp3")}));
    EXPECT_EQ(CurrentPosition(), 1);
}

TEST_F(OpenFilesTest, UnsupportedNamesCountButAddNothing) {
    AppendEntry("/kept.mp3");
    ChooseFiles(folder_, {"c.wav"});
    EXPECT_EQ(OpenFilesDialog(nullptr, false, kFilterAllSupported), 1);
    EXPECT_EQ(Entries(), std::vector<std::string>{"/kept.mp3"});
    EXPECT_EQ(desktop_.Boxes().size(), 0u);
    ChooseFiles(folder_, {"c.wav"});
    EXPECT_EQ(OpenFilesDialog(nullptr, true, kFilterAllSupported), 1);
    EXPECT_EQ(PlaylistCount(), 0);
}

TEST_F(OpenFilesTest, APlaylistThatCannotBeReadIsNamedAndTheRestAdded) {
    ASSERT_TRUE(vek::test::WriteFileText(dir_.File("bad.pls"), "[playlist]\nFile1=a.mp3\n"));
    ChooseFiles(folder_, {"bad.pls", "a.mp3"});
    EXPECT_EQ(OpenFilesDialog(nullptr, true, kFilterAllSupported), 2);
    EXPECT_EQ(Entries(), std::vector<std::string>{dir_.File("a.mp3")});
    ASSERT_EQ(desktop_.Count("Error..."), 1u);
    EXPECT_EQ(desktop_.Boxes()[0].text, "Error Loading Playlist: " + dir_.File("bad.pls"));
}

// The sets, their labels and their first pair; the patterns match whatever the
// case of a name.
TEST_F(OpenFilesTest, FilterSetsShowTheirFilesWhateverTheirCase) {
    for (const char* name : {"d.MP3", "e.Pls", "f.m3u", "g.mp2"})
        ASSERT_TRUE(vek::test::WriteFileText(dir_.File(name), "x"));
    gSettings.PreviousDir.Set(dir_.path().c_str());
    const struct {
        int set;
        QStringList labels;
        QStringList shown;
    } cases[] = {
        {kFilterAllSupported,
         {"All Supported Files", "Mpeg Audio Files", "Playlist Files", "All FileTypes"},
         {"a.mp3", "b.mp3", "d.MP3", "e.Pls", "f.m3u", "g.mp2"}},
        {kFilterAudio, {"Mpeg Audio Files"}, {"a.mp3", "b.mp3", "d.MP3", "g.mp2"}},
        {kFilterPlaylists, {"Playlist Files"}, {"e.Pls", "f.m3u"}},
    };
    for (const auto& c : cases) {
        QStringList labels, shown;
        test::WhenModal<QFileDialog>([&](QFileDialog* dialog) {
            auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
            QAbstractItemModel* model = view->model();
            QModelIndex root = view->rootIndex();
            if (model->rowCount(root) == 0) return false;  // still being read
            for (int row = 0; row < model->rowCount(root); ++row)
                shown << model->index(row, 0, root).data().toString();
            for (const QString& filter : dialog->nameFilters())
                labels << filter.left(filter.indexOf(QLatin1String(" (")));
            EXPECT_EQ(dialog->selectedNameFilter(), c.labels.first());
            EXPECT_EQ(dialog->windowTitle(), "Open a MP3 Or Playlist...");
            dialog->reject();
            return true;
        });
        OpenFilesDialog(nullptr, false, c.set);
        shown.sort();
        EXPECT_EQ(labels, c.labels) << c.set;
        EXPECT_EQ(shown, c.shown) << c.set;
    }
}

class OpenUrlTest : public ::testing::Test {
  protected:
    void SetUp() override { test::ForgetQuitRequest(); }
};

TEST_F(OpenUrlTest, OpenGivesTheTextWithoutTheBlanksAroundIt) {
    char buffer[260] = "untouched";
    test::EnterUrl(QStringLiteral("  http://radio.example/live \n"));
    EXPECT_EQ(OpenUrlDialog(nullptr, buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "http://radio.example/live");
}

TEST_F(OpenUrlTest, CancelLeavesTheBufferAlone) {
    char buffer[260] = "untouched";
    test::WhenModal<QDialog>([](QDialog* dialog) {
        dialog->reject();
        return true;
    });
    EXPECT_EQ(OpenUrlDialog(nullptr, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "untouched");
}

TEST_F(OpenUrlTest, TheFieldTakesAtMost258Characters) {
    char buffer[4096];
    test::EnterUrl(QString(300, QLatin1Char('u')));
    EXPECT_EQ(OpenUrlDialog(nullptr, buffer, sizeof buffer), 1);
    EXPECT_EQ(std::strlen(buffer), 258u);
}

class MainWindowOpenTest : public test::WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        test::ForgetQuitRequest();
    }
    vek::test::TempDir dir_;
};

// The .wav output shows which file plays: the two clips have different rates.
TEST_F(MainWindowOpenTest, OpenFileWithTwoFilesReplacesTheListAndPlaysTheFirst) {
    gSettings.AudioOutputSystem = 1;
    desktop_.SetSaveNames({dir_.File("out.wav")});
    for (const auto& [from, to] : {std::pair{"made/mpeg1_l3_crc_48k.mp3", "x.mp3"},
                                   std::pair{"made/mpeg1_l3_cbr128_44k.mp3", "y.mp3"}}) {
        std::vector<uint8_t> bytes = vek::test::ReadFileBytes(vek::test::DataPath(from));
        ASSERT_TRUE(vek::test::WriteFileBytes(dir_.File(to), bytes.data(), bytes.size()));
    }
    AppendEntry("/old.mp3");
    MainWindow* w = Open();
    ChooseFiles(QString::fromStdString(dir_.path()), {"x.mp3", "y.mp3"});
    w->RunCommand(kCmdOpenFile);
    EXPECT_EQ(Entries(), (std::vector<std::string>{dir_.File("x.mp3"), dir_.File("y.mp3")}));
    vek::test::WavFile wav;
    ASSERT_TRUE(
        test::PumpUntil([&] { return vek::test::ReadWav(dir_.File("out.wav"), &wav); }, 5000));
    EXPECT_EQ(wav.rate, 48000);
}

TEST_F(MainWindowOpenTest, OpenLocationReplacesTheListWithTheUrl) {
    AppendEntry("/old.mp3");
    MainWindow* w = Open();
    test::EnterUrl(QStringLiteral("http://127.0.0.1:9/live"));
    w->RunCommand(kCmdOpenLocation);
    EXPECT_EQ(Entries(), std::vector<std::string>{"http://127.0.0.1:9/live"});
    test::EnterUrl(QStringLiteral("abc"));
    w->RunCommand(kCmdOpenLocation);
    EXPECT_EQ(Entries(), std::vector<std::string>{"http://127.0.0.1:9/live"});
}

// A popup takes no part in a dialog's modality: Esc closing one (the file
// dialog's completion list) must not reach the window's Esc key.
TEST_F(MainWindowOpenTest, TheEscKeyOpensNoDialogWhileAPopupIsInFront) {
    MainWindow* w = Open();
    QShortcut* esc = nullptr;
    for (QShortcut* shortcut : w->findChildren<QShortcut*>())
        if (shortcut->key() == QKeySequence(Qt::Key_Escape)) esc = shortcut;
    ASSERT_NE(esc, nullptr);
    int dialogs = 0;
    test::WhenModal<QFileDialog>([&](QFileDialog* dialog) {
        ++dialogs;
        dialog->reject();
        return true;
    });
    QMenu popup;
    popup.addAction(QStringLiteral("completion"));
    popup.popup(w->mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(test::PumpUntil([] { return QApplication::activePopupWidget() != nullptr; }, 1000));
    emit esc->activated();
    popup.close();
    EXPECT_EQ(dialogs, 0);
    emit esc->activated();  // with nothing in front it opens the dialog
    EXPECT_EQ(dialogs, 1);
}

}  // namespace
}  // namespace vek::app
