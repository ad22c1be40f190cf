// A library list of 100,000 entries in the playlist editor: loaded with Load
// List from the open dialog and shown, against the reference of a list box
// filled line by line from the same playlist, each in a process of its own so
// that their memory is measured apart. Then the cost of scrolling through
// each, one repaint per step.
//
// With --tags, the entries name real tagged files and the editor names them
// by their tags: how long the tags take to fill in, and the longest the GUI
// thread went without turning its loop meanwhile.
//
// Usage: bench_playlist_editor [entries [--tags]]
// Runs on Qt's offscreen platform unless QT_QPA_PLATFORM says otherwise.
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "app/entry_title.h"
#include "app/playlist_editor.h"
#include "app/playlist_model.h"
#include "app/qt_desktop.h"
#include "bench/bench_support.h"
#include "playlist/playlist.h"
#include "playlist/playtime.h"
#include "settings/settings.h"
#include "tests/support/tagged_file.h"
#include "tests/support/test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Resident and peak resident memory of this process, in kB.
long StatusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    size_t length = std::strlen(field);
    while (std::getline(status, line))
        if (line.compare(0, length, field) == 0) return std::atol(line.c_str() + length + 1);
    return -1;
}

struct Figures {
    double load_ms = 0;    // from the user's choice to the painted lines
    double reopen_ms = 0;  // editor closed and opened again over the loaded list
    long extra_kb = 0;     // resident memory added by the load
    long peak_extra_kb = 0;
    double scroll_mean_ms = 0, scroll_max_ms = 0;
    int rows = 0;
    double fill_ms = 0;     // from the painted list to every entry's tags read
    double longest_ms = 0;  // the GUI thread's longest time away from its loop
};

// Draws what the view shows now, as a paint of the window would.
void Paint(QAbstractItemView* view) {
    QApplication::processEvents();  // layouts that wait for the event loop
    view->viewport()->grab();
}

// One paint per step from the top of the list to its end.
void Scroll(QAbstractItemView* view, Figures* f) {
    constexpr int kSteps = 200;
    QScrollBar* bar = view->verticalScrollBar();
    double total = 0;
    for (int step = 0; step < kSteps; ++step) {
        auto start = Clock::now();
        bar->setValue(
            static_cast<int>(static_cast<long long>(bar->maximum()) * step / (kSteps - 1)));
        Paint(view);
        double ms = MsSince(start);
        total += ms;
        f->scroll_max_ms = std::max(f->scroll_max_ms, ms);
    }
    f->scroll_mean_ms = total / kSteps;
}

// The editor as the user drives it: Load List, the list chosen in the dialog.
Figures RunEditor(const QString& list) {
    Figures f;
    vek::app::ShowPlaylistEditor();
    QWidget* editor = vek::app::PlaylistEditorWindow();
    auto* view = editor->findChild<QListView*>(QStringLiteral("list"));
    QApplication::processEvents();
    long rss = StatusKb("VmRSS"), peak = StatusKb("VmHWM");

    Clock::time_point chosen;
    QTimer::singleShot(50, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(list);
        chosen = Clock::now();
        static_cast<QDialog*>(dialog)->accept();
    });
    editor->findChild<QPushButton*>(QStringLiteral("load"))->click();
    Paint(view);
    f.load_ms = MsSince(chosen);
    f.rows = view->model()->rowCount();
    f.extra_kb = StatusKb("VmRSS") - rss;
    f.peak_extra_kb = StatusKb("VmHWM") - peak;
    Scroll(view, &f);

    vek::app::ClosePlaylistEditor();
    auto start = Clock::now();
    vek::app::ShowPlaylistEditor();
    editor = vek::app::PlaylistEditorWindow();
    Paint(editor->findChild<QListView*>(QStringLiteral("list")));
    f.reopen_ms = MsSince(start);
    return f;
}

