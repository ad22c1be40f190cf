#include "app/file_types.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <string>
#include <vector>

#include "platform/desktop_hooks.h"
#include "platform/user_dirs.h"

namespace vek::app {
namespace {

constexpr const char* kDesktopEntryResource = ":/desktop/vek.desktop";

std::string ResourceBytes(const QString& name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace

std::string BuiltInDesktopEntry() {
    return ResourceBytes(QString::fromLatin1(kDesktopEntryResource));
}

FileTypeAssets BuiltInFileTypeAssets() {
    FileTypeAssets assets;
    assets.desktop_entry = BuiltInDesktopEntry();
    assets.desktop_file_name =
        QFileInfo(QString::fromLatin1(kDesktopEntryResource)).fileName().toStdString();
    const struct {
        FileIconRole role;
        const char* stem;
    } icons[] = {{FileIconRole::kProgram, "icon_101"},
                 {FileIconRole::kAudioFile, "icon_audio_file"},
                 {FileIconRole::kPlaylistFile, "icon_playlist_file"}};
    for (const auto& icon : icons) {
        for (int size : {16, 32, 64}) {
            QString name = QStringLiteral(":/skin/%1%2.png")
                               .arg(QString::fromLatin1(icon.stem),
                                    size == 64 ? QString() : QStringLiteral("_%1").arg(size));
            std::string png = ResourceBytes(name);
            if (!png.empty()) assets.icons.push_back(FileTypeIcon{icon.role, size, png});
        }
    }
    return assets;
}

void RegisterFileTypes() {
    bool made_default = WriteFileTypes(BuiltInFileTypeAssets(), ExecutablePath());
    // The caches follow within moments; the player does not wait for them.
    for (const std::vector<std::string>& command : FileTypeCacheCommands()) {
        QStringList arguments;
        for (size_t i = 1; i < command.size(); ++i)
            arguments << QFile::decodeName(command[i].c_str());
        QProcess::startDetached(QFile::decodeName(command[0].c_str()), arguments);
    }
    if (!made_default) {
        ShowMessageBox(MainWindow(),
                       "Your list of default applications (mimeapps.list) could not be read or "
                       "is larger than 1 MiB, so it was left as it is: Vek is not the default "
                       "player of its file types.",
                       "FileType Registration...", MB_ICONWARNING);
        return;
    }
    ShowMessageBox(MainWindow(),
                   "Filetypes are now registered,\nYou may start a supported file by double "
                   "clicking.\nIcons may not be updated untill windows is restarted",
                   "FileType Registration...", MB_OK);
}

}  // namespace vek::app
