// The modeless "VEK Preferences" sheet: four pages (General, Decoder, Audio
// Output, Streaming) with OK, Cancel and Apply. Some controls change the
// settings the moment they move, the others on OK or Apply; Cancel puts back
// what the sheet changed since it opened. vek.ini is written when it closes,
// whichever button closed it.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace vek::app {

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