// Tags on: the list is added as a drop adds it, then the lines fill in while a
// 5 ms timer notes each turn of the GUI thread's loop.
Figures RunTagFill(const QByteArray& list) {
    Figures f;
    vek::gSettings.ShowTagTitles = 1;
    vek::app::ShowPlaylistEditor();
    auto* view = vek::app::PlaylistEditorWindow()->findChild<QListView*>(QStringLiteral("list"));
    QApplication::processEvents();
    long rss = StatusKb("VmRSS"), peak = StatusKb("VmHWM");
    auto start = Clock::now();
    vek::AddFileByName(list.constData());
    vek::app::ShowPlaylistChanges();
    Paint(view);
    f.load_ms = MsSince(start);
    f.rows = view->model()->rowCount();
    auto shown = Clock::now(), last = Clock::now();
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        f.longest_ms = std::max(f.longest_ms, MsSince(last));
        last = Clock::now();
        if (vek::SumPlaytime().complete) QApplication::exit();
    });
    probe.start(5);
    QApplication::exec();
    f.fill_ms = MsSince(shown);
    f.extra_kb = StatusKb("VmRSS") - rss;
    f.peak_extra_kb = StatusKb("VmHWM") - peak;
    Scroll(view, &f);
    return f;
}

// The reference: a list box holding one line per entry, filled line by line.
Figures RunListBox(const QByteArray& list) {
    Figures f;
    QListWidget box;
    box.resize(228, 202);
    box.show();
    QApplication::processEvents();
    long rss = StatusKb("VmRSS"), peak = StatusKb("VmHWM");

    auto start = Clock::now();
    vek::ClearPlaylist();
    vek::AddFileByName(list.constData());
    box.clear();
    for (vek::PlaylistEntry* e = vek::gPlaylist.first; e; e = e->next)
        box.addItem(vek::app::EntryDisplayTitle(*e));
    Paint(&box);
    f.load_ms = MsSince(start);
    f.rows = box.count();
    f.extra_kb = StatusKb("VmRSS") - rss;
    f.peak_extra_kb = StatusKb("VmHWM") - peak;
    Scroll(&box, &f);
    f.reopen_ms = -1;
    return f;
}

int RunVariant(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    vek::app::InstallQtDesktop();
    std::string variant = argv[2];
    Figures f = variant == "editor" ? RunEditor(QString::fromLocal8Bit(argv[3]))
                : variant == "tags" ? RunTagFill(QByteArray(argv[3]))
                                    : RunListBox(QByteArray(argv[3]));
    std::printf("%d %.1f %.1f %ld %ld %.2f %.2f %.1f %.1f\n", f.rows, f.load_ms, f.reopen_ms,
                f.extra_kb, f.peak_extra_kb, f.scroll_mean_ms, f.scroll_max_ms, f.fill_ms,
                f.longest_ms);
    vek::app::ClosePlaylistEditor();
    vek::ClearPlaylist();
    vek::app::RemoveQtDesktop();
    return 0;
}

bool WriteList(const std::string& path, int entries) {
    FILE* out = std::fopen(path.c_str(), "w");
    if (!out) return false;
    std::fprintf(out, "#EXTM3U\n");
    for (int i = 0; i < entries; ++i) {
        std::fprintf(out, "#EXTINF:%d,Artist %03d - Title %06d\n", 120 + i % 300, i / 1000, i);
        std::fprintf(out, "Music/Artist %03d/Album %02d/%02d - Title %06d.mp3\n", i / 1000,
                     i / 100 % 10, i % 100, i);
    }
    return std::fclose(out) == 0;
}

