// What every front-end does with a stream's title (UIM_STREAM_TITLE): it
// becomes the display title of the current entry, if that entry is the stream
// the title came from. Main thread only.
#pragma once

#include <cstdint>
#include <string>

namespace vek {

// Takes the message's wparam and lparam as its handler got them. True when the
// current entry's title changed; *title (if given) then holds the new title.
bool HandleStreamTitle(uintptr_t wparam, intptr_t lparam, std::string* title);

}  // namespace vek
