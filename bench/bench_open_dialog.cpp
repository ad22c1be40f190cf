// How soon the open-file dialog shows a folder of many files: from the call
// that opens it to its first paint, and to the moment its list holds every
// file, the first time in a process (when Qt loads what the dialog needs) and
// a second time. Each round runs in a new process of its own; medians shown,
// beside Qt's own dialog with its defaults over the same folder as the
// reference.
//
// Usage: bench_open_dialog [files [rounds]]
// Runs on Qt's offscreen platform unless QT_QPA_PLATFORM says otherwise.
#include <QAbstractItemView>
#include <QApplication>
#include <QFileDialog>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/open_files_dialog.h"
#include "bench/bench_support.h"
#include "settings/settings.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    size_t mid = v.size() / 2;
    return v.size() % 2 ? v[mid] : (v[mid - 1] + v[mid]) / 2.0;
}

// Watches the dialog that opens: its first paint, then its list filled.
class Watch : public QObject {
  public:
    Watch(int files, Clock::time_point start) : files_(files), start_(start) {
        qApp->installEventFilter(this);
        timer_.setInterval(1);
        connect(&timer_, &QTimer::timeout, this, [this] { Look(); });
        timer_.start();
    }
    ~Watch() override { qApp->removeEventFilter(this); }
    double shown_ms = -1, listed_ms = -1;

  protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (shown_ms < 0 && event->type() == QEvent::Paint && object->isWidgetType() &&
            qobject_cast<QFileDialog*>(static_cast<QWidget*>(object)->window()))
            shown_ms = MsSince(start_);
        return false;
    }

  private:
    void Look() {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || shown_ms < 0) return;
        for (auto* view : dialog->findChildren<QAbstractItemView*>()) {
            if (!view->isVisible() || !view->model()) continue;
            if (view->model()->rowCount(view->rootIndex()) >= files_) {
                listed_ms = MsSince(start_);
                timer_.stop();
                dialog->reject();
                return;
            }
        }
    }
    int files_;
    Clock::time_point start_;
    QTimer timer_;
};

// One process: the player's dialog (or Qt's plain one) opened twice.
int Child(const std::string& folder, int files, bool plain, int argc, char** argv) {
    QApplication app(argc, argv);
    vek::gSettings.PreviousDir.Set((folder + "/").c_str());
    if (!plain) {
        // As the player does once its window is up, before anyone can ask.
        vek::app::PrepareFileDialogInIdleTime();
        while (!vek::app::FileDialogPrepared()) QApplication::processEvents();
    }
    for (int time = 0; time < 2; ++time) {
        auto start = Clock::now();
        Watch watch(files, start);
        if (plain) {
            QFileDialog dialog(nullptr, QStringLiteral("Open"), QString::fromStdString(folder));
            dialog.setFileMode(QFileDialog::ExistingFiles);
            dialog.setOption(QFileDialog::DontUseNativeDialog);
            dialog.exec();
        } else {
            vek::app::OpenFilesDialog(nullptr, false, vek::app::kFilterAllSupported);
        }
        std::printf("%.2f %.2f\n", watch.shown_ms, watch.listed_ms);
    }
    return 0;
}

struct Figures {
    std::vector<double> shown[2], listed[2];
};

bool RunChild(const char* self, const std::string& folder, int files, bool plain, Figures* f) {
    std::string command = std::string(self) + " --child '" + folder + "' " + std::to_string(files) +
                          (plain ? " plain" : " vek") + " 2>/dev/null";
    FILE* p = popen(command.c_str(), "r");
    if (!p) return false;
    for (int time = 0; time < 2; ++time) {
        double shown = -1, listed = -1;
        if (std::fscanf(p, "%lf %lf", &shown, &listed) != 2 || shown < 0 || listed < 0) {
            pclose(p);
            return false;
        }
        f->shown[time].push_back(shown);
        f->listed[time].push_back(listed);
    }
    return pclose(p) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 5 && std::strcmp(argv[1], "--child") == 0)
        return Child(argv[2], std::atoi(argv[3]), std::strcmp(argv[4], "plain") == 0, argc, argv);
    int files = argc > 1 ? std::atoi(argv[1]) : 1000;
    int rounds = argc > 2 ? std::atoi(argv[2]) : 7;
    if (files < 1 || rounds < 1) {
        std::fprintf(stderr, "usage: %s [files [rounds]]\n", argv[0]);
        return 2;
    }
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    vek::bench::ScratchDir dir;
    std::string clip = vek::bench::DefaultClip();
    std::ifstream in(clip, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (int i = 0; i < files; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "track %04d.mp3", i);
        std::ofstream(dir.File(name), std::ios::binary) << bytes;
    }
    // The settings of the child stay out of the user's.
    setenv("VEK_CONFIG_DIR", dir.File("").c_str(), 1);

    Figures vek, plain;
    for (int round = 0; round < rounds; ++round) {
        // Interleaved, each one first in turn.
        for (int k = 0; k < 2; ++k) {
            bool is_plain = (k + round) % 2 == 1;
            if (!RunChild(argv[0], dir.File("").substr(0, dir.File("").size() - 1), files, is_plain,
                          is_plain ? &plain : &vek)) {
                std::fprintf(stderr, "the %s dialog run failed\n", is_plain ? "plain" : "player's");
                return 1;
            }
        }
    }
    std::printf("%d files, platform %s, medians of %d processes (ms from the call):\n", files,
                std::getenv("QT_QPA_PLATFORM"), rounds);
    std::printf("  %-22s %12s %12s %12s %12s\n", "", "1st shown", "1st listed", "2nd shown",
                "2nd listed");
    for (auto [name, f] : {std::pair<const char*, Figures*>{"player's dialog", &vek},
                           {"Qt's plain dialog", &plain}}) {
        std::printf("  %-22s %12.1f %12.1f %12.1f %12.1f\n", name, Median(f->shown[0]),
                    Median(f->listed[0]), Median(f->shown[1]), Median(f->listed[1]));
    }
    double first = Median(vek.shown[0]);
    std::printf("target: shown within 150 ms, also the first time: %s\n",
                first <= 150 ? "met" : "missed");
    return 0;
}
