#include "app/startup.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/display_probe.h"
#include "app/main_window.h"
#include "app/mpris.h"
#include "app/open_files_dialog.h"
#include "app/qt_desktop.h"
#include "app/time_display.h"
#include "engine/decoder_thread.h"
#include "output/outputs.h"
#include "platform/desktop_hooks.h"
#include "platform/limits.h"
#include "platform/single_instance.h"
#include "platform/thread_queue.h"
#include "platform/url_name.h"
#include "playlist/playlist.h"
#include "settings/settings.h"

namespace vek::app {
namespace {

int g_signal_pipe[2] = {-1, -1};

void OnSignal(int) {
    // A playlist being read on the GUI thread stops at its next entry, so the
    // close below is not held up by it.
    SetPlaylistLoadingStopped(true);
    char byte = 1;
    (void)!write(g_signal_pipe[1], &byte, 1);
}

// A dialog in front may be answering another thread (the decoder's error box,
// the save chooser); closing under it would leave that thread waiting. So the
// dialogs are closed first and the window once none is left.
void CloseWhenNoDialogIsOpen(MainWindow* window) {
    if (QWidget* dialog = QApplication::activeModalWidget()) {
        dialog->close();
        QTimer::singleShot(50, window, [window] { CloseWhenNoDialogIsOpen(window); });
        return;
    }
    window->close();
}

// SIGTERM and SIGINT close the main window the normal way, so the settings are
// saved as at any close.
void CloseOnSignals(MainWindow* window) {
    if (pipe2(g_signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(g_signal_pipe[0], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
        char buffer[16];
        while (read(g_signal_pipe[0], buffer, sizeof buffer) > 0) {
        }
        CloseWhenNoDialogIsOpen(window);
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

// Hands the names to the running player: clear, add each, play the first. The
// player answers each record before the next is sent. False when it did not
// answer in time or went away.
bool HandOver(int connection, int argc, char** argv) {
    if (argc < 2) return true;  // nothing to hand over: the running player stays as it is
    if (!SendHandOverRecord(connection, CDS_CLEAR, 0, nullptr)) return false;
    // The running player has a working directory of its own: names relative to
    // ours go over with our directory in front.
    char cwd[kPathField];
    bool have_cwd = getcwd(cwd, sizeof cwd) != nullptr;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-') continue;
        std::string name = argv[i];
        if (name[0] != '/' && !IsUrl(name.c_str()) && have_cwd)
            name = std::string(cwd) + (cwd[std::strlen(cwd) - 1] == '/' ? "" : "/") + name;
        // A name too long for a path field is refused by the player, which
        // shows its beginning: a field's worth tells it so, and a longer name
        // would not fit a record.
        size_t size = std::min(name.size(), kPathField);
        if (!SendHandOverRecord(connection, CDS_ADD, static_cast<uint32_t>(size), name.c_str()))
            return false;
    }
    return SendHandOverRecord(connection, CDS_PLAY_FIRST, 0, nullptr);
}

// Picks Qt's platform for the display that can be opened: Qt ends the process
// when its platform cannot connect, so a start without one is caught here. A
// Wayland desktop is taken natively (XWayland only without Qt's plugin for
// it); a platform the user chose is left alone.
bool ChooseDisplayPlatform() {
    DisplayProbe probe = ProbeDisplayFromEnvironment();
    switch (probe.kind) {
        case DisplayKind::X11:
            setenv("QT_QPA_PLATFORM", "xcb", 1);
            return true;
        case DisplayKind::Wayland:
            setenv("QT_QPA_PLATFORM", "wayland", 1);
            return true;
        case DisplayKind::Chosen:
            return true;
        case DisplayKind::None:
            break;
    }
    std::fprintf(stderr, "vek: cannot open the window: %s; vekplay plays without one\n",
                 probe.why.c_str());
    return false;
}

}  // namespace

int RunPlayer(int argc, char** argv) {
    LoadSettings();
    ClearPlaylist();

    int running = ConnectToRunningPlayer();
    if (running >= 0 && gSettings.MultipleInstances == 0) {
        bool handed = HandOver(running, argc, argv);
        CloseHandOverConnection(running);
        if (handed) return 0;
        std::fprintf(stderr,
                     "vek: the running player did not answer; not every name was handed over\n");
        return 1;
    }
    CloseHandOverConnection(running);

    // Without a display the window cannot be created: the player ends with the
    // reason in one line instead of a box no one sees, and a status that tells
    // a script it did not run.
    if (!ChooseDisplayPlatform()) return 1;
    // With shared memory, every copy of the window's pixels to an X server
    // first waits for the server to finish the one before: a round trip that
    // wakes two of our threads at each blink of the time display. The window
    // is small; its pixels go over the connection as cheaply.
    setenv("QT_XCB_NO_MITSHM", "1", 0);
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    InstallQtDesktop();

    // Names from the command line; those that begin with '-' are not names.
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '-') AddNameOrComplain(argv[i]);
    }

    auto* window = new MainWindow;
    if (!window->Create()) {
        delete window;
        ShowMessageBox(nullptr, "Could Not Open Main Window (Memory?)", "VEK Error Message...",
                       MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
        return 1;
    }
    window->show();
    PrepareFileDialogInIdleTime();
    CloseOnSignals(window);
    // The desktop's media controls, where there is a session bus to reach them.
    StartMpris(window, QDBusConnection::sessionBus());
    int code = QApplication::exec();
    StopMpris();
    if (DecoderThreadGivenUp() || TimeDisplayGivenUp()) {
        // The settings are saved; a thread given up may still be inside a
        // library call, so leave without tearing down what it could touch.
        std::fflush(nullptr);
        _exit(code);
    }
    delete window;
    ShutdownSoundDevice();
    RemoveQtDesktop();
    return code;
}

}  // namespace vek::app
