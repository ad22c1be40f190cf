// The modeless "VEK Preferences" sheet: four pages (General, Decoder, Audio
// Output, Streaming) with OK, Cancel and Apply. Some controls change the
// settings the moment they move, the others on OK or Apply; Cancel puts back
// what the sheet changed since it opened. vek.ini is written when it closes,
// whichever button closed it.
#pragma once

#include <QString>
#include <functional>
#include <span>

#include "settings/settings.h"

class QWidget;

namespace vek::app {

enum PreferencePage { kGeneralPage, kDecoderPage, kAudioPage, kStreamingPage, kPageCount };

// One control of the sheet: where it stands, what it shows, the setting it is
// bound to and when the setting takes its value. Creating a page shows the
// settings, Apply and OK store, Cancel restores and the changed state follow
// the rows alone.
struct PreferenceRow {
    enum class Kind {
        Check,        // checked is 1
        Slider,       // positions 0 to LastPosition(), the entries spread under it, text above
        NamedSlider,  // an entry per position, the present one's under the slider
        Radios,       // one button per entry, the first 0
        List,         // sorted, always open; an entry's index in entries is its value
        Devices,      // the sound devices by name, and "Wave Mapper" for -1
        Folder,       // a folder's name, typed or chosen with "Browse"
        Button,       // one push button per entry; the first runs action
        Combo,        // a combo box after its text; an entry's index is its value
    };
    enum Moment : unsigned { kAtOnce = 1, kOnApply = 2 };
    // When a move of the control enables Apply: never, always, or when its
    // position differs from the one shown at the page's opening or last Apply.
    enum class Marks { Never, Always, OffBaseline };
    static constexpr int kMaxEntries = 8;

    PreferencePage page;
    const char* group;  // the title of the group it stands in
    Kind kind = Kind::Check;
    const char* text = nullptr;
    // The control's object name; else its text (or an entry's) in lower case
    // with underscores: "Play and Save" is play_and_save.
    const char* name = nullptr;
    Relaxed<int32_t> Settings::*field = nullptr;  // setting = position + offset
    SharedPath Settings::*path = nullptr;         // for a folder
    // A slider's names, spread evenly under it, the radio buttons' texts, the
    // list's entries, the buttons' texts.
    const char* entries[kMaxEntries] = {};
    // A slider's last position, when its names mark only some; else the
    // positions are the entries'.
    int max_position = -1;
    int offset = 0;
    unsigned moment = kOnApply;  // Moment bits: at once, on Apply and OK
    bool restore = false;        // Cancel puts back the value of the sheet's opening
    Marks marks = Marks::Never;
    const char* icon = nullptr;  // left of a button
    void (*action)() = nullptr;  // a button's
    // Told after OK, Apply or Cancel gave the setting another value.
    void (*switched)() = nullptr;
    // A row with no field, path or action is shown but never usable.

    constexpr int EntryCount() const {
        int count = 0;
        while (count < kMaxEntries && entries[count]) ++count;
        return count;
    }
    constexpr int LastPosition() const {
        return max_position >= 0 ? max_position : EntryCount() - 1;
    }
};

// Every row, in the order the controls show.
std::span<const PreferenceRow> PreferenceTable();

// Opens the sheet beside owner (the main window), taking a copy of the
// settings for Cancel; when it is open already, only brings it forward. Once
// the sheet has closed, on the next turn of the event loop: owner enabled, the
// sheet gone, then closed() (the main window saves the settings and applies
// the decoder's priority and its own layer). Returns whether a sheet is open
// afterwards.
bool ShowPreferences(QWidget* owner, const std::function<void()>& closed);
bool IsPreferencesOpen();

// The open sheet, or nullptr; its controls carry object names (tests).
QWidget* PreferencesSheet();

// The sound devices the Audio Output page lists: how many there are and the
// name of one (false when its name cannot be had). The output's device list
// unless a test puts another in place.
struct AudioDeviceList {
    int (*count)();
    bool (*name)(int index, char* name, int name_size);
};
void SetAudioDeviceList(const AudioDeviceList& list);

// The folder chooser of "Browse": the chosen folder, or an empty text when the
// user cancelled. Qt's own unless a test puts another in place.
using FolderChooser =
    std::function<QString(QWidget* owner, const QString& title, const QString& start)>;
void SetFolderChooser(const FolderChooser& chooser);

}  // namespace vek::app
