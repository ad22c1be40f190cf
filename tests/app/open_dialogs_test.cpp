// The open-file dialog and the Open URL dialog, answered from their own event
// loops, and the main window's commands that use them.
#include <gtest/gtest.h>

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
using Strings = std::vector<std::string>;

Strings Entries() {
    Strings entries;
    for (PlaylistEntry* e = gPlaylist.first; e; e = e->next) entries.emplace_back(e->path);
    return entries;
}

class OpenDialogsTest : public test::WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        test::ForgetQuitRequest();
        for (const char* name : {"a.mp3", "b.mp3", "c.wav"})
            ASSERT_TRUE(vek::test::WriteFileText(dir_.File(name), "x"));
        folder_ = QString::fromStdString(dir_.path());
    }
    vek::test::TempDir dir_;
    QString folder_;
};

TEST_F(OpenDialogsTest, OneFileKeepsItsFolderWithASlashSeveralWithoutAndInTheirOrder) {
    ChooseFiles(folder_, {"a.mp3"});
    EXPECT_EQ(OpenFilesDialog(nullptr, true, kFilterAllSupported), 1);
    EXPECT_EQ(gSettings.PreviousDir.Get(), dir_.path() + "/");
    ChooseFiles(folder_, {"b.mp3", "a.mp3"});
    EXPECT_EQ(OpenFilesDialog(nullptr, true, kFilterAllSupported), 2);
    EXPECT_EQ(gSettings.PreviousDir.Get(), dir_.path());
    EXPECT_EQ(Entries(), (Strings{dir_.File("b.mp3"), dir_.File("a.mp3")}));
}

TEST_F(OpenDialogsTest, AFileInTheRootIsJoinedWithOneSlash) {
    EXPECT_EQ(AddChosenFiles({QStringLiteral("/a.mp3")}, true), 1);
    EXPECT_EQ(Entries(), Strings{"/a.mp3"});
    EXPECT_EQ(gSettings.PreviousDir.Get(), "/");
    // Several files there keep the root's slash: an empty folder would not open it.
    AddChosenFiles({QStringLiteral("/a.mp3"), QStringLiteral("/b.mp3")}, true);
    EXPECT_EQ(gSettings.PreviousDir.Get(), "/");
}

TEST_F(OpenDialogsTest, UnsupportedNamesCountButAddNothing) {
    AppendEntry("/kept.mp3");
    ChooseFiles(folder_, {"c.wav"});
    EXPECT_EQ(OpenFilesDialog(nullptr, false, kFilterAllSupported), 1);
    EXPECT_EQ(Entries(), Strings{"/kept.mp3"});
    ChooseFiles(folder_, {"c.wav"});
    EXPECT_EQ(OpenFilesDialog(nullptr, true, kFilterAllSupported), 1);
    EXPECT_EQ(PlaylistCount(), 0);
    EXPECT_EQ(desktop_.Boxes().size(), 0u);
}

// Each set opens in PreviousDir on its first pair, and its patterns match
// whatever the case of a name.
TEST_F(OpenDialogsTest, FilterSetsShowTheirFilesWhateverTheirCase) {
    for (const char* name : {"d.MP3", "e.Pls", "f.m3u"})
        ASSERT_TRUE(vek::test::WriteFileText(dir_.File(name), "x"));
    gSettings.PreviousDir.Set(dir_.path().c_str());
    const struct {
        int set;
        QStringList labels, shown;
    } cases[] = {
        {kFilterAllSupported,
         {"All Supported Files", "Mpeg Audio Files", "Playlist Files", "All FileTypes"},
         {"a.mp3", "b.mp3", "d.MP3", "e.Pls", "f.m3u"}},
        {kFilterAudio, {"Mpeg Audio Files"}, {"a.mp3", "b.mp3", "d.MP3"}},
        {kFilterPlaylists, {"Playlist Files"}, {"e.Pls", "f.m3u"}},
    };
    for (const auto& c : cases) {
        QStringList labels, shown;
        test::WhenModal<QFileDialog>([&](QFileDialog* dialog) {
            auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
            QModelIndex root = view->rootIndex();
            if (view->model()->rowCount(root) == 0) return false;  // still being read
            for (int row = 0; row < view->model()->rowCount(root); ++row)
                shown << view->model()->index(row, 0, root).data().toString();
            for (const QString& filter : dialog->nameFilters())
                labels << filter.left(filter.indexOf(QLatin1String(" (")));
            EXPECT_EQ(dialog->selectedNameFilter(), c.labels.first());
            EXPECT_EQ(dialog->directory().absolutePath(), folder_);
            EXPECT_EQ(dialog->windowTitle(), "Open a MP3 Or Playlist...");
            dialog->reject();
            return true;
        });
        EXPECT_EQ(OpenFilesDialog(nullptr, false, c.set), 0);
        shown.sort();
        EXPECT_EQ(labels, c.labels) << c.set;
        EXPECT_EQ(shown, c.shown) << c.set;
    }
}

