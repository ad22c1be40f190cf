// The time display: a thread of its own draws the elapsed time and the
// blinking play-state sign into the dot-matrix field, off screen, every 250 ms
// while the window shows it and whenever it is asked, and hands each finished
// field to the GUI thread, which only copies it onto the window.
#pragma once

#include <QRect>

#include "app/display_handoff.h"
#include "control/transport.h"

class QObject;

namespace vek::app {

// Where the display reads what it shows; both are called on its own thread.
struct TimeSource {
    int (*seconds)();  // whole seconds played
    PlayState (*play_state)();
};

// GUI thread. Starts the thread for a field of the given place and size;
// each finished field goes to show, called in receiver's context. False when
// the thread or its bitmaps cannot be had. The blink starts bright.
bool StartTimeDisplay(QRect field, TimeSource source, QObject* receiver, ShowPictureFn show);

// Asks for a redraw (the sign blinks with each one); dropped when the thread
// does not run: the next request asks again.
void RequestTimeRedraw();

// GUI thread. While on, the thread redraws every 250 ms by a clock of its
// own, the first time 250 ms from now; off (as it starts), it draws only when
// asked. The window turns it off while it is minimised or hidden, when nothing
// would be seen. The clock is the thread's so that each tick wakes the GUI
// thread once, to copy the field, instead of twice.
void SetTimeDisplayTicking(bool on);

// GUI thread. Ends the thread: the quit message, then a bounded wait. A thread
// that misses the bound is given up (left to end with the process) and a box
// says so. Returns false then. Nothing is shown after this returns.
bool StopTimeDisplay();

// The stop's bound, 3000 ms unless a test shortens it.
void SetTimeDisplayStopBound(int milliseconds);

// True when the last stop had to give the thread up; it may still be inside
// its source, so the process should end without its static destructors.
bool TimeDisplayGivenUp();

}  // namespace vek::app
