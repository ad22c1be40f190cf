// The preferences sheet as a user works it: what each control changes and when,
// what Apply, OK and Cancel do, and what happens once the sheet has closed.
#include "app/preferences.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/window_commands.h"
#include "settings/settings.h"
#include "tests/app/app_test_support.h"
#include "tests/support/test_support.h"

namespace vek::app {
namespace {

using test::PumpUntil;

std::vector<std::string> g_device_names;

int FakeCount() {
    return static_cast<int>(g_device_names.size());
}
// An empty name stands for one that cannot be read.
bool FakeName(int index, char* name, int size) {
    if (index < 0 || index >= FakeCount() || g_device_names[index].empty()) return false;
    std::snprintf(name, static_cast<size_t>(size), "%s", g_device_names[index].c_str());
    return true;
}

class PreferencesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetSettingsToDefaults();
        g_device_names = {"Speakers", "Headphones"};
        SetAudioDeviceList({FakeCount, FakeName});
    }
    void TearDown() override {
        if (IsPreferencesOpen()) Press("cancel");
        PumpUntil([] { return !IsPreferencesOpen(); }, 2000);
        SetFolderChooser(nullptr);
    }

    void Open() {
        ASSERT_TRUE(ShowPreferences(&owner_, [this] {
            PreferencesSheetClosed();
            Closed();
        }));
        ASSERT_TRUE(IsPreferencesOpen());
    }
    template <typename T>
    T* Find(const char* name) {
        T* found = PreferencesSheet()->findChild<T*>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    void Page(int index) { Find<QTabWidget>("pages")->setCurrentIndex(index); }
    void Press(const char* button) { Find<QAbstractButton>(button)->click(); }
    bool ApplyEnabled() { return Find<QAbstractButton>("apply")->isEnabled(); }
    void Select(const char* list, const char* text, int nth = 0) {
        QListWidget* items = Find<QListWidget>(list);
        for (int row = 0; row < items->count(); ++row)
            if (items->item(row)->text() == QLatin1String(text) && nth-- == 0)
                items->setCurrentRow(row);
    }
    QString Selected(const char* list) {
        QList<QListWidgetItem*> items = Find<QListWidget>(list)->selectedItems();
        return items.isEmpty() ? QString() : items[0]->text();
    }
    // OK or Cancel, then the loop runs until the sheet has been finished.
    void CloseWith(const char* button) {
        Press(button);
        ASSERT_TRUE(PumpUntil([this] { return closed_ > 0; }, 2000));
    }
    void Closed() {
        ++closed_;
        // By now the owner is enabled, the sheet gone and the main window's
        // duty (it has none here) has written the file.
        owner_enabled_ = owner_.isEnabled();
        sheet_gone_ = !IsPreferencesOpen();
        ini_at_close_ = vek::test::ReadFileText(config_.IniPath());
    }

    vek::test::ScopedConfigDir config_;
    QWidget owner_;
    int closed_ = 0;
    bool owner_enabled_ = false;
    bool sheet_gone_ = false;
    std::string ini_at_close_;
};

TEST_F(PreferencesTest, CancelStillWritesTheFileAfterTheSheetHasGone) {
    owner_.setEnabled(false);
    Open();
    CloseWith("cancel");
    EXPECT_EQ(closed_, 1);
    EXPECT_TRUE(owner_enabled_);
    EXPECT_TRUE(sheet_gone_);
    EXPECT_NE(ini_at_close_.find("[vek]"), std::string::npos);
}

// Moves a row's control to another position, as the user would, and returns
// the value the setting should then take.
int32_t MoveControl(QWidget* sheet, const PreferenceRow& row) {
    int32_t now = gSettings.*row.field;
    int next = (now - row.offset + 1) % std::max(row.LastPosition() + 1, 2);
    QString entry = QString::fromLatin1(next < row.EntryCount() ? row.entries[next] : "");
    switch (row.kind) {
        case PreferenceRow::Kind::Check:
            for (QCheckBox* box : sheet->findChildren<QCheckBox*>())
                if (box->text() == QLatin1String(row.text)) box->click();
            return now != 0 ? 0 : 1;
        case PreferenceRow::Kind::Slider:
        case PreferenceRow::Kind::NamedSlider:
            sheet->findChild<QSlider*>(QString::fromLatin1(row.name))->setValue(next);
            break;
        case PreferenceRow::Kind::Combo:
            sheet->findChild<QComboBox*>(QString::fromLatin1(row.name))->setCurrentIndex(next);
            break;
        case PreferenceRow::Kind::Radios:
            for (QRadioButton* button : sheet->findChildren<QRadioButton*>())
                if (button->text() == entry) button->click();
            break;
        case PreferenceRow::Kind::List:
        case PreferenceRow::Kind::Devices: {
            auto* list = sheet->findChild<QListWidget*>(QString::fromLatin1(row.name));
            if (row.kind == PreferenceRow::Kind::Devices) {
                next = now == 1 ? 0 : 1;
                entry = QString::fromStdString(g_device_names[next]);
            }
            for (int i = 0; i < list->count(); ++i)
                if (list->item(i)->text() == entry) list->setCurrentRow(i);
            break;
        }
        default:
            ADD_FAILURE() << "no way to move a control of kind " << static_cast<int>(row.kind);
    }
    return next + row.offset;
}

// Every control bound to a setting, moved on its page: the setting takes the
// value at once or only on OK as its row says, Apply lights as it says, a
// slider's name follows, and Cancel puts back exactly the rows it names.
TEST_F(PreferencesTest, EachControlActsAndIsRestoredAsItsRowSays) {
    for (const PreferenceRow& row : PreferenceTable()) {
        if (!row.field) continue;
        for (const char* button : {"cancel", "ok"}) {
            ResetSettingsToDefaults();
            int32_t before = gSettings.*row.field;
            closed_ = 0;
            Open();
            Page(row.page);
            int32_t moved = MoveControl(PreferencesSheet(), row);
            ASSERT_NE(moved, before) << row.name << row.text;
            bool at_once = (row.moment & PreferenceRow::kAtOnce) != 0;
            EXPECT_EQ(gSettings.*row.field, at_once ? moved : before) << row.name << row.text;
            EXPECT_EQ(ApplyEnabled(), row.marks != PreferenceRow::Marks::Never) << row.text;
            if (row.kind == PreferenceRow::Kind::NamedSlider) {
                EXPECT_EQ(Find<QLabel>((std::string(row.name) + "_name").c_str())->text(),
                          QLatin1String(row.entries[moved - row.offset]));
            }
            CloseWith(button);
            bool ok = button[0] == 'o';
            int32_t kept = ok ? moved : (row.restore || !at_once ? before : moved);
            EXPECT_EQ(gSettings.*row.field, kept) << button << " " << row.name << row.text;
        }
    }
}

TEST_F(PreferencesTest, TheChannelSliderAloneLeavesApplyDisabledAndActsOnOk) {
    Open();
    Page(1);
    Find<QSlider>("channels")->setValue(3);
    EXPECT_FALSE(ApplyEnabled());
    EXPECT_EQ(gSettings.Channels, -1);
    CloseWith("ok");
    EXPECT_EQ(gSettings.Channels, 2);
    EXPECT_NE(ini_at_close_.find("Channels=2\n"), std::string::npos);
}

// Apply stores a check box, which does not light Apply itself; Cancel after it
// still goes back to the values of the sheet's opening.
TEST_F(PreferencesTest, ApplyStoresTheChecksAndCancelThenRestoresTheOpeningValues) {
    Open();
    Find<QAbstractButton>("always_on_top")->click();
    EXPECT_FALSE(ApplyEnabled());
    EXPECT_EQ(gSettings.AlwaysOnTop, 0);
    Find<QSlider>("minimize_location")->setValue(1);  // lights Apply
    Press("apply");
    EXPECT_EQ(gSettings.AlwaysOnTop, 1);
    EXPECT_FALSE(ApplyEnabled());
    CloseWith("cancel");
    EXPECT_EQ(gSettings.AlwaysOnTop, 0);
}

// The list is sorted and ends at the first name that cannot be read; a device
// that is gone selects nothing and keeps its number.
TEST_F(PreferencesTest, TheDeviceListShowsTheNamesThatCanBeRead) {
    g_device_names = {"USB Audio", "Speakers", "USB Audio", "", "Never shown"};
    gSettings.WinMMOutputDev = 5;
    Open();
    Page(2);
    QListWidget* devices = Find<QListWidget>("devices");
    std::vector<QString> shown;
    for (int row = 0; row < devices->count(); ++row) shown.push_back(devices->item(row)->text());
    EXPECT_EQ(shown, (std::vector<QString>{"Speakers", "USB Audio", "USB Audio", "Wave Mapper"}));
    EXPECT_EQ(Selected("devices"), "");
    CloseWith("ok");
    EXPECT_EQ(gSettings.WinMMOutputDev, 5);
}

TEST_F(PreferencesTest, TwoDevicesOfOneNameBothChooseTheLowerIndex) {
    g_device_names = {"USB Audio", "Speakers", "USB Audio"};
    Open();
    Page(2);
    EXPECT_EQ(Selected("devices"), "Wave Mapper");
    Select("devices", "USB Audio", 1);
    EXPECT_EQ(gSettings.WinMMOutputDev, 0);
    Select("devices", "Wave Mapper");
    EXPECT_EQ(gSettings.WinMMOutputDev, -1);
}

TEST_F(PreferencesTest, PreferencesWhileOpenBringsTheSheetForwardWithoutANewSnapshot) {
    Open();
    QWidget* sheet = PreferencesSheet();
    gSettings.DownloadOption = 1;
    ASSERT_TRUE(ShowPreferences(&owner_, [] {}));
    EXPECT_EQ(PreferencesSheet(), sheet);
    Page(3);
    EXPECT_TRUE(Find<QAbstractButton>("play_and_save")->isChecked());
    CloseWith("cancel");
    EXPECT_EQ(gSettings.DownloadOption, 0) << "the value of the sheet's opening";
}

TEST_F(PreferencesTest, ABrowsedFolderReachesTheSettingsOnlyWithOk) {
    std::string before = gSettings.InternetDLDir.Get();
    QString asked_title;
    SetFolderChooser([&](QWidget*, const QString& title, const QString&) {
        asked_title = title;
        return QStringLiteral("/srv/my streams");
    });
    Open();
    Page(3);
    Press("browse");
    EXPECT_EQ(asked_title, "Please Select a directory for downloads...");
    EXPECT_EQ(Find<QLineEdit>("download_folder")->text(), "/srv/my streams/");
    EXPECT_FALSE(ApplyEnabled());
    EXPECT_EQ(gSettings.InternetDLDir.Get(), before);
    CloseWith("ok");
    EXPECT_EQ(gSettings.InternetDLDir.Get(), "/srv/my streams/");
    EXPECT_NE(ini_at_close_.find("InternetDLDir=/srv/my streams/\n"), std::string::npos);
}

TEST_F(PreferencesTest, PagesNeverOpenedKeepTheirSettingsOnOk) {
    gSettings.Channels = 1;
    gSettings.AudioOutput8Bit = 1;
    Open();
    gSettings.Channels = 0;  // changed elsewhere while the sheet is open
    CloseWith("ok");
    EXPECT_EQ(gSettings.Channels, 0);
    EXPECT_EQ(gSettings.AudioOutput8Bit, 1);
}

TEST_F(PreferencesTest, RegisterFiletypesWritesTheFilesAndConfirms) {
    vek::test::EnvRestorer restore_data("XDG_DATA_HOME"), restore_config("XDG_CONFIG_HOME"),
        restore_path("PATH");
    vek::test::TempDir data, config;
    setenv("XDG_DATA_HOME", data.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    setenv("PATH", "/nonexistent", 1);  // no cache tools left running behind the test
    vek::test::RecordingDesktop desktop;
    Open();
    Press("register_filetypes");
    std::vector<vek::test::Box> boxes = desktop.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "FileType Registration...");
    EXPECT_EQ(boxes[0].text,
              "Filetypes are now registered,\nYou may start a supported file by double "
              "clicking.\nIcons may not be updated untill windows is restarted");
    EXPECT_TRUE(
        vek::test::FileExists(data.File("icons/hicolor/64x64/mimetypes/vek-audio-file.png")));
    EXPECT_FALSE(ApplyEnabled());
}

}  // namespace
}  // namespace vek::app

