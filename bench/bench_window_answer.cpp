// How soon the running player's GUI thread answers, measured from outside
// while a person or a script uses the window: records of a kind the player
// ignores go over the hand-over socket, and each one is answered only after
// the GUI thread has handled it. A GUI thread held by a loop or a sleep shows
// as a late answer.
//
// Usage: bench_window_answer [seconds [interval-ms]]
// Run it with the player's DISPLAY and XDG_RUNTIME_DIR (see bench/README.md).
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/single_instance.h"
#include "platform/worker_thread.h"

namespace {

// A record kind outside the hand-over's table: the player answers it and does
// nothing else.
constexpr uint32_t kIgnoredKind = 99;

double NowMs() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? std::atof(argv[1]) : 10;
    int interval_ms = argc > 2 ? std::atoi(argv[2]) : 5;
    if (seconds <= 0 || interval_ms < 1) {
        std::fprintf(stderr, "usage: %s [seconds [interval-ms]]\n", argv[0]);
        return 2;
    }
    int connection = vek::ConnectToRunningPlayer();
    if (connection < 0) {
        std::fprintf(stderr, "no running player answers on %s\n",
                     vek::HandOverSocketPath().c_str());
        return 1;
    }
    std::vector<double> answers;
    double start = NowMs();
    while (NowMs() - start < seconds * 1000) {
        double sent = NowMs();
        if (!vek::SendHandOverRecord(connection, kIgnoredKind, 0, nullptr)) {
            std::fprintf(stderr, "the player stopped answering\n");
            break;
        }
        double took = NowMs() - sent;
        answers.push_back(took);
        if (took > 20) std::printf("  at %6.0f ms: answered after %.1f ms\n", sent - start, took);
        vek::SleepMs(interval_ms);
    }
    vek::CloseHandOverConnection(connection);
    if (answers.empty()) return 1;
    std::sort(answers.begin(), answers.end());
    std::printf("%zu answers: median %.2f ms, 99th %.2f ms, max %.2f ms\n", answers.size(),
                answers[answers.size() / 2], answers[answers.size() * 99 / 100], answers.back());
    return 0;
}
