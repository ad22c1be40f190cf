#include "app/display_handoff.h"

#include <QMetaObject>
#include <QObject>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

namespace vek::app {
namespace {

// The smallest rectangle holding every pixel in which the two pictures
// differ; all of now when they cannot be compared pixel by pixel.
QRect DifferingPart(const QImage& before, const QImage& now) {
    if (before.size() != now.size() || before.format() != now.format() || now.depth() != 32)
        return now.rect();
    const int width = now.width();
    int top = -1, bottom = -1, left = width, right = -1;
    for (int y = 0; y < now.height(); ++y) {
        const auto* a = reinterpret_cast<const uint32_t*>(before.constScanLine(y));
        const auto* b = reinterpret_cast<const uint32_t*>(now.constScanLine(y));
        if (std::memcmp(a, b, sizeof(uint32_t) * static_cast<size_t>(width)) == 0) continue;
        if (top < 0) top = y;
        bottom = y;
        int x = 0;
        while (a[x] == b[x]) ++x;
        left = std::min(left, x);
        x = width - 1;
        while (a[x] == b[x]) --x;
        right = std::max(right, x);
    }
    return top < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

// GUI thread, woken by HandOver: takes the waiting picture and shows it.
void Take(DisplayHandoff* handoff) {
    QImage picture;
    QRect changed;
    ShowPictureFn show;
    {
        std::lock_guard<std::mutex> lock(handoff->mutex);
        if (!handoff->attached || !handoff->full) return;
        picture = std::move(handoff->picture);
        handoff->picture = QImage();
        changed = handoff->changed_part;
        handoff->changed_part = QRect();
        handoff->full = false;
        show = handoff->show;
    }
    handoff->changed.notify_all();
    show(picture, changed);
}

void AttachLocked(DisplayHandoff* handoff, QObject* receiver, ShowPictureFn show) {
    handoff->receiver = receiver;
    handoff->show = std::move(show);
    handoff->attached = true;
    // A wake-up posted to an earlier receiver may have gone with it.
    handoff->full = false;
    handoff->picture = QImage();
    handoff->changed_part = QRect();
    handoff->last = QImage();
}

}  // namespace

void AttachHandoff(DisplayHandoff* handoff, QObject* receiver, ShowPictureFn show) {
    std::unique_lock<std::mutex> lock(handoff->mutex);
    // The receiver before may go once this returns.
    handoff->changed.wait(lock, [&] { return !handoff->posting; });
    AttachLocked(handoff, receiver, std::move(show));
}

unsigned PrepareAttachment(DisplayHandoff* handoff, QObject* receiver, ShowPictureFn show) {
    std::lock_guard<std::mutex> lock(handoff->mutex);
    handoff->next_receiver = receiver;
    handoff->next_show = std::move(show);
    return ++handoff->next_ticket;
}

bool CompleteAttachment(DisplayHandoff* handoff, unsigned ticket) {
    std::lock_guard<std::mutex> lock(handoff->mutex);
    if (ticket != handoff->next_ticket || !handoff->next_receiver) return false;
    AttachLocked(handoff, handoff->next_receiver, std::move(handoff->next_show));
    handoff->next_receiver = nullptr;
    return true;
}

void DetachHandoff(DisplayHandoff* handoff, bool wait_for_drawing) {
    std::unique_lock<std::mutex> lock(handoff->mutex);
    ++handoff->next_ticket;
    handoff->next_receiver = nullptr;
    handoff->next_show = nullptr;
    handoff->attached = false;
    handoff->receiver = nullptr;
    handoff->show = nullptr;
    handoff->full = false;
    handoff->picture = QImage();
    handoff->changed_part = QRect();
    handoff->last = QImage();
    handoff->changed.notify_all();
    // A wake-up on its way has its receiver still to reach; after this the
    // receiver may go.
    handoff->changed.wait(
        lock, [&] { return !handoff->posting && (!wait_for_drawing || !handoff->drawing); });
}

bool BeginDrawing(DisplayHandoff* handoff) {
    std::lock_guard<std::mutex> lock(handoff->mutex);
    handoff->drawing = handoff->attached;
    return handoff->drawing;
}

void EndDrawing(DisplayHandoff* handoff) {
    {
        std::lock_guard<std::mutex> lock(handoff->mutex);
        handoff->drawing = false;
    }
    handoff->changed.notify_all();
}

bool HandOver(const std::shared_ptr<DisplayHandoff>& handoff, const QImage& picture,
              bool wait_until_taken) {
    QObject* receiver;
    {
        std::unique_lock<std::mutex> lock(handoff->mutex);
        if (wait_until_taken)
            handoff->changed.wait(lock, [&] { return !handoff->full || !handoff->attached; });
        if (!handoff->attached) return false;
        handoff->changed_part |= DifferingPart(handoff->last, picture);
        handoff->last = picture;
        handoff->picture = picture;
        if (handoff->full) return true;  // the wake-up on its way takes this one
        handoff->full = true;
        // Posted outside the lock, so the GUI thread it wakes does not find
        // the lock still held; a detach waits until the post is done.
        handoff->posting = true;
        receiver = handoff->receiver;
    }
    std::shared_ptr<DisplayHandoff> held = handoff;
    QMetaObject::invokeMethod(
        receiver, [held] { Take(held.get()); }, Qt::QueuedConnection);
    {
        std::lock_guard<std::mutex> lock(handoff->mutex);
        handoff->posting = false;
    }
    handoff->changed.notify_all();
    return true;
}

}  // namespace vek::app
