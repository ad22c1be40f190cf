// The progress ring: a thread of its own lights the ring's 24 bars clockwise
// from 12 o'clock as a track proceeds, sweeping to each new percent in steps
// of 6 percent and drawing only when the angle passes into another 15-degree
// bar. It draws the ring's box off screen and hands each finished box to the
// GUI thread, which only copies it onto the window. The thread runs for the
// rest of the process once started; a window that goes away only detaches it.
#pragma once

#include "app/display_handoff.h"

class QObject;

namespace vek::app {

// GUI thread. Starts the thread the first time; every call (one per main
// window) gives it a dark ring, target and shown percent 0, and sends its
// boxes to show, called in receiver's context. False when the thread or its
// bitmaps cannot be had.
bool StartProgressRing(QObject* receiver, ShowPictureFn show);

// GUI thread, before the receiver goes: no box is drawn or shown any more
// until the next start. Waits only for a step being drawn to end.
void DetachProgressRing();

// Sweeps the ring to a percent. A post that fails (the thread has no queue
// yet) is tried again every 10 ms from the GUI thread's timers, the newest
// percent first, so the GUI thread never waits.
void SetRingPercent(int percent);

// Redraws the ring at rest at its target; dropped when the thread does not run.
void RequestRingRedraw();

// GUI thread: the main window was minimised (true) or came back. While it is
// minimised nothing is drawn and a new percent is taken over at once.
void SetRingWindowMinimised(bool minimised);

}  // namespace vek::app