TEST_F(OpenDialogsTest, TheUrlDialogGivesAtMost258CharactersWithoutBlanksOrNothing) {
    char buffer[4096] = "untouched";
    test::WhenModal<QDialog>([](QDialog* dialog) {
        dialog->reject();
        return true;
    });
    EXPECT_EQ(OpenUrlDialog(nullptr, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "untouched");
    test::EnterUrl(QStringLiteral("  http://radio.example/live \n"));
    EXPECT_EQ(OpenUrlDialog(nullptr, buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "http://radio.example/live");
    test::EnterUrl(QString(300, QLatin1Char('u')));
    EXPECT_EQ(OpenUrlDialog(nullptr, buffer, sizeof buffer), 1);
    EXPECT_EQ(std::strlen(buffer), 258u);
}

// The .wav output shows which file plays: the two clips have different rates.
TEST_F(OpenDialogsTest, OpenFileWithTwoFilesReplacesTheListAndPlaysTheFirst) {
    gSettings.AudioOutputSystem = 1;
    desktop_.SetSaveNames({dir_.File("out.wav")});
    for (const auto& [from, to] : {std::pair{"made/mpeg1_l3_crc_48k.mp3", "x.mp3"},
                                   std::pair{"made/mpeg1_l3_cbr128_44k.mp3", "y.mp3"}}) {
        std::vector<uint8_t> bytes = vek::test::ReadFileBytes(vek::test::DataPath(from));
        ASSERT_TRUE(vek::test::WriteFileBytes(dir_.File(to), bytes.data(), bytes.size()));
    }
    AppendEntry("/old.mp3");
    Open();
    ChooseFiles(folder_, {"x.mp3", "y.mp3"});
    RunCommand(kCmdOpenFile);
    EXPECT_EQ(Entries(), (Strings{dir_.File("x.mp3"), dir_.File("y.mp3")}));
    vek::test::WavFile wav;
    ASSERT_TRUE(
        test::PumpUntil([&] { return vek::test::ReadWav(dir_.File("out.wav"), &wav); }, 5000));
    EXPECT_EQ(wav.rate, 48000);
}

TEST_F(OpenDialogsTest, OpenLocationReplacesTheListWithFourCharactersOrMore) {
    AppendEntry("/old.mp3");
    Open();
    test::EnterUrl(QStringLiteral(" abc "));
    RunCommand(kCmdOpenLocation);
    EXPECT_EQ(Entries(), Strings{"/old.mp3"});
    test::EnterUrl(QStringLiteral("http://127.0.0.1:9/live"));
    RunCommand(kCmdOpenLocation);
    EXPECT_EQ(Entries(), Strings{"http://127.0.0.1:9/live"});
}

// A popup takes no part in a dialog's modality: Esc closing one (the file
// dialog's completion list) must not reach the window's Esc key.
TEST_F(OpenDialogsTest, TheEscKeyOpensNoDialogWhileAPopupIsInFront) {
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