namespace vek::app {
namespace {

using PreferencesFromTheWindowTest = test::WindowTest;

// The menu's command opens the sheet and ticks its entry; closing it hands the
// window its duty: the layer chosen on the sheet is the window's at once.
TEST_F(PreferencesFromTheWindowTest, TheCommandOpensTheSheetAndItsClosingReachesTheWindow) {
    MainWindow* w = Open();
    RunCommand(kCmdPreferences);
    ASSERT_TRUE(IsPreferencesOpen());
    ShowMainMenu(w, w->mapToGlobal(QPoint(100, 100)));
    for (QAction* action : w->menu()->findChildren<QAction*>()) {
        if (action->data().toInt() == kCmdPreferences) {
            EXPECT_TRUE(action->isChecked());
        }
    }
    w->menu()->close();
    PreferencesSheet()->findChild<QAbstractButton*>("always_on_top")->click();
    PreferencesSheet()->findChild<QAbstractButton*>("ok")->click();
    ASSERT_TRUE(PumpUntil([] { return !IsPreferencesOpen(); }, 2000));
    EXPECT_TRUE(
        PumpUntil([w] { return (w->windowFlags() & Qt::WindowStaysOnTopHint) != 0; }, 2000));
    EXPECT_NE(IniText().find("AlwaysOnTop=1\n"), std::string::npos);
}

// The sheet goes down with the window; the window's way back and the command
// both bring it back.
TEST_F(PreferencesFromTheWindowTest, AMinimisedSheetComesBackWithTheWindowAndTheCommand) {
    MainWindow* w = Open();
    RunCommand(kCmdPreferences);
    QWidget* sheet = PreferencesSheet();
    for (bool by_window : {true, false}) {
        if (by_window) w->showMinimized();
        sheet->showMinimized();
        by_window ? w->showNormal() : RunCommand(kCmdPreferences);
        EXPECT_FALSE(sheet->isMinimized()) << by_window;
    }
}

}  // namespace
}  // namespace vek::app
