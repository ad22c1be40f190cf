#include "app/display_handoff.h"

#include <QMetaObject>
#include <QObject>
#include <utility>

namespace vek::app {
namespace {

// GUI thread, woken by HandOver: takes the waiting picture and shows it.
void Take(DisplayHandoff* handoff) {
    QImage picture;
    ShowPictureFn show;
    {
        std::lock_guard<std::mutex> lock(handoff->mutex);
        if (!handoff->attached || !handoff->full) return;
        picture = std::move(handoff->picture);
        handoff->picture = QImage();
        handoff->full = false;
        show = handoff->show;
    }
    handoff->changed.notify_all();
    show(picture);
}

void AttachLocked(DisplayHandoff* handoff, QObject* receiver, ShowPictureFn show) {
    handoff->receiver = receiver;
    handoff->show = std::move(show);
    handoff->attached = true;
    // A wake-up posted to an earlier receiver may have gone with it.
    handoff->full = false;
    handoff->picture = QImage();
}

}  // namespace

void AttachHandoff(DisplayHandoff* handoff, QObject* receiver, ShowPictureFn show) {
    std::lock_guard<std::mutex> lock(handoff->mutex);
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
    handoff->changed.notify_all();
    if (wait_for_drawing) handoff->changed.wait(lock, [&] { return !handoff->drawing; });
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
    std::unique_lock<std::mutex> lock(handoff->mutex);
    if (wait_until_taken)
        handoff->changed.wait(lock, [&] { return !handoff->full || !handoff->attached; });
    if (!handoff->attached) return false;
    handoff->picture = picture;
    if (!handoff->full) {
        handoff->full = true;
        // Posted under the lock: a detach that has returned has no wake-up
        // in flight towards a receiver about to go away.
        std::shared_ptr<DisplayHandoff> held = handoff;
        QMetaObject::invokeMethod(
            handoff->receiver, [held] { Take(held.get()); }, Qt::QueuedConnection);
    }
    return true;
}

}  // namespace vek::app