// The entries go round a hundred tagged copies of the test clip.
bool WriteTaggedList(const vek::bench::ScratchDir& dir, int entries) {
    const std::string clip = vek::test::DataPath("made/mpeg1_l3_cbr128_44k.mp3");
    constexpr int kFiles = 100;
    for (int i = 0; i < kFiles; ++i) {
        std::string n = std::to_string(i);
        vek::test::TagWriting tags{.title = "Title " + n, .artists = {"Artist " + n}};
        if (!vek::test::WriteTaggedCopy(clip, dir.File(n + ".mp3"), {tags})) return false;
    }
    std::string text;
    for (int i = 0; i < entries; ++i) text += dir.File(std::to_string(i % kFiles) + ".mp3\n");
    return vek::test::WriteFileText(dir.File("library.m3u"), text);
}

bool RunChild(const char* self, const char* variant, const std::string& list,
              const std::string& config, Figures* f) {
    std::string command =
        "VEK_CONFIG_DIR='" + config + "' '" + self + "' --variant " + variant + " '" + list + "'";
    FILE* child = popen(command.c_str(), "r");
    if (!child) return false;
    char line[256] = {};
    bool read = false;
    // The last line is the figures; Qt may say things before it.
    while (std::fgets(line, sizeof line, child))
        read = std::sscanf(line, "%d %lf %lf %ld %ld %lf %lf %lf %lf", &f->rows, &f->load_ms,
                           &f->reopen_ms, &f->extra_kb, &f->peak_extra_kb, &f->scroll_mean_ms,
                           &f->scroll_max_ms, &f->fill_ms, &f->longest_ms) == 9;
    return pclose(child) == 0 && read;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--variant") == 0) return RunVariant(argc, argv);
    int entries = argc > 1 ? std::atoi(argv[1]) : 100000;
    bool tags = argc > 2 && std::strcmp(argv[2], "--tags") == 0;
    vek::bench::ScratchDir dir;
    std::string list = dir.File("library.m3u");
    if (entries < 1 || !dir.ok() ||
        !(tags ? WriteTaggedList(dir, entries) : WriteList(list, entries))) {
        std::fprintf(stderr, "usage: %s [entries [--tags]]\n", argv[0]);
        return 2;
    }
    if (tags) {
        Figures f;
        if (!RunChild(argv[0], "tags", list, dir.File("config"), &f)) return 1;
        std::printf("%d entries naming 100 tagged files, tag titles on\n", entries);
        std::printf(
            "shown %.0f ms, tags filled in %.0f ms, GUI thread away from its loop at most "
            "%.1f ms, extra RSS %.1f MB, scroll step %.2f/%.2f ms\n",
            f.load_ms, f.fill_ms, f.longest_ms, f.extra_kb / 1024.0, f.scroll_mean_ms,
            f.scroll_max_ms);
        bool met = f.load_ms < 1000 && f.longest_ms < 250 && f.rows == entries;
        std::printf("target shown under 1 s, never 250 ms away: %s\n", met ? "met" : "missed");
        return met ? 0 : 1;
    }
    Figures editor, box;
    if (!RunChild(argv[0], "editor", list, dir.File("config"), &editor) ||
        !RunChild(argv[0], "listbox", list, dir.File("config"), &box)) {
        std::fprintf(stderr, "a variant failed\n");
        return 1;
    }
    std::printf("%d entries in one .m3u\n\n", entries);
    std::printf("%-30s %10s %10s %12s %12s %14s\n", "", "load+show", "reopen", "extra RSS",
                "extra peak", "scroll step");
    auto row = [](const char* name, const Figures& f) {
        std::printf("%-30s %7.0f ms %7.0f ms %9.1f MB %9.1f MB %5.2f/%5.2f ms  (%d lines)\n", name,
                    f.load_ms, f.reopen_ms, f.extra_kb / 1024.0, f.peak_extra_kb / 1024.0,
                    f.scroll_mean_ms, f.scroll_max_ms, f.rows);
    };
    row("editor (model over the list)", editor);
    row("list box filled line by line", box);
    bool met = editor.load_ms < 1000 && editor.extra_kb < 60 * 1024 && editor.rows == entries;
    std::printf("\ntarget under 1 s and under 60 MB extra: %s\n", met ? "met" : "missed");
    return met ? 0 : 1;
}
