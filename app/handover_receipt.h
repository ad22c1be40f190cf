// The records a later start hands to the running player (clear, add, play),
// handled on the main window's thread. A name that cannot be added is not
// shown at once: the later start waits for each answer, so its box would hold
// that start, and every start after it, until the user came. The failures are
// kept and shown together once the hand-over is over.
#pragma once

#include <cstdint>

#include "platform/single_instance.h"
#include "platform/thread_queue.h"

namespace vek::app {

// WM_COPYDATA at the main window: handles one record; always 1.
intptr_t ReceiveHandOverRecord(const CopyData& record);

// The desktop's media controls open one name as a later start's record would:
// the list becomes the name, and it plays. A name that cannot be added is
// shown on a later turn of the event loop, once the caller has been answered.
void PlayNameAlone(const char* name);

// UIM_HANDOVER_ENDED: one box per caption, one line per failure, owned by the
// main window; a flood of them is cut short.
void ShowHandOverFailures(Window* main_window);

}  // namespace vek::app
