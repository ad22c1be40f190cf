#include "app/time_display.h"

#include <chrono>
#include <memory>
#include <utility>

#include "app/skin.h"
#include "app/skin/drawing.h"
#include "platform/desktop_hooks.h"
#include "platform/messages.h"
#include "platform/thread_queue.h"
#include "platform/worker_thread.h"

namespace vek::app {
namespace {

constexpr int kDefaultStopBoundMs = 3000;
constexpr size_t kStackBytes = 16384;
constexpr auto kTick = std::chrono::milliseconds(250);
// The thread's own message: wparam 1 starts its clock, 0 stops it.
constexpr uint32_t kSetTicking = WM_PAINT + 0x100;

// What one thread draws with; it holds its own reference, so a thread given
// up at its stop bound never draws into freed memory.
struct TimeDisplay {
    std::shared_ptr<DisplayHandoff> handoff = std::make_shared<DisplayHandoff>();
    TimeSource source{};
    TimeBitmaps bitmaps;
    QImage back;  // the field is drawn here whole, then handed over at once
    bool bright = true;
};

// GUI thread only.
struct Module {
    WorkerThread worker;
    std::shared_ptr<TimeDisplay> display;
    int stop_bound_ms = kDefaultStopBoundMs;
    bool given_up = false;
};
Module g;

TimeSign SignOf(PlayState state) {
    switch (state) {
        case PlayState::Playing:
            return TimeSign::Playing;
        case PlayState::Paused:
            return TimeSign::Paused;
        case PlayState::Stopped:
            break;
    }
    return TimeSign::Stopped;
}

void Redraw(TimeDisplay* d) {
    DrawTimeField(&d->back, d->bitmaps, d->source.seconds(), SignOf(d->source.play_state()),
                  d->bright);
    d->bright = !d->bright;
    HandOver(d->handoff, d->back, false);
}

int TimeDisplayMain(void* arg) {
    auto* start = static_cast<std::shared_ptr<TimeDisplay>*>(arg);
    std::shared_ptr<TimeDisplay> display = std::move(*start);
    delete start;
    using Clock = std::chrono::steady_clock;
    bool ticking = false;
    Clock::time_point next_tick;
    for (;;) {
        Message m;
        WaitResult got = ticking ? GetMessageUntil(&m, next_tick)
                                 : (GetMessage(&m) ? WaitResult::Message : WaitResult::Quit);
        if (got == WaitResult::Quit) return 0;
        if (got == WaitResult::TimedOut) {
            Redraw(display.get());
            // Ticks missed while the machine was busy are not made up.
            next_tick += kTick;
            if (next_tick < Clock::now()) next_tick = Clock::now() + kTick;
        } else if (m.message == WM_PAINT) {
            Redraw(display.get());
        } else if (m.message == kSetTicking) {
            ticking = m.wparam != 0;
            next_tick = Clock::now() + kTick;
        }
    }
}

}  // namespace

bool StartTimeDisplay(QRect field, TimeSource source, QObject* receiver, ShowPictureFn show) {
    if (g.worker) return false;
    auto display = std::make_shared<TimeDisplay>();
    display->source = source;
    display->bitmaps = {LoadSkinImage("bitmap_102.png"), LoadSkinImage("bitmap_118.png"),
                        LoadSkinImage("bitmap_135.png")};
    if (display->bitmaps.face.isNull() || display->bitmaps.digits.isNull() ||
        display->bitmaps.signs.isNull())
        return false;
    display->back = QImage(field.size(), QImage::Format_RGB32);
    AttachHandoff(display->handoff.get(), receiver, std::move(show));

    auto* start = new std::shared_ptr<TimeDisplay>(display);
    g.worker = StartWorkerThread(TimeDisplayMain, start, kStackBytes, "vek-time");
    if (!g.worker) {
        delete start;
        DetachHandoff(display->handoff.get(), false);
        return false;
    }
    g.display = std::move(display);
    g.given_up = false;
    return true;
}

void RequestTimeRedraw() {
    if (g.worker) PostThreadMessage(g.worker.id, WM_PAINT, 0, 0);
}

void SetTimeDisplayTicking(bool on) {
    if (g.worker) PostThreadMessage(g.worker.id, kSetTicking, on ? 1 : 0, 0);
}

bool StopTimeDisplay() {
    if (!g.worker) return true;
    DetachHandoff(g.display->handoff.get(), false);
    PostThreadMessage(g.worker.id, WM_QUIT, 0, 0);
    bool ended = JoinWorkerThread(&g.worker, g.stop_bound_ms, nullptr);
    g.display.reset();
    g.given_up = !ended;
    if (!ended)
        ShowMessageBox(vek::MainWindow(), "Had To TerminateThread()...", "VEK Error Message...",
                       MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
    return ended;
}

void SetTimeDisplayStopBound(int milliseconds) {
    g.stop_bound_ms = milliseconds;
}

bool TimeDisplayGivenUp() {
    return g.given_up;
}

}  // namespace vek::app
