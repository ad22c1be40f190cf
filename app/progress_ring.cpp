#include "app/progress_ring.h"

#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <memory>
#include <utility>

#include "app/skin.h"
#include "app/skin/drawing.h"
#include "app/skin/geometry.h"
#include "platform/messages.h"
#include "platform/priority.h"
#include "platform/thread_queue.h"
#include "platform/worker_thread.h"

namespace vek::app {
namespace {

// The thread's own message: a new window takes the ring over (wparam: the
// attachment's ticket, lparam unused).
constexpr uint32_t kRingAttach = RTM_REDRAW + 1;
constexpr size_t kStackBytes = 16384;
constexpr int kRetryMs = 10;
constexpr int kPercentStep = 6;
constexpr int kDegreesPerBar = 15;
constexpr int kNoBar = -1;
constexpr int kNormalPriority = 2;

// Shared by the GUI thread and the ring thread for the rest of the process.
// Never destroyed: the thread still runs while the process's statics go.
struct Shared {
    std::shared_ptr<DisplayHandoff> handoff = std::make_shared<DisplayHandoff>();
    RingBitmaps bitmaps;  // written before the thread starts, read-only after
    WorkerThread worker;  // GUI thread only
};
Shared* g_shared = nullptr;  // made by the first start (GUI thread)
std::atomic<bool> g_minimised{false};

// GUI thread only: a percent whose post failed, tried again from a timer.
bool g_retry_scheduled = false;
int g_retry_percent = 0;

// The ring thread's own state.
struct Ring {
    int target = 0;
    int shown = 0;
    int bar = kNoBar;  // the bar last drawn during a sweep
    int rested = -1;   // the angle of the last rest drawing shown, -1 after a sweep step
    QImage box;
};

// Hands the box to the window once the one before has been taken, so every
// step reaches the screen. False when no window takes boxes any more: what was
// being drawn is given up.
bool Show(Shared* shared, const Ring& ring) {
    return HandOver(shared->handoff, ring.box, true);
}

// The ring at rest at its target, whole bars only; nothing while the window
// is minimised. Unless asked to redraw, a rest the window already shows is
// not drawn again: most new percents leave the bars as they are.
bool DrawAtRest(Shared* shared, Ring* ring, bool redraw) {
    if (g_minimised.load()) return true;
    int angle = RingRestAngle(ring->target);
    if (!redraw && angle == ring->rested) return true;
    DrawRingAtRest(&ring->box, shared->bitmaps, angle);
    ring->rested = angle;
    return Show(shared, *ring);
}

// Sweeps from the shown percent towards the target in steps of 6, lighting
// (or, going down, dimming) whenever the angle reaches another bar. A new
// percent waiting in the queue turns the sweep towards it at once; anything
// else waiting is dropped.
bool Sweep(Shared* shared, Ring* ring) {
    for (;;) {
        if (g_minimised.load()) return true;
        int direction = ring->shown < ring->target ? 1 : ring->shown > ring->target ? -1 : 0;
        if (direction == 0) return true;
        bool redirected = false;
        while (direction > 0 ? ring->shown <= ring->target : ring->shown >= ring->target) {
            Message waiting;
            if (PeekMessage(&waiting) && waiting.message == RTM_SET_PERCENT) {
                ring->target = static_cast<int>(waiting.lparam);
                redirected = true;
                break;
            }
            int angle = RingAngle(ring->shown);
            if (angle / kDegreesPerBar != ring->bar) {
                if (direction < 0) DimRingFrom(&ring->box, shared->bitmaps, angle);
                LightRing(&ring->box, shared->bitmaps, angle);
                ring->bar = angle / kDegreesPerBar;
                ring->rested = -1;
                if (!Show(shared, *ring)) return false;
            }
            ring->shown += direction * kPercentStep;
        }
        if (!redirected) return true;
    }
}

void SetPercent(Shared* shared, Ring* ring, int percent) {
    if (percent == ring->target) {
        DrawAtRest(shared, ring, false);
        return;
    }
    ring->target = percent;
    if (!Sweep(shared, ring)) return;
    ring->shown = ring->target;
    DrawAtRest(shared, ring, false);
}

// A new window: a dark ring at 0, drawn for it from now on, unless it has
// gone again before this message was taken.
void Attach(Shared* shared, Ring* ring, unsigned ticket) {
    *ring = Ring{};
    ring->box = shared->bitmaps.unlit.copy();
    CompleteAttachment(shared->handoff.get(), ticket);
}

int RingMain(void* arg) {
    auto* shared = static_cast<Shared*>(arg);
    SetPriorityLevel(kNormalPriority);
    Ring ring;
    Message m;
    while (GetMessage(&m)) {
        if (m.message == kRingAttach) {
            Attach(shared, &ring, static_cast<unsigned>(m.wparam));
            continue;
        }
        // Without a window nothing is drawn, and the percent of a window
        // that has gone means nothing to the next one.
        if (!BeginDrawing(shared->handoff.get())) continue;
        if (m.message == RTM_SET_PERCENT) SetPercent(shared, &ring, static_cast<int>(m.lparam));
        if (m.message == RTM_REDRAW) DrawAtRest(shared, &ring, true);
        EndDrawing(shared->handoff.get());
    }
    return 0;
}

bool StartThread() {
    auto* shared = new Shared;
    QImage face = LoadSkinImage("bitmap_102.png");
    shared->bitmaps.lit = LoadSkinImage("bitmap_119.png");
    shared->bitmaps.unlit = face.copy(ToQRect(geometry::kRingPaintArea));
    if (face.isNull() || shared->bitmaps.lit.isNull()) {
        delete shared;
        return false;
    }
    shared->worker = StartWorkerThread(RingMain, shared, kStackBytes, "vek-ring");
    if (!shared->worker) {
        delete shared;
        return false;
    }
    g_shared = shared;
    return true;
}

void RetryPercent() {
    g_retry_scheduled = false;
    SetRingPercent(g_retry_percent);
}

}  // namespace

bool StartProgressRing(QObject* receiver, ShowPictureFn show) {
    if (!g_shared && !StartThread()) return false;
    DetachProgressRing();
    g_minimised.store(false);  // a window closed while minimised is no more
    unsigned ticket = PrepareAttachment(g_shared->handoff.get(), receiver, std::move(show));
    return PostThreadMessage(g_shared->worker.id, kRingAttach, ticket, 0);
}

void DetachProgressRing() {
    if (g_shared) DetachHandoff(g_shared->handoff.get(), true);
}

void SetRingPercent(int percent) {
    if (g_shared && PostThreadMessage(g_shared->worker.id, RTM_SET_PERCENT, 0, percent)) return;
    g_retry_percent = percent;
    if (g_retry_scheduled || !QCoreApplication::instance()) return;
    g_retry_scheduled = true;
    QTimer::singleShot(kRetryMs, QCoreApplication::instance(), RetryPercent);
}

void RequestRingRedraw() {
    if (g_shared) PostThreadMessage(g_shared->worker.id, RTM_REDRAW, 0, 0);
}

void SetRingWindowMinimised(bool minimised) {
    g_minimised.store(minimised);
}

}  // namespace vek::app
