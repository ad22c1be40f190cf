#include "app/open_files_dialog.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLocale>
#include <QStyle>
#include <QTimer>
#include <QTreeView>
#include <string>

#include "playlist/playlist.h"
#include "settings/settings.h"

namespace vek::app {
namespace {

// Qt separates a filter's patterns with blanks. Its own dialog matches them
// without regard to case, so "a.mp3" shows under "*.MP3" as it would on a
// file system that ignores case.
QStringList FilterSet(int set) {
    const QString all = QStringLiteral("All Supported Files (*.MP1 *.MP2 *.MP3 *.PLS *.M3U)");
    const QString audio = QStringLiteral("Mpeg Audio Files (*.MP1 *.MP2 *.MP3)");
    const QString playlists = QStringLiteral("Playlist Files (*.PLS *.M3U)");
    const QString any = QStringLiteral("All FileTypes (*)");
    switch (set) {
        case kFilterAudio:
            return {audio};
        case kFilterPlaylists:
            return {playlists};
        default:
            return {all, audio, playlists, any};
    }
}

// The name takes the room the size, type and date leave; those get what their
// longest usual texts need, measured rather than read from every file.
void FitDetailColumns(QTreeView* details) {
    QHeaderView* header = details->header();
    const QFontMetrics metrics(details->font());
    const int margin = 4 * metrics.averageCharWidth();
    const QString samples[] = {QStringLiteral("1023.9 KiB"), QStringLiteral("MP3 audio file"),
                               QLocale().toString(QDateTime(QDate(2000, 12, 28), QTime(23, 59, 59)),
                                                  QLocale::ShortFormat)};
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column <= 3; ++column) {
        header->setSectionResizeMode(column, QHeaderView::Interactive);
        header->resizeSection(column, metrics.horizontalAdvance(samples[column - 1]) + margin);
    }
}

// The pieces of a dialog's first opening that cost most, each cached by Qt
// for the rest of the process once loaded. An icon is looked up in the
// desktop's icon theme, then in the style's own pictures, and read only when
// drawn: so each is drawn once at the size the dialog shows it.
void LoadStyleIcon(QStyle::StandardPixmap which) {
    QApplication::style()->standardIcon(which).pixmap(16);
}
void LoadListIcons() {
    QFileIconProvider icons;
    icons.icon(QFileIconProvider::Computer).pixmap(16);
    icons.icon(QFileIconProvider::Folder).pixmap(16);
    // Any audio file's name gives the icon and the type the list shows.
    const QFileInfo audio(QDir::home().filePath(QStringLiteral("a.mp3")));
    icons.icon(audio).pixmap(16);
    icons.type(audio);
}
void LoadListFont() {
    QFontMetrics(QApplication::font()).horizontalAdvance(QStringLiteral("track 01.mp3"));
}

using PrepareStep = void (*)();
const PrepareStep kPrepareSteps[] = {
    LoadListFont,
    [] { LoadStyleIcon(QStyle::SP_ArrowBack); },
    [] { LoadStyleIcon(QStyle::SP_ArrowForward); },
    [] { LoadStyleIcon(QStyle::SP_FileDialogToParent); },
    [] { LoadStyleIcon(QStyle::SP_FileDialogNewFolder); },
    [] { LoadStyleIcon(QStyle::SP_FileDialogListView); },
    [] { LoadStyleIcon(QStyle::SP_FileDialogDetailedView); },
    [] { LoadStyleIcon(QStyle::SP_DialogOpenButton); },
    [] { LoadStyleIcon(QStyle::SP_DialogCancelButton); },
    LoadListIcons,
    // The rest of what a dialog builds the first time: a dialog over the
    // folder the next one opens in, made and dropped unseen.
    [] {
        QFileDialog dialog(nullptr, QString(),
                           QFile::decodeName(gSettings.PreviousDir.Get().c_str()));
        PrepareFileDialog(&dialog);
    },
};
// GUI thread only.
bool g_preparing = false;
size_t g_prepared = 0;  // steps done

void PrepareNextStep() {
    if (g_prepared >= std::size(kPrepareSteps)) return;
    kPrepareSteps[g_prepared++]();
    if (g_prepared < std::size(kPrepareSteps))
        QTimer::singleShot(0, QCoreApplication::instance(), PrepareNextStep);
}

}  // namespace

void PrepareFileDialogInIdleTime() {
    if (g_preparing) return;
    g_preparing = true;
    QTimer::singleShot(0, QCoreApplication::instance(), PrepareNextStep);
}

bool FileDialogPrepared() {
    return g_prepared >= std::size(kPrepareSteps);
}

void PrepareFileDialog(QFileDialog* dialog) {
    // The desktop's own chooser may match the patterns by case; this one does not.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    // Wide enough that names, sizes and dates are not cut short.
    dialog->resize(dialog->sizeHint().expandedTo(QSize(760, 460)));
    if (auto* details = dialog->findChild<QTreeView*>(QStringLiteral("treeView")))
        FitDetailColumns(details);
}

int OpenFilesDialog(QWidget* owner, bool replace, int filter_set) {
    QFileDialog dialog(owner, QStringLiteral("Open a MP3 Or Playlist..."),
                       QFile::decodeName(gSettings.PreviousDir.Get().c_str()));
    PrepareFileDialog(&dialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters(FilterSet(filter_set));
    if (dialog.exec() != QDialog::Accepted) return 0;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return 0;
    return AddChosenFiles(files, replace);
}

int AddChosenFiles(const QStringList& files, bool replace) {
    if (files.isEmpty()) return 0;
    if (replace) ClearPlaylist();

    // The folder is kept for the next dialog. The root keeps its '/' even when
    // several files were chosen: an empty folder would open somewhere else.
    std::string folder = QFile::encodeName(QFileInfo(files.first()).absolutePath()).toStdString();
    if (files.size() == 1 && folder.back() != '/') folder += '/';
    gSettings.PreviousDir.Set(folder.c_str());  // a folder too long to store is not kept

    for (const QString& file : files) {
        QByteArray name = QFile::encodeName(file);
        if (!AddFileByName(name.constData())) ComplainAboutName(name.constData());
    }
    return static_cast<int>(files.size());
}

}  // namespace vek::app
