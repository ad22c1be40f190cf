#include "app/qt_desktop.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QThread>
#include <QUrl>
#include <atomic>
#include <cstring>

#include "platform/desktop_hooks.h"
#include "platform/messages.h"
#include "platform/thread_queue.h"

namespace vek::app {
namespace {

// The one message of the runner window: lparam points to the function to run.
constexpr uint32_t kRunFunction = 0xA100;

QObject* g_pump_target = nullptr;  // lives on the GUI thread
std::atomic<bool> g_pump_scheduled{false};
QPointer<QWidget> g_main_widget;
Window g_runner;  // never shown: it only takes RunOnGuiThread's requests

intptr_t RunnerProc(Window*, uint32_t message, uintptr_t, intptr_t lparam) {
    if (message == kRunFunction) (*reinterpret_cast<const std::function<void()>*>(lparam))();
    return 0;
}

// Handles everything queued for the GUI thread: sends are answered, window
// messages dispatched; its quit message ends the event loop.
void Pump() {
    g_pump_scheduled.store(false);
    Message m;
    while (PumpMessages(&m)) {
        if (m.message == WM_QUIT) QCoreApplication::exit(static_cast<int>(m.wparam));
    }
}

// Called by whichever thread queued something for the GUI thread.
void Wake(void*) {
    if (g_pump_scheduled.exchange(true)) return;
    QMetaObject::invokeMethod(g_pump_target, &Pump, Qt::QueuedConnection);
}

bool OnWayland() {
    return QGuiApplication::platformName() == QLatin1String("wayland");
}

bool OnGuiThread() {
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

// Boxes owned by the main window sit over whatever dialog is in front of it.
QWidget* OwnerWidget(Window* owner) {
    if (!owner) return nullptr;
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return g_main_widget.data();
}

int QtMessageBox(Window* owner, const char* text, const char* caption, unsigned style) {
    int answer = IDOK;
    RunOnGuiThread([&] {
        QMessageBox box(OwnerWidget(owner));
        box.setWindowTitle(QString::fromLocal8Bit(caption));
        box.setText(QString::fromLocal8Bit(text));
        if ((style & 0xF0) == MB_ICONERROR) box.setIcon(QMessageBox::Critical);
        if ((style & 0xF0) == MB_ICONWARNING) box.setIcon(QMessageBox::Warning);
        bool yes_no = (style & MB_TYPEMASK) == MB_YESNO;
        box.setStandardButtons(yes_no ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok);
        if (style & MB_TOPMOST) box.setWindowFlag(Qt::WindowStaysOnTopHint);
        int chosen = box.exec();
        answer = chosen == QMessageBox::Yes ? IDYES : chosen == QMessageBox::No ? IDNO : IDOK;
    });
    return answer;
}

bool QtChooseSaveFile(Window* owner, const char* filter_name, const char* pattern,
                      const char* title, const char* default_extension, char* out,
                      size_t out_size) {
    bool chosen = false;
    RunOnGuiThread([&] {
        QFileDialog dialog(OwnerWidget(owner), QString::fromLocal8Bit(title));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilter(QStringLiteral("%1 (%2)").arg(QString::fromLocal8Bit(filter_name),
                                                           QString::fromLocal8Bit(pattern)));
        dialog.setDefaultSuffix(QString::fromLocal8Bit(default_extension));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
        QByteArray name = QFile::encodeName(dialog.selectedFiles().first());
        // A name that does not fit is refused, never cut.
        if (static_cast<size_t>(name.size()) + 1 > out_size) return;
        std::memcpy(out, name.constData(), static_cast<size_t>(name.size()) + 1);
        chosen = true;
    });
    return chosen;
}

}  // namespace

void InstallQtDesktop() {
    g_pump_target = new QObject(QCoreApplication::instance());
    CreateThreadQueue();
    InitWindow(&g_runner, RunnerProc, nullptr);
    SetThreadQueueWake(Wake, nullptr);
    SetDesktopHooks(DesktopHooks{QtMessageBox, QtChooseSaveFile});
}

void RemoveQtDesktop() {
    SetDesktopHooks(HeadlessDesktopHooks());
    ForgetWindow(&g_runner);
    SetThreadQueueWake(nullptr, nullptr);  // its target goes with the application
}

void SetMainWidget(QWidget* widget) {
    g_main_widget = widget;
}

QByteArray NameOfUrl(const QUrl& url) {
    return url.isLocalFile() ? QFile::encodeName(url.toLocalFile()) : url.toEncoded();
}

std::vector<QByteArray> DroppedNames(const QMimeData& data) {
    std::vector<QByteArray> names;
    for (const QUrl& url : data.urls()) names.push_back(NameOfUrl(url));
    return names;
}

void RunOnGuiThread(const std::function<void()>& fn) {
    if (OnGuiThread()) {
        fn();
        return;
    }
    SendWindowMessage(&g_runner, kRunFunction, 0, reinterpret_cast<intptr_t>(&fn));
}

bool WindowPositionsKnown() {
    return !OnWayland();
}

bool WindowMasksCut() {
    return !OnWayland();
}

bool WindowMinimisingTold() {
    return !OnWayland();
}

}  // namespace vek::app
