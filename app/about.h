// The modal "About VEK..." sheet: the program's name and version, and a list of
// pages about Vek and about MPEG audio that open in the desktop's browser.
#pragma once

#include <QString>
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace vek::app {

// Shows the sheet over owner (the main window) and returns when it is closed.
void ShowAbout(QWidget* owner);

// The sheet while it is shown, or nullptr; its controls carry object names.
QWidget* AboutSheet();

struct Link {
    std::string title;
    std::string url;
};
// The seven links in the order the list shows them: Vek's read-me and change
// log, then five pages about MPEG audio.
std::vector<Link> AboutLinks();

// What "Browse To" hands its text to: the desktop's opener unless a test puts
// another in place.
void SetLinkOpener(const std::function<void(const QString& text)>& opener);

}  // namespace vek::app
