// How a display thread's finished picture reaches the window. A thread may
// not paint a widget, so it draws into an image of its own and leaves the
// finished picture here; the GUI thread is woken through its event loop,
// takes the picture and paints it. The GUI thread never waits for a display
// thread here: it only takes what is ready.
#pragma once

#include <QImage>
#include <QRect>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class QObject;

namespace vek::app {

// Called on the GUI thread with each picture taken and the part of it that
// differs from the picture shown before (all of it after an attachment).
using ShowPictureFn = std::function<void(const QImage& picture, QRect changed)>;

struct DisplayHandoff {
    std::mutex mutex;
    std::condition_variable changed;
    // All guarded by mutex.
    QObject* receiver = nullptr;  // lives on the GUI thread; none while detached
    ShowPictureFn show;
    bool attached = false;
    bool drawing = false;  // the thread is between BeginDrawing and EndDrawing
    bool full = false;     // a picture waits to be taken
    bool posting = false;  // a wake-up is on its way to receiver
    QImage picture;
    QRect changed_part;  // of picture against the one shown before it
    QImage last;         // the picture the window shows or is about to show
    // An attachment the display thread completes (see PrepareAttachment).
    unsigned next_ticket = 0;
    QObject* next_receiver = nullptr;
    ShowPictureFn next_show;
};

// GUI thread. From now on pictures go to show, called in receiver's context.
// Detach before receiver goes away.
void AttachHandoff(DisplayHandoff* handoff, QObject* receiver, ShowPictureFn show);

// The same in two halves, for a thread that must take the attachment in
// order with the requests already queued for it: the GUI thread prepares it
// and posts the ticket; the display thread completes it when it takes that
// post. False when a detach or a later preparation came in between.
unsigned PrepareAttachment(DisplayHandoff* handoff, QObject* receiver, ShowPictureFn show);
bool CompleteAttachment(DisplayHandoff* handoff, unsigned ticket);

// GUI thread. No picture is shown after this returns, nor a prepared
// attachment completed; a thread waiting in HandOver is let go. With
// wait_for_drawing, also waits until the thread is out of its
// BeginDrawing..EndDrawing span, so it touches no image any more (a short
// wait: drawing never waits while detached).
void DetachHandoff(DisplayHandoff* handoff, bool wait_for_drawing);

// Display thread. BeginDrawing says whether to draw at all (false while
// detached); EndDrawing closes the span it opened.
bool BeginDrawing(DisplayHandoff* handoff);
void EndDrawing(DisplayHandoff* handoff);

// Display thread. Leaves a finished picture for the GUI thread; with
// wait_until_taken, first waits until the previous one has been taken, so
// every picture reaches the window (the pace of a sweep), otherwise a picture
// not yet taken is replaced. False when detached: nothing will be shown. The
// wake-up on the GUI thread holds the handoff, so it may outlive its thread.
bool HandOver(const std::shared_ptr<DisplayHandoff>& handoff, const QImage& picture,
              bool wait_until_taken);

}  // namespace vek::app
